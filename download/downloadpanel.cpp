#include "app/form1.h"

// The download panel's handlers.

void Form1::connectDownloadHandlers()
{}

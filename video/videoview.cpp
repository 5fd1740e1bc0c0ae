#include "app/form1.h"

// The video command: writes the video page and shows the viewer.

void Form1::connectVideoHandlers()
{}

#include "app/form1.h"

// The works list: harvesting a singer's works and acting on its rows.

void Form1::connectWorksHandlers()
{}

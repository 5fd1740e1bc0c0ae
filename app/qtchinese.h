#pragma once

class QCoreApplication;

// Puts Qt's own texts (standard buttons, the file dialog) into Simplified
// Chinese, like the rest of the interface, whatever the desktop's language.
// Returns false when Qt's Chinese translations are not installed.
bool installQtChinese(QCoreApplication &app);

#pragma once

#include <QString>

class QWidget;

// The window's look: a Qt style sheet kept in a file beside the program.
namespace skin {

// The skin file for a program in `programFolder`: the one beside it (a
// portable copy) if there is one, else the one in the installed data folder
// `programFolder/../share/cantora-helper`; empty when neither exists.
QString locate(const QString &programFolder);

// Applies the style sheet in `path` to `window` and its children. A missing or
// unreadable file changes nothing and says nothing; false tells the caller.
bool attachEx(QWidget *window, const QString &path);

// Hue, saturation and brightness shift of the attached skin. The shipped style
// sheet is written in its final colours, so the shift it is started with
// (140, 0, 0) leaves them as they are; other values are not used.
void adjustHsv(QWidget *window, int hue, int saturation, int value);

} // namespace skin

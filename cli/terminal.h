#pragma once

#include <QString>

#include <cstdio>

// What the CLI needs to know about a terminal, and how to fit text to one.
namespace cli {

struct Terminal final
{
    bool live = false;   // lines may be redrawn in place
    bool colour = false; // words may be coloured
    int columns = 0;     // the width to cut live lines to
};

// The terminal behind `fd`: live when it is a terminal and TERM is not "dumb",
// coloured when live and NO_COLOR is unset or empty; its width from the
// terminal, else COLUMNS, else 80.
Terminal probeTerminal(int fd);
// The width alone, asked again so a resized window is followed.
int terminalColumns(int fd);

// The columns `text` takes: East Asian wide and fullwidth characters take two,
// combining marks and controls none.
int displayWidth(const QString &text);
// `text` cut at a character boundary to at most `columns` columns.
QString fitColumns(const QString &text, int columns);

// Text taken from a page made fit for a terminal line: control characters
// (line breaks, tabs, escape sequences) become spaces, so a page can neither
// split a record nor drive the terminal.
QString oneLine(QString text);

// `text` with each control character written as an escape ("\\x1b"), so a
// line from a file is shown as it is without driving the terminal.
QString escapedControls(const QString &text);

// Writes `text` as UTF-8 to `stream` at once, so a pipe reader sees each line as it comes.
void print(FILE *stream, const QString &text);

} // namespace cli

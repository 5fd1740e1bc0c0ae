#include "cli/terminal.h"

#include <QList>

#include <sys/ioctl.h>
#include <unistd.h>

namespace cli {

namespace {

constexpr int kFallbackColumns = 80;

// Unicode's East Asian Wide and Fullwidth blocks, as terminals draw them.
bool wide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115f) || (c >= 0x2e80 && c <= 0x303e) || (c >= 0x3041 && c <= 0x33ff) ||
           (c >= 0x3400 && c <= 0x4dbf) || (c >= 0x4e00 && c <= 0x9fff) || (c >= 0xa000 && c <= 0xa4cf) ||
           (c >= 0xac00 && c <= 0xd7a3) || (c >= 0xf900 && c <= 0xfaff) || (c >= 0xfe30 && c <= 0xfe4f) ||
           (c >= 0xff00 && c <= 0xff60) || (c >= 0xffe0 && c <= 0xffe6) || (c >= 0x1f300 && c <= 0x1f64f) ||
           (c >= 0x1f900 && c <= 0x1f9ff) || (c >= 0x20000 && c <= 0x3fffd);
}

int columnsOf(char32_t c)
{
    if (c < 0x20 || (c >= 0x7f && c < 0xa0))
        return 0;
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_Enclosing:
    case QChar::Other_Format:
        return 0;
    default:
        return wide(c) ? 2 : 1;
    }
}

} // namespace

int terminalColumns(int fd)
{
    winsize size = {};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    bool ok = false;
    const int columns = qEnvironmentVariableIntValue("COLUMNS", &ok);
    return ok && columns > 0 ? columns : kFallbackColumns;
}

Terminal probeTerminal(int fd)
{
    Terminal terminal;
    terminal.live = ::isatty(fd) == 1 && qEnvironmentVariable("TERM") != QLatin1String("dumb");
    terminal.colour = terminal.live && qEnvironmentVariable("NO_COLOR").isEmpty();
    terminal.columns = terminalColumns(fd);
    return terminal;
}

int displayWidth(const QString &text)
{
    int columns = 0;
    for (const char32_t c : text.toUcs4())
        columns += columnsOf(c);
    return columns;
}

QString fitColumns(const QString &text, int columns)
{
    QString kept;
    int used = 0;
    for (const char32_t c : text.toUcs4()) {
        used += columnsOf(c);
        if (used > columns)
            break;
        kept += QString::fromUcs4(&c, 1);
    }
    return kept;
}

QString oneLine(QString text)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return text;
}

QString escapedControls(const QString &text)
{
    QString shown;
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

void print(FILE *stream, const QString &text)
{
    std::fputs(text.toUtf8().constData(), stream);
    std::fflush(stream);
}

} // namespace cli

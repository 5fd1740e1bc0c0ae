#include "download/filename.h"

#include <QList>

namespace download {

namespace {

bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}

// Shows nothing, yet can make a name read as something else ("song\u202Egpj.mp3").
bool hidden(char32_t c)
{
    return (c >= 0x80 && c <= 0x9f) || (c >= 0x200b && c <= 0x200f) || (c >= 0x202a && c <= 0x202e) || c == 0x2060 ||
           (c >= 0x2066 && c <= 0x2069) || c == 0x061c || c == 0xfeff;
}

bool refused(char32_t c)
{
    if (isControl(c))
        return true;
    switch (c) {
    case U'/':
    case U'\\':
    case U':':
    case U'*':
    case U'?':
    case U'"':
    case U'<':
    case U'>':
    case U'|':
        return true;
    default:
        return false;
    }
}

} // namespace

QString safeFileName(const QString &stem, const QString &suffix)
{
    const int room = kMaxFileNameBytes - static_cast<int>(suffix.toUtf8().size());
    QString name;
    int bytes = 0;
    for (const char32_t c : stem.toUcs4()) {
        if (hidden(c))
            continue;
        // A leading dot would hide the file.
        const bool hiding = c == U'.' && name.isEmpty();
        const char32_t kept = refused(c) || hiding ? U'_' : c;
        const QString piece = QString::fromUcs4(&kept, 1);
        const int size = static_cast<int>(piece.toUtf8().size());
        if (bytes + size > room)
            break;
        bytes += size;
        name += piece;
    }
    if (name.isEmpty())
        name = QStringLiteral("_"); // the suffix alone would be a hidden file
    return name + suffix;
}

QString withoutControls(const QString &text)
{
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        if (!isControl(c.unicode()))
            kept += c;
    }
    return kept;
}

} // namespace download

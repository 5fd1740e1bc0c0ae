#include "download/filename.h"

#include <QList>

namespace download {

namespace {

bool refused(char32_t c)
{
    if (c < 0x20 || c == 0x7f)
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
    return name + suffix;
}

} // namespace download

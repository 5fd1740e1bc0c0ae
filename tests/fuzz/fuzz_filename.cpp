// Titles and singer names of any shape: the default download file name always
// names a file directly inside the "Music" folder, fits the file systems'
// limit, and keeps what it can of the text.

#include "download/filename.h"

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const qsizetype split = text.indexOf(QLatin1Char('\n'));
    const QString title = split < 0 ? text : text.left(split);
    const QString singer = split < 0 ? QString() : text.mid(split + 1);

    const QString name = download::safeFileName(title + QStringLiteral(" - ") + singer, QStringLiteral(".mp3"));
    if (name.isEmpty() || !name.endsWith(QLatin1String(".mp3")))
        std::abort();
    if (name.toUtf8().size() > download::kMaxFileNameBytes)
        std::abort();
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name.contains(QChar()))
        std::abort();
    if (name.startsWith(QLatin1Char('.')))
        std::abort();

    // Placed in the folder, the path stays in it.
    const QString music = QStringLiteral("/program/Music");
    const QString path = QDir::cleanPath(music + QLatin1Char('/') + name);
    if (QFileInfo(path).path() != music || QFileInfo(path).fileName() != name)
        std::abort();
    return 0;
}

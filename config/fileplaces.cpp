#include "config/fileplaces.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

// Where distributions and installs put programs: read-only by intent, even
// for root, whom the permission bits let write anywhere.
bool isSystemFolder(const QFileInfo &folder)
{
    const QString path = folder.canonicalFilePath();
    return path == QLatin1String("/usr") || path.startsWith(QLatin1String("/usr/"));
}

// Asks the permission bits first, so that an installed program never so much
// as tries to write into a system folder; only a folder that claims to take
// writes gets a real file created (and removed) in it.
bool takesWrites(const QString &folder)
{
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir() || !info.isWritable() || isSystemFolder(info))
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".write-probe-XXXXXX")));
    return probe.open();
}

QString userMusicFolder()
{
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    return music.isEmpty() ? QDir(QDir::homePath()).filePath(QStringLiteral("Music")) : music;
}

} // namespace

FilePlaces FilePlaces::forProgramFolder(const QString &programFolder)
{
    FilePlaces places;
    places.portable = takesWrites(programFolder);
    if (places.portable) {
        places.downloadFolder = QDir(programFolder).filePath(QStringLiteral("Music"));
        places.videoPageFolder = programFolder;
    } else {
        places.downloadFolder = userMusicFolder();
        // Named here rather than through the application name, which a front
        // end may not set.
        places.videoPageFolder = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation))
                                     .filePath(QStringLiteral("cantora-helper"));
    }
    return places;
}

QString FilePlaces::downloadNote() const
{
    if (portable)
        return QStringLiteral("默认路径：当前程序文件目录下“Music”文件夹中( 音乐名称自动填写 )");
    return QStringLiteral("默认路径：“%1”文件夹中( 音乐名称自动填写 )").arg(QDir::toNativeSeparators(downloadFolder));
}

QString FilePlaces::videoPageNote() const
{
    if (portable)
        return QStringLiteral("已在当前文件夹下生成名为“video.htm”");
    return QStringLiteral("已在以下文件夹中生成名为“video.htm”的页面：\n") + QDir::toNativeSeparators(videoPageFolder);
}

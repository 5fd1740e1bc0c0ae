#include "download/alreadyhere.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/xattr.h>

namespace download {

namespace {

// "ID\nPAGE ADDRESS" on the file itself.
constexpr char kWorkNote[] = "user.cantora.work";

QByteArray workNote(const WorkSource &source)
{
    return source.workId.toUtf8() + '\n' + source.pageAddress.toUtf8();
}

WorkSource fromNote(const QByteArray &note)
{
    const qsizetype cut = note.indexOf('\n');
    if (cut < 0)
        return {};
    return {QString::fromUtf8(note.left(cut)), QString::fromUtf8(note.mid(cut + 1))};
}

// One line of the index: "PATH\tID\tPAGE ADDRESS\tSIZE"; tabs and line ends
// cannot occur in any of them. The size tells a file put there since apart.
QByteArray indexLine(const QString &path, const WorkSource &source, qint64 size)
{
    return path.toUtf8() + '\t' + source.workId.toUtf8() + '\t' + source.pageAddress.toUtf8() + '\t' +
           QByteArray::number(size) + '\n';
}

bool fitsIndex(const QString &text)
{
    return !text.contains(QLatin1Char('\t')) && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'));
}

} // namespace

bool WorkSource::sameAs(const WorkSource &other) const
{
    if (!workId.isEmpty() && !other.workId.isEmpty())
        return workId == other.workId;
    return !pageAddress.isEmpty() && pageAddress == other.pageAddress;
}

QString defaultSourceIndexPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/cantora-helper/sources.txt");
}

void noteWork(const QString &partPath, const QString &finalPath, const WorkSource &source, const QString &indexPath)
{
    if (source.isEmpty())
        return;
    const QByteArray note = workNote(source);
    if (::lsetxattr(QFile::encodeName(partPath).constData(), kWorkNote, note.constData(), size_t(note.size()), 0) == 0)
        return;
    const QString path = QFileInfo(finalPath).absoluteFilePath();
    if (indexPath.isEmpty() || !fitsIndex(path) || !fitsIndex(source.workId) || !fitsIndex(source.pageAddress))
        return;
    QDir().mkpath(QFileInfo(indexPath).absolutePath());
    QFile index(indexPath);
    // One write of a whole line in append mode: lines of two runs never mix.
    if (index.open(QIODevice::Append | QIODevice::Unbuffered))
        index.write(indexLine(path, source, QFileInfo(partPath).size()));
}

WorkSource Holdings::noted(const QString &path)
{
    char note[4096];
    const ssize_t length = ::lgetxattr(QFile::encodeName(path).constData(), kWorkNote, note, sizeof note);
    if (length > 0)
        return fromNote(QByteArray(note, length));
    const QFileInfo info(path);
    const auto indexed = m_indexed.constFind(info.absoluteFilePath());
    return indexed != m_indexed.cend() && indexed->size == info.size() ? indexed->work : WorkSource();
}

void Holdings::scan()
{
    m_scanned = true;
    const QString root = QFileInfo(m_folder).absoluteFilePath();
    QFile index(m_indexPath);
    if (!m_indexPath.isEmpty() && index.open(QIODevice::ReadOnly)) {
        const QString under = root + QLatin1Char('/');
        while (!index.atEnd()) {
            const QList<QByteArray> cells = index.readLine().trimmed().split('\t');
            if (cells.size() != 4)
                continue;
            const QString path = QString::fromUtf8(cells[0]);
            if (path.startsWith(under))
                m_indexed.insert(path,
                                 {{QString::fromUtf8(cells[1]), QString::fromUtf8(cells[2])}, cells[3].toLongLong()});
        }
    }
    QDirIterator files(root, {QStringLiteral("*.mp3")}, QDir::Files | QDir::NoSymLinks,
                       m_depth > 0 ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
    const int rootDepth = int(root.count(QLatin1Char('/')));
    while (files.hasNext()) {
        const QString path = files.next();
        if (int(path.count(QLatin1Char('/'))) - rootDepth - 1 > m_depth)
            continue;
        const WorkSource work = noted(path);
        if (!work.workId.isEmpty())
            m_byId.insert(work.workId, path);
        if (!work.pageAddress.isEmpty())
            m_byPage.insert(work.pageAddress, path);
    }
}

QString Holdings::find(const WorkSource &work)
{
    if (!m_scanned)
        scan();
    QString path = work.workId.isEmpty() ? QString() : m_byId.value(work.workId);
    if (path.isEmpty() && !work.pageAddress.isEmpty())
        path = m_byPage.value(work.pageAddress);
    // A file noted for the page but holding another id is not this work.
    return !path.isEmpty() && holds(path, work) ? path : QString();
}

bool Holdings::holds(const QString &path, const WorkSource &work)
{
    if (!m_scanned)
        scan();
    const QFileInfo info(path);
    return info.isFile() && !info.isSymLink() && noted(path).sameAs(work);
}

} // namespace download

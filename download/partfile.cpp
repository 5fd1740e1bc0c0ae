#include "download/partfile.h"

#include "download/filename.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace download {

namespace {

// The note of where a part's bytes came from: "ADDRESS\nVALIDATOR".
constexpr char kSourceNote[] = "user.cantora.source";

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

// A plain file with no other name: writing it changes nothing else.
bool isOwnPlainFile(const struct stat &info)
{
    return S_ISREG(info.st_mode) && info.st_nlink == 1;
}

QByteArray sourceNote(const QString &url, const QByteArray &validator)
{
    return url.toUtf8() + '\n' + validator;
}

} // namespace

PartFile::~PartFile()
{
    close();
}

QString PartFile::pathFor(const QString &target)
{
    const QString suffix = QStringLiteral(".part");
    const QFileInfo info(target);
    QString name = info.fileName();
    // The target's own name may already use all the room a name has.
    while (!name.isEmpty() && (name + suffix).toUtf8().size() > kMaxFileNameBytes)
        name.chop(name.size() >= 2 && name.back().isLowSurrogate() ? 2 : 1);
    return target.left(target.size() - info.fileName().size()) + name + suffix;
}

qint64 PartFile::resumable(const QString &target, const QString &url, QByteArray *validator)
{
    const QByteArray path = nativePath(pathFor(target));
    struct stat info = {};
    if (::lstat(path.constData(), &info) != 0 || !isOwnPlainFile(info) || info.st_size <= 0)
        return 0;
    char note[4096];
    const ssize_t length = ::lgetxattr(path.constData(), kSourceNote, note, sizeof note);
    if (length <= 0)
        return 0;
    const QByteArray text(note, length);
    const qsizetype cut = text.indexOf('\n');
    if (cut < 0 || QString::fromUtf8(text.left(cut)) != url || cut + 1 >= text.size())
        return 0;
    if (validator)
        *validator = text.mid(cut + 1);
    return info.st_size;
}

bool PartFile::open(const QString &target, qint64 from, const QString &url, const QByteArray &validator)
{
    close();
    m_target = target;
    m_path = pathFor(target);
    m_error.clear();
    m_lastError = QFileDevice::NoError;
    m_kept = 0;
    m_file.setFileName(m_path);
    const QByteArray path = nativePath(m_path);
    int fd = -1;
    if (from > 0) {
        fd = ::open(path.constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        struct stat info = {};
        if (fd >= 0 && (::fstat(fd, &info) != 0 || !isOwnPlainFile(info) || info.st_size < from ||
                        ::ftruncate(fd, from) != 0 || ::lseek(fd, from, SEEK_SET) != from)) {
            ::close(fd);
            fd = -1;
        }
        if (fd >= 0)
            m_kept = from;
    }
    // A fresh part: whatever has the name goes first (a link itself, not what
    // it points to), and only a file made here is written.
    for (int attempt = 0; fd < 0 && attempt < 3; ++attempt) {
        if (::unlink(path.constData()) != 0 && errno != ENOENT)
            break;
        fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat info = {};
    ::fstat(fd, &info);
    m_device = static_cast<qint64>(info.st_dev);
    m_inode = static_cast<qint64>(info.st_ino);
    if (!m_file.open(fd, m_kept > 0 ? QIODevice::ReadWrite : QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        m_error = m_file.errorString();
        return false;
    }
    noteSource(url, validator);
    return true;
}

void PartFile::noteSource(const QString &url, const QByteArray &validator)
{
    if (!m_file.isOpen())
        return;
    const int fd = m_file.handle();
    // Without a validator nothing could show a later answer is the same resource.
    if (validator.isEmpty()) {
        ::fremovexattr(fd, kSourceNote);
        return;
    }
    const QByteArray note = sourceNote(url, validator);
    // A file system without notes leaves the part one that is not carried on.
    if (::fsetxattr(fd, kSourceNote, note.constData(), note.size(), 0) != 0)
        ::fremovexattr(fd, kSourceNote);
}

QString PartFile::errorString() const
{
    if (!m_error.isEmpty())
        return m_error;
    return m_file.error() != QFileDevice::NoError ? m_file.errorString() : QString();
}

bool PartFile::close()
{
    if (!m_file.isOpen())
        return true;
    const bool flushed = m_file.flush();
    if (!flushed) {
        m_lastError = m_file.error();
        m_error = m_file.errorString();
    }
    m_file.close();
    return flushed;
}

bool PartFile::place()
{
    close();
    const QByteArray path = nativePath(m_path);
    struct stat info = {};
    // Only the file written here, still under the part's name, goes in place.
    if (::lstat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<qint64>(info.st_dev) != m_device || static_cast<qint64>(info.st_ino) != m_inode) {
        m_error = QStringLiteral("%1 changed while it was written").arg(m_path);
        return false;
    }
    // rename() replaces whatever has the target's name, a link included, and
    // whoever looks sees either the earlier file or the new one.
    if (::rename(path.constData(), nativePath(m_target).constData()) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    ::lremovexattr(nativePath(m_target).constData(), kSourceNote);
    return true;
}

void PartFile::discard()
{
    close();
    if (!m_path.isEmpty())
        ::unlink(nativePath(m_path).constData());
}

} // namespace download

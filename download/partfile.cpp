#include "download/partfile.h"

#include "download/filename.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
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
    m_busy = false;
    m_synced = false;
    m_file.setFileName(m_path);
    const QByteArray path = nativePath(m_path);
    int fd = -1;
    // Never truncated before it is locked: another process may be writing it.
    for (int attempt = 0; fd < 0 && attempt < 3; ++attempt) {
        fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
        if (fd < 0) {
            // A link is removed (the link itself, not what it points to), never written through.
            if (errno == ELOOP && ::unlink(path.constData()) == 0)
                continue;
            break;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int why = errno;
            ::close(fd);
            fd = -1;
            m_busy = why == EWOULDBLOCK;
            errno = why;
            break;
        }
        struct stat info = {};
        // Its owner may have placed or removed it between the open and the lock.
        if (!isStillNamed(fd)) {
            ::close(fd);
            fd = -1;
            continue;
        }
        // A file with another name too (a hard link) or no plain file at all is not written.
        if (::fstat(fd, &info) != 0 || !isOwnPlainFile(info)) {
            ::close(fd);
            fd = -1;
            if (::unlink(path.constData()) != 0)
                break;
        }
    }
    if (fd < 0) {
        m_error =
            m_busy ? QStringLiteral("%1 正由另一个进程写入").arg(m_path) : QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat info = {};
    ::fstat(fd, &info);
    if (from > 0 && info.st_size >= from && ::ftruncate(fd, from) == 0 && ::lseek(fd, from, SEEK_SET) == from) {
        m_kept = from;
    } else if (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return false;
    }
    m_device = static_cast<qint64>(info.st_dev);
    m_inode = static_cast<qint64>(info.st_ino);
    if (!m_file.open(fd, QIODevice::ReadWrite, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        m_error = m_file.errorString();
        return false;
    }
    noteSource(url, validator);
    return true;
}

bool PartFile::isStillNamed(int fd) const
{
    struct stat opened = {};
    struct stat named = {};
    return ::fstat(fd, &opened) == 0 && ::lstat(nativePath(m_path).constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
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

bool PartFile::flush()
{
    if (!m_file.isOpen() || m_file.flush())
        return true;
    m_lastError = m_file.error();
    m_error = m_file.errorString();
    return false;
}

bool PartFile::markSynced(int error)
{
    m_synced = error == 0;
    if (!m_synced) {
        m_error = QString::fromLocal8Bit(std::strerror(error));
        m_lastError = error == ENOSPC || error == EDQUOT ? QFileDevice::ResourceError : QFileDevice::WriteError;
    }
    return m_synced;
}

bool PartFile::close()
{
    if (!m_file.isOpen())
        return true;
    const bool flushed = flush();
    m_file.close();
    return flushed;
}

bool PartFile::place()
{
    if (!m_file.isOpen() || !flush())
        return false;
    const int fd = m_file.handle();
    // On disk before it has the target's name: a crash leaves the earlier
    // file or the whole new one, never an empty or half one.
    if (!m_synced && ::fsync(fd) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        m_lastError = QFileDevice::WriteError;
        return false;
    }
    // Only the file written here, still under the part's name, goes in place.
    if (!isStillNamed(fd)) {
        m_error = QStringLiteral("%1 changed while it was written").arg(m_path);
        return false;
    }
    // rename() replaces whatever has the target's name, a link included, and
    // whoever looks sees either the earlier file or the new one. The lock is
    // held until the part is gone from its name.
    if (::rename(nativePath(m_path).constData(), nativePath(m_target).constData()) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    ::fremovexattr(fd, kSourceNote);
    // The folder is not synced after the rename: that doubled the cost of
    // placing a file, and a crash before the folder reaches the disk leaves
    // the part under its own name, never a wrong file under the target's.
    close();
    return true;
}

void PartFile::discard()
{
    if (!m_file.isOpen())
        return;
    // Unlinked while still locked: nobody else can have taken the name over yet.
    if (isStillNamed(m_file.handle()))
        ::unlink(nativePath(m_path).constData());
    m_file.close();
}

} // namespace download

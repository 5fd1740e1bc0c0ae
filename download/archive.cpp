#include "download/archive.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace download {

namespace {

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// An open descriptor that closes itself.
class Descriptor final
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Opens `path` without ever blocking on a pipe or a device (O_NONBLOCK is
// harmless on a regular file); -1 with errno set, or EINVAL when what is
// there is no regular file.
int openRegular(const QString &path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += wrote;
    }
    return true;
}

// Holds an advisory lock (flock) on an open file until it goes out of scope.
class Locked final
{
public:
    Locked(int fd, int how)
        : m_fd(fd)
    {
        int result = -1;
        do
            result = fd >= 0 ? ::flock(fd, how) : -1;
        while (result != 0 && fd >= 0 && errno == EINTR);
        m_held = result == 0;
    }
    ~Locked()
    {
        if (m_held)
            ::flock(m_fd, LOCK_UN);
    }
    Locked(const Locked &) = delete;
    Locked &operator=(const Locked &) = delete;
    bool held() const { return m_held; }

private:
    int m_fd;
    bool m_held = false;
};

qint64 changeNs(const struct stat &info)
{
    return qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

} // namespace

QString Archive::problem(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info = {};
    if (::lstat(name.constData(), &info) != 0) {
        if (errno != ENOENT)
            return QStringLiteral("archive %1: %2").arg(path, errnoText());
        const QString folder = QFileInfo(path).absolutePath();
        if (!QFileInfo(folder).isDir())
            return QStringLiteral("archive %1: the folder %2 does not exist").arg(path, folder);
        if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
            return QStringLiteral("archive %1: the folder %2 cannot be written").arg(path, folder);
        return QString();
    }
    const Descriptor file(openRegular(path, O_RDWR));
    if (file.get() < 0) {
        return errno == EINVAL || errno == ENOENT || errno == ENXIO || errno == EISDIR
                   ? QStringLiteral("archive %1: not a regular file").arg(path)
                   : QStringLiteral("archive %1: %2").arg(path, errnoText());
    }
    return QString();
}

bool Archive::fail(const QString &what)
{
    m_error = QStringLiteral("archive %1: %2 (%3)").arg(m_path, what, errnoText());
    return false;
}

bool Archive::readIds(int fd)
{
    struct stat info = {};
    QFile file;
    if (::fstat(fd, &info) != 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return false;
    QByteArray text = file.readAll();
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    for (const QByteArray &line : text.split('\n')) {
        const QString id = QString::fromUtf8(line).trimmed();
        if (!id.isEmpty())
            m_ids.insert(id);
    }
    m_readSize = info.st_size;
    m_readChangeNs = changeNs(info);
    return true;
}

bool Archive::load()
{
    m_ids.clear();
    m_readSize = m_readChangeNs = -1;
    if (m_path.isEmpty())
        return true;
    const Descriptor fd(openRegular(m_path, O_RDONLY));
    if (fd.get() < 0)
        return errno == ENOENT || fail(QStringLiteral("cannot be read"));
    // Lines are appended under the lock: none is seen half written.
    const Locked reading(fd.get(), LOCK_SH);
    if (!readIds(fd.get()))
        return fail(QStringLiteral("cannot be read"));
    return true;
}

bool Archive::contains(const QString &id)
{
    if (m_ids.contains(id) || m_path.isEmpty())
        return m_ids.contains(id);
    struct stat info = {};
    if (::stat(QFile::encodeName(m_path).constData(), &info) == 0 &&
        (info.st_size != m_readSize || changeNs(info) != m_readChangeNs)) {
        const Descriptor fd(openRegular(m_path, O_RDONLY));
        const Locked reading(fd.get(), LOCK_SH);
        if (reading.held())
            readIds(fd.get());
    }
    return m_ids.contains(id);
}

bool Archive::record(const QString &id)
{
    m_ids.insert(id);
    if (m_path.isEmpty())
        return true;
    const Descriptor fd(openRegular(m_path, O_RDWR | O_APPEND | O_CREAT));
    if (fd.get() < 0)
        return fail(QStringLiteral("cannot be opened"));
    const Locked writing(fd.get(), LOCK_EX);
    if (!writing.held())
        return fail(QStringLiteral("cannot be locked"));
    // Read again under the lock: another run may have recorded it meanwhile.
    QSet<QString> before;
    before.swap(m_ids);
    const bool read = readIds(fd.get());
    const bool there = read && m_ids.contains(id);
    m_ids.unite(before);
    m_ids.insert(id);
    if (there)
        return true;
    QByteArray line = id.toUtf8() + '\n';
    struct stat info = {};
    char last = '\n';
    if (::fstat(fd.get(), &info) == 0 && info.st_size > 0 && ::pread(fd.get(), &last, 1, info.st_size - 1) == 1 &&
        last != '\n')
        line.prepend('\n');
    if (!writeAll(fd.get(), line))
        return fail(QStringLiteral("cannot be written"));
    // Still under the lock: the file holds nothing this run has not seen.
    if (read && ::fstat(fd.get(), &info) == 0) {
        m_readSize = info.st_size;
        m_readChangeNs = changeNs(info);
    }
    return true;
}

} // namespace download

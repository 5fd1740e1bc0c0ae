#include "download/archive.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

bool Archive::load()
{
    m_ids.clear();
    if (m_path.isEmpty())
        return true;
    const Descriptor fd(openRegular(m_path, O_RDONLY));
    if (fd.get() < 0)
        return errno == ENOENT || fail(QStringLiteral("cannot be read"));
    QFile file;
    if (!file.open(fd.get(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return fail(QStringLiteral("cannot be read"));
    QByteArray text = file.readAll();
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    for (const QByteArray &line : text.split('\n')) {
        const QString id = QString::fromUtf8(line).trimmed();
        if (!id.isEmpty())
            m_ids.insert(id);
    }
    return true;
}

bool Archive::record(const QString &id)
{
    m_ids.insert(id);
    if (m_path.isEmpty())
        return true;
    const Descriptor fd(openRegular(m_path, O_RDWR | O_APPEND | O_CREAT));
    if (fd.get() < 0)
        return fail(QStringLiteral("cannot be opened"));
    QByteArray line = id.toUtf8() + '\n';
    struct stat info = {};
    char last = '\n';
    if (::fstat(fd.get(), &info) == 0 && info.st_size > 0 && ::pread(fd.get(), &last, 1, info.st_size - 1) == 1 &&
        last != '\n')
        line.prepend('\n');
    if (!writeAll(fd.get(), line))
        return fail(QStringLiteral("cannot be written"));
    return true;
}

} // namespace download

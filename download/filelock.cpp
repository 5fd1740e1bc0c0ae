#include "download/filelock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace download {

FileLock::FileLock(const QString &path, Wait wait)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    int result = 0;
    do
        result = ::flock(fd, LOCK_EX | (wait == Wait::No ? LOCK_NB : 0));
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        m_taken = errno == EWOULDBLOCK;
        if (!m_taken)
            m_error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        ::close(fd);
        return;
    }
    m_fd = fd;
}

FileLock::~FileLock()
{
    // Closing the last descriptor lets the lock go.
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace download

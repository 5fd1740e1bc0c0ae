#pragma once

#include <QString>

namespace download {

// An advisory lock (flock) on a small file kept for it, held from
// construction until destruction, so that processes of one user take turns:
// another one asking for the same lock waits, or is told it is taken.
class FileLock final
{
public:
    enum class Wait { No, Yes };

    // Makes `path` (and its folder) when missing and locks it.
    FileLock(const QString &path, Wait wait);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    bool isHeld() const { return m_fd >= 0; }
    // Another process holds it (asked for with Wait::No).
    bool isTaken() const { return m_taken; }
    // Why it could not be had otherwise; empty when held or taken.
    QString error() const { return m_error; }

private:
    int m_fd = -1;
    bool m_taken = false;
    QString m_error;
};

} // namespace download

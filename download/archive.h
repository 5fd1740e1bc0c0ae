#pragma once

#include <QSet>
#include <QString>

namespace download {

// The ids of the works a batch has saved, one a line, kept between runs so
// that a later run skips them. Several runs may share one: each line is
// appended whole under a lock (flock), an id already there is not written
// again, and what other runs add is seen as it comes. Without a path it holds
// nothing and records nothing.
class Archive final
{
public:
    explicit Archive(QString path = QString())
        : m_path(std::move(path))
    {}

    // Why `path` cannot serve as an archive, or empty when it can: it must be a
    // regular file that can be read and written, or be missing from a folder
    // that can be written. Never waits on a pipe or a device.
    static QString problem(const QString &path);

    // Reads the ids, taking CRLF line ends, blank lines, spaces and a leading
    // byte-order mark in stride. False when the file is there but cannot be read.
    bool load();
    // Whether `id` is recorded, by this run or (read again when the file grew) another.
    bool contains(const QString &id);
    // Appends `id` on a line of its own (after a line end, should the last line
    // lack one) unless the file holds it already. False when it could not be
    // written; error() tells why.
    bool record(const QString &id);
    QString error() const { return m_error; }

private:
    bool fail(const QString &what);
    // Takes in the ids of the open archive `fd`.
    bool readIds(int fd);

    QString m_path;
    QSet<QString> m_ids;
    // The size and change time of the file when last read: another run's line changes them.
    qint64 m_readSize = -1;
    qint64 m_readChangeNs = -1;
    QString m_error;
};

} // namespace download

#pragma once

#include <QSet>
#include <QString>

namespace download {

// The ids of the works a batch has saved, one a line, kept between runs so
// that a later run skips them. Without a path it holds nothing and records
// nothing.
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
    bool contains(const QString &id) const { return m_ids.contains(id); }
    // Appends `id` on a line of its own (after a line end, should the last line
    // lack one). False when it could not be written; error() tells why.
    bool record(const QString &id);
    QString error() const { return m_error; }

private:
    bool fail(const QString &what);

    QString m_path;
    QSet<QString> m_ids;
    QString m_error;
};

} // namespace download

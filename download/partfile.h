#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace download {

// The file a transfer gathers its body in, beside the target. It is only ever
// opened as a regular file of its own: a link (symbolic or hard) planted in
// its place is removed, never written through, and the finished file takes
// the target's place without following a link there. Where its bytes came
// from (the address and the resource's validator) is noted on the file
// itself, so that a later transfer carries it on only for the same resource.
class PartFile final
{
public:
    PartFile() = default;
    ~PartFile();
    PartFile(const PartFile &) = delete;
    PartFile &operator=(const PartFile &) = delete;

    // "<target>.part", its name shortened to fit where needed.
    static QString pathFor(const QString &target);

    // How many bytes of a part left for `target` may be carried on for `url`;
    // 0 when there is none, it is no plain file, it came from another address
    // or nothing identifies the resource it holds. The validator to ask with
    // goes to `validator`.
    static qint64 resumable(const QString &target, const QString &url, QByteArray *validator);

    // Opens the part for `target`: kept up to `from` bytes and written on from
    // there when from > 0 and the part is a plain file of at least that size,
    // else started empty (whatever was there before goes). The source is
    // noted on it. False when the file cannot be opened.
    bool open(const QString &target, qint64 from, const QString &url, const QByteArray &validator);
    // Bytes kept from before by the last open().
    qint64 keptBytes() const { return m_kept; }
    // Notes another source on the open part (its body started over).
    void noteSource(const QString &url, const QByteArray &validator);

    bool isOpen() const { return m_file.isOpen(); }
    QFile &file() { return m_file; }
    QString path() const { return m_path; }
    // Why the last open, write or placement failed.
    QString errorString() const;
    QFileDevice::FileError error() const { return m_lastError != QFileDevice::NoError ? m_lastError : m_file.error(); }

    // Writes what is buffered and closes; false when the buffered bytes could not be written.
    bool close();
    // Puts the closed part in the target's place; false (the part stays) when
    // it is not the file that was written or the rename failed.
    bool place();
    // Removes the part (closing it first).
    void discard();

private:
    QFile m_file;
    QString m_target;
    QString m_path;
    QString m_error;
    QFileDevice::FileError m_lastError = QFileDevice::NoError; // of the failed flush on closing
    qint64 m_kept = 0;
    qint64 m_device = -1; // what identifies the written file, to check before placing it
    qint64 m_inode = -1;
};

} // namespace download

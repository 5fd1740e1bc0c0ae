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
// While open it holds an advisory lock (flock) on the file: one process
// writes a part at a time, and a part another process holds is left alone.
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

    // Opens and locks the part for `target`: kept up to `from` bytes and
    // written on from there when from > 0 and the part is a plain file of at
    // least that size, else started empty (whatever was there before goes).
    // The source is noted on it. False when the file cannot be opened, or
    // another process holds it (isBusy(); it is left as it is).
    bool open(const QString &target, qint64 from, const QString &url, const QByteArray &validator);
    // Whether the last open() found the part held by another process.
    bool isBusy() const { return m_busy; }
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

    // Writes what is buffered; false when it could not be written.
    bool flush();
    // Takes the outcome of syncing the open part to disk elsewhere (0 or an
    // errno), so that place() need not sync it again; false when it failed.
    bool markSynced(int error);
    // Says that its bytes were changed through another handle after that
    // sync (tags written into it), so that place() syncs it again.
    void markChanged() { m_synced = false; }
    // Writes what is buffered and closes (and unlocks); false when the buffered bytes could not be written.
    bool close();
    // Puts the open part, synced to disk, in the target's place and closes
    // it; false (the part stays open) when it is not the file that was
    // written, or syncing or the rename failed.
    bool place();
    // Removes the open part and closes it; a part not open here is never touched.
    void discard();

private:
    bool isStillNamed(int fd) const;

    QFile m_file;
    QString m_target;
    QString m_path;
    QString m_error;
    QFileDevice::FileError m_lastError = QFileDevice::NoError; // of the failed flush on closing
    qint64 m_kept = 0;
    bool m_busy = false;
    bool m_synced = false; // on disk as it is now
    qint64 m_device = -1;  // what identifies the written file, to check before placing it
    qint64 m_inode = -1;
};

} // namespace download

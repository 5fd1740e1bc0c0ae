#pragma once

#include "download/transfer.h"

#include <QObject>
#include <QString>

class QNetworkAccessManager;

// Copies one web resource into a local file, block by block, on the calling
// thread, by the rules of download::Transfer. The transfer runs inside DLFile; the caller's window processes its
// pending events after every block and whenever the transfer waits for data,
// so its handlers (a stop request among them) run inside the transfer. It reports
// through two signals and never shows anything itself.
class Cls_DownLoad final : public QObject
{
    Q_OBJECT
public:
    // The stages a transfer reports through entDLFileStatus, in the order they
    // can occur. Success: Connecting, Requesting, QueryingSize, Receiving,
    // progress per block, DataComplete, Finished.
    using Status = download::TransferStatus;
    static constexpr int code(Status status) { return static_cast<int>(status); }

    // Bytes per read, write and progress event.
    static constexpr int kBlockSize = 512;
    // How often a transfer asks again for the rest of a body that broke off.
    static constexpr int kMaxResumes = download::Transfer::kMaxResumes;
    // The speed reported while no whole second has passed yet.
    static constexpr qint64 kFirstSecondSpeed = download::Transfer::kFirstSecondSpeed;
    // How much of a body the network layer holds for us before it stops
    // reading the connection, so a long wait elsewhere holds the sender back.
    static constexpr qint64 kReadBufferBytes = download::Transfer::kReadBufferBytes;

    explicit Cls_DownLoad(QObject *parent = nullptr);
    ~Cls_DownLoad() override;

    // Downloads sRemoteURL into sLocalFilePath and returns the number of bytes
    // written. The body goes to partialPath(sLocalFilePath) first, which takes
    // the target's place only once the body is complete: a transfer that fails
    // or is stopped leaves an earlier file at sLocalFilePath as it was, and its
    // partial file (if any bytes came) beside it. lTimeOut is the stall
    // limit in milliseconds: waiting that long for the headers, or for more of
    // a body, counts as a failure to answer. A body that ends short of its
    // announced length is asked for again from where it broke off, up to
    // kMaxResumes times, and only as the same resource: a whole new answer
    // starts the file over. Returns 0 at once, without any signal, while
    // another transfer of this object runs.
    qint64 DLFile(const QString &sRemoteURL, const QString &sLocalFilePath, int lTimeOut);

    // Where the body of a transfer into `target` is gathered: beside it, named
    // after it with ".part" added (the name shortened to fit where needed).
    static QString partialPath(const QString &target) { return download::Transfer::partialPath(target); }

    // A body longer than this ends the transfer as Incomplete.
    void setMaxBodyBytes(qint64 bytes) { m_transfer->setMaxBodyBytes(bytes); }
    // A body that comes slower than bytesPerSecond, averaged over windowMs,
    // ends the transfer as Incomplete (windowMs 0: no floor).
    void setLowSpeedLimit(qint64 bytesPerSecond, int windowMs)
    {
        m_transfer->setLowSpeedLimit(bytesPerSecond, windowMs);
    }

    // Asks the running transfer to end after its next block (or at once when
    // it is waiting for data). Without a running transfer it does nothing.
    void DLFileStop();

    bool isRunning() const { return m_running; }
    // Why the last transfer failed (no answer, HTTP status, short body, the
    // file); empty after a success or a stop.
    QString lastError() const;
    // The HTTP status the last transfer was answered with; 0 before any answer.
    int httpStatus() const { return m_transfer->httpStatus(); }

signals:
    // After each block written: the address, the bytes written so far, the
    // announced length (0 when none was given) and the average bytes per second.
    void entDLFileDowning(const QString &sRemoteURL, qint64 lDownLoaded, qint64 lFilesize, qint64 lSpeed);
    // At each stage, with a Status code.
    void entDLFileStatus(int TmpState);

private:
    void status(Status state) { emit entDLFileStatus(code(state)); }

    QNetworkAccessManager *m_network;
    download::Transfer *m_transfer;
    bool m_running = false;
};

#pragma once

#include <QObject>
#include <QString>

class QEventLoop;
class QFile;
class QNetworkAccessManager;
class QNetworkReply;

// Copies one web resource into a local file, block by block, on the calling
// thread. The transfer runs inside DLFile; the caller's window processes its
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
    enum class Status : int {
        Connecting = 1,    // preparing the request
        Requesting = 2,    // request sent, waiting for the answer's headers
        QueryingSize = 3,  // headers in: reading the announced length
        Receiving = 4,     // about to open the target file and read the body
        Stopped = 5,       // a stop request ended the transfer
        Finished = 6,      // the transfer is over, whichever way it ended
        ConnectFailed = 7, // no client to send the request with
        RequestFailed = 8, // no answer, or an HTTP error status (400 and above)
        DataComplete = 9,  // the whole body is in the file
        Incomplete = 10,   // the body stayed short, grew past the size cap or came too slowly
        WriteFailed = 11,  // the file could not be opened, written or put in place
        DiskFull = 12,     // the disk filled up; the partial file is gone again
    };
    static constexpr int code(Status status) { return static_cast<int>(status); }

    // Bytes per read, write and progress event.
    static constexpr int kBlockSize = 512;
    // How often a transfer asks again for the rest of a body that broke off.
    static constexpr int kMaxResumes = 3;
    // The speed reported while no whole second has passed yet.
    static constexpr qint64 kFirstSecondSpeed = 1025;
    // How much of a body the network layer holds for us before it stops
    // reading the connection, so a long wait elsewhere holds the sender back.
    static constexpr qint64 kReadBufferBytes = 256 * 1024;

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
    static QString partialPath(const QString &target);

    // A body longer than this ends the transfer as Incomplete.
    void setMaxBodyBytes(qint64 bytes) { m_maxBodyBytes = bytes; }
    // A body that comes slower than bytesPerSecond, averaged over windowMs,
    // ends the transfer as Incomplete (windowMs 0: no floor).
    void setLowSpeedLimit(qint64 bytesPerSecond, int windowMs)
    {
        m_lowSpeedBytesPerSecond = bytesPerSecond;
        m_lowSpeedWindowMs = windowMs;
    }

    // Asks the running transfer to end after its next block (or at once when
    // it is waiting for data). Without a running transfer it does nothing.
    void DLFileStop();

    bool isRunning() const { return m_running; }

    // Why the last transfer failed, in a few readable words (the HTTP status,
    // the network's or the file system's reason); empty when it completed or
    // was stopped. Set before the transfer reports how it ended.
    QString lastError() const { return m_lastError; }

signals:
    // After each block written: the address, the bytes written so far, the
    // announced length (0 when none was given) and the average bytes per second.
    void entDLFileDowning(const QString &sRemoteURL, qint64 lDownLoaded, qint64 lFilesize, qint64 lSpeed);
    // At each stage, with a Status code.
    void entDLFileStatus(int TmpState);

private:
    enum class Wake { Ready, Stopped, Stalled, Interrupted };
    enum class Answer { Usable, Refused, Stopped, Interrupted };

    struct Transfer;

    Status transfer(Transfer &t);
    Status receive(Transfer &t);
    Status settle(Transfer &t, Status end);
    bool tooSlow(Transfer &t) const;
    void restartSpeedWindow(Transfer &t) const;
    bool resume(Transfer &t, Status &end);
    Answer sendRequest(Transfer &t, qint64 from);
    Wake waitFor(QNetworkReply *reply, bool headersOnly, int stallMs);
    qint64 speed(const Transfer &t) const;
    void status(Status state) { emit entDLFileStatus(code(state)); }

    QNetworkAccessManager *m_network;
    bool m_running = false;
    bool m_stopRequested = false;
    QEventLoop *m_wait = nullptr; // the loop a transfer is waiting in, if any
    QString m_lastError;
    qint64 m_maxBodyBytes = qint64(2) << 30;
    qint64 m_lowSpeedBytesPerSecond = 1024;
    int m_lowSpeedWindowMs = 60 * 1000;
};

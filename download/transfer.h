#pragma once

#include "download/partfile.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFileDevice>
#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

namespace download {

class RateLimit;

// The stages a transfer reports, in the order they can occur. Success:
// Connecting, Requesting, QueryingSize, Receiving, progress per block,
// DataComplete.
enum class TransferStatus : int {
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
    NotAudio = 13,     // the answer is a web page or a message, not the song: nothing is kept
    EmptyBody = 14,    // the answer came complete with no body at all: nothing is kept
    Busy = 15,         // another process is writing the partial file: it is left to that one
};

// Copies one web resource into a file, driven by the network's signals on the
// caller's event loop: start() returns at once and finished() tells the end.
// The body goes to partialPath(target) first, which takes the target's place
// only once the body is complete; a transfer that fails or is stopped leaves
// an earlier target as it was, and its partial file (if any bytes came)
// beside it. A body that ends short of its announced length is asked for again
// from where it broke off, up to kMaxResumes times, and only as the same
// resource: a range answered for another version (another validator, or
// another starting point) starts the file over. A web page, a text message or
// an empty body in place of the song is refused before any of it is kept. The
// partial file is written by one process at a time: one that another process
// is writing ends the transfer as Busy.
class Transfer final : public QObject
{
    Q_OBJECT
public:
    using Status = TransferStatus;

    // How often a transfer asks again for the rest of a body that broke off.
    static constexpr int kMaxResumes = 3;
    // The speed reported while no whole second has passed yet.
    static constexpr qint64 kFirstSecondSpeed = 1025;
    // How much of a body the network layer holds for us before it stops
    // reading the connection, so a long wait elsewhere holds the sender back;
    // deep enough that the network layer never waits for us while we read.
    static constexpr qint64 kReadBufferBytes = 8 * 1024 * 1024;

    explicit Transfer(QNetworkAccessManager *network, QObject *parent = nullptr);
    ~Transfer() override;

    // How blocks are cut: Whole waits for a full block (the last may be
    // short) and a stop keeps exactly the blocks reported; AsReceived writes
    // whatever has come, up to a block, and a stop keeps all of it.
    enum class Fill { Whole, AsReceived };

    // Bytes per read, write and progress report (at most, with AsReceived).
    void setBlockSize(int bytes, Fill fill = Fill::Whole)
    {
        m_blockSize = std::max(1, bytes);
        m_fill = fill;
    }
    // A body longer than this ends the transfer as Incomplete.
    void setMaxBodyBytes(qint64 bytes) { m_maxBodyBytes = bytes; }
    // A body that comes slower than bytesPerSecond, averaged over windowMs,
    // ends the transfer as Incomplete (windowMs 0: no floor).
    void setLowSpeedLimit(qint64 bytesPerSecond, int windowMs)
    {
        m_lowSpeedBytesPerSecond = bytesPerSecond;
        m_lowSpeedWindowMs = windowMs;
    }
    // Run after each block once the stop request has been looked at; the
    // blocks already in go on being read when it returns.
    void setBetweenBlocks(std::function<void()> hook) { m_betweenBlocks = std::move(hook); }
    // With continuePart, a partial file an earlier transfer left for the same
    // address, with the validator of its resource, is carried on from its end
    // (a range request tied to that validator); any other is started over.
    void setContinuePart(bool continuePart) { m_continuePart = continuePart; }

    // Run on the complete body, closed under its partial file's name, just
    // before it takes the target's place: what it writes there is placed with
    // it. It returns whether it changed the file's bytes (not only its notes),
    // which are then synced to disk again before the part is placed.
    void setBeforePlacing(std::function<bool(const QString &partPath)> hook) { m_beforePlacing = std::move(hook); }

    // Reads no faster than `limit` allows, which several transfers may share
    // and which outlives them (nullptr: as fast as the body comes).
    void setRateLimit(RateLimit *limit) { m_rateLimit = limit; }

    // Starts fetching `url` into `target`; Connecting and Requesting are
    // reported before it returns. stallMs is the stall limit: waiting that
    // long for the headers, or for more of a body, counts as a failure to
    // answer (0: no limit). Does nothing while a transfer runs.
    void start(const QString &url, const QString &target, int stallMs);
    // Ends the running transfer as Stopped: after the current block when one
    // is being read, else at once. Without a running transfer it does nothing.
    void stop();

    bool isRunning() const { return m_running; }
    qint64 written() const { return m_total; }
    // Bytes of an earlier partial file that the body carries on from (0 when it started fresh).
    qint64 carriedOn() const { return m_carriedOn; }
    qint64 size() const { return m_size; }
    // The average bytes per second since the body began, from whole seconds
    // of the time of day (halves to even); kFirstSecondSpeed before the first.
    qint64 speed() const;
    // What identifies the resource for a later range request (a strong ETag,
    // else Last-Modified); empty when the server named none.
    QByteArray validator() const { return m_etag.isEmpty() ? m_lastModified : m_etag; }
    // The HTTP status of the last answer; 0 when none came (refused, reset, timed out).
    int httpStatus() const { return m_httpStatus; }
    // The "Retry-After" of the last answer, as sent; empty when it had none.
    QByteArray retryAfter() const { return m_retryAfter; }
    // Why the last transfer failed, for a tool tip or a terminal; empty after a success or a stop.
    QString failure() const { return m_failure; }
    // What the last transfer did that a user may want to know though it
    // succeeded (a partial file started over, and why); empty when nothing.
    QString note() const { return m_note; }

    // Where the body of a transfer into `target` is gathered: beside it, named
    // after it with ".part" added (the name shortened to fit where needed).
    static QString partialPath(const QString &target);

signals:
    // At each stage up to Receiving.
    void stage(download::TransferStatus status);
    // After each block written: the bytes in the file and the announced
    // length of the whole body (0 when none was given).
    void progress(qint64 written, qint64 size);
    // Once, with how it ended: DataComplete, Stopped, RequestFailed,
    // Incomplete, WriteFailed, DiskFull, NotAudio, EmptyBody or Busy.
    void finished(download::TransferStatus end);

private:
    enum class Phase { Idle, Asking, Receiving, Syncing };
    enum class Answer { Usable, Refused, Retry, StartOver };
    struct ReplyDisposer
    {
        void operator()(QNetworkReply *reply) const;
    };

    void ask(qint64 from);
    void onReplySignal();
    void onWake();
    void answered(Answer answer);
    Answer judgeAnswer();
    Status beginBody();
    bool emptyPart();
    void scheduleStep();
    void step();
    bool receive(Status &end);
    bool takeIn(QNetworkReply *reply, bool paced = true);
    bool writeBlock(qint64 bytes, Status &end);
    void keepWhatCame();
    void resumeNext();
    void finish(Status end);
    bool syncInBackground();
    void synced();
    Status settle(Status end);
    bool tooSlow();
    void nudge();
    void restartSpeedWindow();
    QString failureCause(Status end, QFileDevice::FileError fileError, const QString &fileErrorText) const;

    QNetworkAccessManager *m_network;
    int m_blockSize = 512;
    Fill m_fill = Fill::Whole;
    qint64 m_maxBodyBytes = qint64(2) << 30;
    qint64 m_lowSpeedBytesPerSecond = 1024;
    int m_lowSpeedWindowMs = 60 * 1000;
    std::function<void()> m_betweenBlocks;
    std::function<bool(const QString &)> m_beforePlacing;
    bool m_continuePart = false;
    QByteArray m_partValidator;
    RateLimit *m_rateLimit = nullptr;
    QByteArray m_retryAfter;

    bool m_running = false;
    bool m_stopRequested = false;
    bool m_inStep = false;
    bool m_stepScheduled = false;
    Phase m_phase = Phase::Idle;
    QString m_url;
    QString m_target;
    int m_stallMs = 0;
    std::unique_ptr<QNetworkReply, ReplyDisposer> m_reply;
    QString m_failure;
    QString m_note;
    PartFile m_part;
    QByteArray m_inbox;       // bytes taken from the network, not yet written...
    qsizetype m_inboxAt = 0;  // ...from here
    qsizetype m_inboxEnd = 0; // ...to here
    QByteArray m_contentType;
    QString m_refusal; // why a body was taken for a web page
    QTimer m_wake;
    QFutureWatcher<int> m_syncing; // the complete part's sync to disk, before it is placed
    bool m_judging = false;        // the wake timer runs to judge the speed, not the stall
    qint64 m_asked = 0;            // where the request being answered starts
    bool m_bodyBegun = false;
    qint64 m_partFrom = 0; // bytes of an earlier partial file being continued
    qint64 m_carriedOn = 0;
    qint64 m_total = 0;    // bytes written
    qint64 m_size = 0;     // the announced length, 0 when unknown
    qint64 m_skip = 0;     // leading bytes of the current answer that are already on disk
    qint64 m_received = 0; // body bytes taken from the network, passed-over ones included
    int m_resumes = 0;
    int m_httpStatus = 0;
    QByteArray m_etag; // strong entity tags only
    QByteArray m_lastModified;
    qint64 m_windowFromMs = 0;
    qint64 m_windowFromBytes = 0;
    bool m_broken = false; // the current answer was given up on
    bool m_nudged = false; // the read buffer is a byte short (see nudge())
    QElapsedTimer m_clock;
    // How far the start time of day lies past the whole second it rounds to;
    // elapsed whole seconds are counted from that rounded second.
    double m_startOffset = 0.0;
};

} // namespace download

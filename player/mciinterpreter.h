#pragma once

#include "player/mcicommand.h"
#include "player/streamfailure.h"

#include <QElapsedTimer>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class MediaDevice;
class QObject;
class QTimer;
class StreamProbe;

// Takes the player's command strings, the only way the window makes sound.
// Reports a failure of the stream open under the alias, once its open command
// had been taken; never one of a stream closed or replaced meanwhile.
class MciService : public StreamFailureReporter
{
public:
    virtual ~MciService() = default;
    // Runs one command and returns its result (0 for success). Never throws and
    // never blocks; a failing command simply changes nothing.
    virtual int sendString(const QString &command) = 0;
};

// Interprets the command strings over a media device made on each "open".
// A stream that cannot start or breaks off is closed and reported: one whose
// position stands still for the stall limit while it plays counts as broken,
// and a failure the device cannot explain is looked into over HTTP first.
class MciInterpreter final : public MciService
{
public:
    using DeviceFactory = std::function<std::unique_ptr<MediaDevice>()>;
    static constexpr int kStallLimitMs = 5000;

    explicit MciInterpreter(DeviceFactory factory);
    ~MciInterpreter() override;

    int sendString(const QString &command) override;

    bool isOpen() const { return m_device != nullptr; }

    // How long a playing stream may stand still before it counts as broken.
    void setStallLimit(int milliseconds) { m_stallLimitMs = milliseconds; }

    // The stream an open command may play: the address when it is on the web
    // (http or https), otherwise an empty address, which fails the open.
    // Local files and devices are never opened, whatever a page names.
    static QUrl sourceFor(const QString &address);

private:
    mci::Result run(const mci::Command &command);
    mci::Result open(const QString &address);
    // Forgets the stream, so that nothing more is said of it.
    void closeStream();
    void checkProgress();
    // Ends the current stream at once and reports `failure`, once the
    // source has been asked about it where that tells more.
    void streamFailed(const StreamFailure &failure);
    // Reports `failure` of the current stream from the event loop.
    void reportLater(const StreamFailure &failure);

    DeviceFactory m_factory;
    std::unique_ptr<MediaDevice> m_device;
    QUrl m_source;
    quint64 m_stream = 0; // moves on whenever a stream opens or closes
    int m_stallLimitMs = kStallLimitMs;
    qint64 m_lastPosition = -1;
    QElapsedTimer m_standingStill;
    // Holds the progress watch, the probe and every queued report: they all
    // end with the interpreter. Goes first.
    std::unique_ptr<QObject> m_context;
    QTimer *m_watch = nullptr;
    StreamProbe *m_probe = nullptr;
};

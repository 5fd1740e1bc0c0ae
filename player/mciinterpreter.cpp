#include "player/mciinterpreter.h"

#include "page/webaddress.h"
#include "player/mediadevice.h"
#include "player/streamprobe.h"

#include <QTimer>
#include <QUrl>

namespace {

// How often a playing stream's position is looked at.
constexpr int kWatchIntervalMs = 250;

} // namespace

MciInterpreter::MciInterpreter(DeviceFactory factory)
    : m_factory(std::move(factory))
    , m_context(std::make_unique<QObject>())
    , m_watch(new QTimer(m_context.get()))
    , m_probe(new StreamProbe(m_context.get()))
{
    m_watch->setInterval(kWatchIntervalMs);
    QObject::connect(m_watch, &QTimer::timeout, m_context.get(), [this] { checkProgress(); });
}

MciInterpreter::~MciInterpreter()
{
    m_context.reset();
}

QUrl MciInterpreter::sourceFor(const QString &address)
{
    const QUrl url(address, QUrl::TolerantMode);
    return isWebAddress(url) ? url : QUrl();
}

int MciInterpreter::sendString(const QString &command)
{
    mci::Result error = mci::Result::Ok;
    const std::optional<mci::Command> parsed = mci::parse(command, &error);
    if (!parsed)
        return static_cast<int>(error);
    return static_cast<int>(run(*parsed));
}

mci::Result MciInterpreter::run(const mci::Command &command)
{
    using mci::Result;
    switch (command.verb) {
    case mci::Verb::CloseAll:
        closeStream();
        return Result::Ok;
    case mci::Verb::Close:
        if (!m_device)
            return Result::InvalidDeviceName;
        closeStream();
        return Result::Ok;
    case mci::Verb::Open:
        return open(command.address);
    case mci::Verb::Play:
        if (!m_device)
            return Result::InvalidDeviceName;
        m_device->play();
        m_lastPosition = -1;
        m_watch->start();
        return Result::Ok;
    case mci::Verb::SetVolume:
        if (!m_device)
            return Result::InvalidDeviceName;
        m_device->setVolume(command.volume);
        return Result::Ok;
    }
    return Result::UnrecognizedCommand;
}

mci::Result MciInterpreter::open(const QString &address)
{
    if (m_device)
        return mci::Result::DuplicateAlias;
    closeStream();
    m_source = sourceFor(address);
    if (!m_source.isValid()) {
        reportLater({StreamTrouble::BadAddress, address.trimmed()});
        return mci::Result::CannotOpen;
    }
    std::unique_ptr<MediaDevice> device = m_factory ? m_factory() : nullptr;
    if (!device) {
        reportLater({StreamTrouble::NoOutput, QStringLiteral("声音模块无法加载")});
        return mci::Result::CannotOpen;
    }
    if (!device->open(m_source)) {
        reportLater({StreamTrouble::BadAddress, address.trimmed()});
        return mci::Result::CannotOpen;
    }
    // Only the stream open now counts: one closed since says nothing.
    device->setFailureHandler([this, stream = m_stream](const StreamFailure &failure) {
        if (stream == m_stream)
            streamFailed(failure);
    });
    m_device = std::move(device);
    return mci::Result::Ok;
}

void MciInterpreter::closeStream()
{
    ++m_stream;
    m_watch->stop();
    m_probe->cancel();
    m_device.reset();
}

void MciInterpreter::checkProgress()
{
    if (!m_device || m_device->atEnd()) {
        m_watch->stop();
        return;
    }
    const qint64 position = m_device->position();
    if (position != m_lastPosition) {
        m_lastPosition = position;
        m_standingStill.start();
        return;
    }
    if (m_standingStill.elapsed() >= m_stallLimitMs)
        streamFailed(
            {StreamTrouble::Stalled, QStringLiteral("%1 秒内没有收到音频数据").arg((m_stallLimitMs + 999) / 1000)});
}

void MciInterpreter::streamFailed(const StreamFailure &failure)
{
    const QUrl source = m_source;
    // The device is let go from the event loop: this may be its own report.
    QTimer::singleShot(0, m_context.get(), [this, stream = m_stream] {
        if (stream == m_stream)
            m_device.reset();
    });
    m_watch->stop();
    switch (failure.trouble) {
    case StreamTrouble::NoOutput:
    case StreamTrouble::BadAddress:
    case StreamTrouble::Stalled:
        reportLater(failure);
        return;
    default:
        break;
    }
    m_probe->start(source, failure, [this, stream = m_stream](const StreamFailure &found) {
        if (stream == m_stream)
            reportFailure(found);
    });
}

void MciInterpreter::reportLater(const StreamFailure &failure)
{
    QTimer::singleShot(0, m_context.get(), [this, failure, stream = m_stream] {
        if (stream == m_stream)
            reportFailure(failure);
    });
}

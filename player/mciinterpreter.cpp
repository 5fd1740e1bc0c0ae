#include "player/mciinterpreter.h"

#include "page/webaddress.h"
#include "player/mediadevice.h"

#include <QUrl>

MciInterpreter::MciInterpreter(DeviceFactory factory)
    : m_factory(std::move(factory))
{}

MciInterpreter::~MciInterpreter() = default;

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
        m_device.reset();
        return Result::Ok;
    case mci::Verb::Close:
        if (!m_device)
            return Result::InvalidDeviceName;
        m_device.reset();
        return Result::Ok;
    case mci::Verb::Open: {
        if (m_device)
            return Result::DuplicateAlias;
        const QUrl source = sourceFor(command.address);
        if (!source.isValid() || !m_factory)
            return Result::CannotOpen;
        std::unique_ptr<MediaDevice> device = m_factory();
        if (!device || !device->open(source))
            return Result::CannotOpen;
        // Only the stream open now counts: one closed since says nothing.
        device->setFailureHandler([this, stream = device.get()](const QString &reason) {
            if (m_device.get() == stream)
                reportFailure(reason);
        });
        m_device = std::move(device);
        return Result::Ok;
    }
    case mci::Verb::Play:
        if (!m_device)
            return Result::InvalidDeviceName;
        m_device->play();
        return Result::Ok;
    case mci::Verb::SetVolume:
        if (!m_device)
            return Result::InvalidDeviceName;
        m_device->setVolume(command.volume);
        return Result::Ok;
    }
    return Result::UnrecognizedCommand;
}

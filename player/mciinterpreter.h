#pragma once

#include "player/mcicommand.h"
#include "player/streamfailure.h"

#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class MediaDevice;

// Takes the player's command strings, the only way the window makes sound.
// Reports a failure of the stream open under the alias, once its open command
// had been taken; never one of a stream closed meanwhile.
class MciService : public StreamFailureReporter
{
public:
    virtual ~MciService() = default;
    // Runs one command and returns its result (0 for success). Never throws and
    // never blocks; a failing command simply changes nothing.
    virtual int sendString(const QString &command) = 0;
};

// Interprets the command strings over a media device made on each "open".
class MciInterpreter final : public MciService
{
public:
    using DeviceFactory = std::function<std::unique_ptr<MediaDevice>()>;

    explicit MciInterpreter(DeviceFactory factory);
    ~MciInterpreter() override;

    int sendString(const QString &command) override;

    bool isOpen() const { return m_device != nullptr; }

    // The stream an open command may play: the address when it is on the web
    // (http or https), otherwise an empty address, which fails the open.
    // Local files and devices are never opened, whatever a page names.
    static QUrl sourceFor(const QString &address);

private:
    mci::Result run(const mci::Command &command);

    DeviceFactory m_factory;
    std::unique_ptr<MediaDevice> m_device;
};

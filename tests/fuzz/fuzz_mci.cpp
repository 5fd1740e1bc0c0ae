// Command strings of any shape, one per line, against a device that only
// counts: no crash, at most one stream open, and "close all" always closes.

#include "player/mciinterpreter.h"
#include "player/mediadevice.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdlib>

namespace {

int g_alive = 0;

class CountingDevice final : public MediaDevice
{
public:
    CountingDevice() { ++g_alive; }
    ~CountingDevice() override { --g_alive; }
    bool open(const QUrl &source) override { return source.isValid(); }
    void play() override {}
    void setVolume(int volume) override
    {
        if (volume < 0 || volume > 1000)
            std::abort();
    }
    qint64 position() const override { return 0; }
    bool atEnd() const override { return false; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The interpreter watches a playing stream with a timer of the event loop.
    static int argc = 1;
    static char name[] = "fuzz_mci";
    static char *argv[] = {name, nullptr};
    static const QCoreApplication app(argc, argv);
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    {
        MciInterpreter mci([] { return std::make_unique<CountingDevice>(); });
        for (const QString &command : text.split(QLatin1Char('\n'))) {
            mci.sendString(command);
            if (g_alive > 1 || mci.isOpen() != (g_alive == 1))
                std::abort();
        }
        if (mci.sendString(QStringLiteral("close all")) != 0 || g_alive != 0)
            std::abort();
    }
    if (g_alive != 0)
        std::abort();
    return 0;
}

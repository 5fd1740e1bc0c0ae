#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>

#include <chrono>
#include <cstdlib>
#include <cstring>

// One core kept busy beside a benchmark, by a copy of the benchmark itself
// started with kBusyCoreArgument; it ends with the benchmark, or on its own
// after kBusyCoreSeconds at the latest.
inline constexpr char kBusyCoreArgument[] = "--busy-core";
inline constexpr int kBusyCoreSeconds = 120;

// Call first in main(): in the busy copy this spins and then ends the process.
inline void spinIfBusyCore(int argc, char *argv[])
{
    if (argc < 2 || std::strcmp(argv[1], kBusyCoreArgument) != 0)
        return;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(kBusyCoreSeconds);
    volatile unsigned long spin = 0;
    while (std::chrono::steady_clock::now() < end) {
        for (int i = 0; i < 1000000; ++i)
            spin = spin + 1;
    }
    std::exit(0);
}

class BusyCore final
{
public:
    BusyCore() { m_process.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kBusyCoreArgument)}); }
    ~BusyCore()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    BusyCore(const BusyCore &) = delete;
    BusyCore &operator=(const BusyCore &) = delete;

private:
    QProcess m_process;
};

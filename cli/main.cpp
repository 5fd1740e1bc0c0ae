#include "cli/downloadcommand.h"
#include "cli/options.h"
#include "cli/stop.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

int g_stopPipe[2] = {-1, -1};

void onInterrupt(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_stopPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);

    QString site = qEnvironmentVariable("CANTORA_SITE_BASE");
    if (arguments.size() >= 2 && arguments.first() == QLatin1String("--site")) {
        site = arguments.at(1);
        arguments = arguments.mid(2);
    }
    if (!site.isEmpty())
        cli::setConfig(cli::aimedAt(cli::config(), site));

    // Ctrl-C reaches the event loop through a pipe: a signal handler may do little else.
    if (::pipe(g_stopPipe) == 0) {
        auto *notifier = new QSocketNotifier(g_stopPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
            char byte = 0;
            [[maybe_unused]] const ssize_t got = ::read(g_stopPipe[0], &byte, 1);
            cli::requestStop();
        });
        std::signal(SIGINT, onInterrupt);
    }

    if (arguments.isEmpty() || arguments.first() != QLatin1String("download")) {
        std::fputs("usage: cantora-cli download URL... | --singer SINGER_URL [-o DIR] [-j N] [--archive FILE] [--tag] "
                   "[--retries N]\n",
                   stderr);
        return 2;
    }
    return cli::runDownload(arguments.mid(1));
}

// Start-up of the window program against an empty window of the same size:
// the time from launch to the window being mapped, and the resident memory
// once start-up has settled, median of N launches each, taking turns, under
// one Xvfb with a session bus. The replica site answers the version check.
// A third row, the empty window with one Chinese caption, shows how much of
// the difference any window with Chinese text pays here.
//   bench_startup [launches]        (default 10; needs Xvfb and dbus-run-session)

#include "resident.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <xcb/xcb.h>

#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr int kSettleMs = 1500; // start-up done: window shown, version checked

struct Launch final
{
    double mappedMs = -1;
    double residentMiB = -1;
};

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// Watches the X server for top-level windows being mapped.
class MapWatch final
{
public:
    explicit MapWatch(const QByteArray &display)
        : m_connection(xcb_connect(display.constData(), nullptr))
    {
        if (xcb_connection_has_error(m_connection))
            return;
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        m_root = screen->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_connection);
    }
    ~MapWatch() { xcb_disconnect(m_connection); }
    MapWatch(const MapWatch &) = delete;
    MapWatch &operator=(const MapWatch &) = delete;

    bool ok() const { return m_root != 0; }

    void drain()
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection))
            std::free(event);
    }

    // Waits until a top-level window is mapped; false after `timeoutMs`.
    bool waitForMap(int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
                const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                                    reinterpret_cast<xcb_map_notify_event_t *>(event)->event == m_root;
                std::free(event);
                if (mapped)
                    return true;
            }
            pollfd watched{xcb_get_file_descriptor(m_connection), POLLIN, 0};
            ::poll(&watched, 1, 20);
        }
        return false;
    }

private:
    xcb_connection_t *m_connection;
    xcb_window_t m_root = 0;
};

Launch launch(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
              MapWatch &watch)
{
    Launch result;
    watch.drain();
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    if (process.waitForStarted(5000) && watch.waitForMap(10000)) {
        result.mappedMs = clock.nsecsElapsed() / 1e6;
        QThread::msleep(kSettleMs);
        result.residentMiB = residentBytes(QString::number(process.processId())) / 1048576.0;
    }
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(2000);
    }
    return result;
}

// Runs this benchmark again inside a session bus of its own.
int underSessionBus(int argc, char *argv[])
{
    const QString runner = QStandardPaths::findExecutable(QStringLiteral("dbus-run-session"));
    if (runner.isEmpty()) {
        std::printf("start-up: dbus-run-session is not installed\n");
        return 1;
    }
    QStringList arguments{QStringLiteral("--"), QCoreApplication::applicationFilePath()};
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QProcess inner;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("CANTORA_BENCH_SESSION"), QStringLiteral("1"));
    inner.setProcessEnvironment(environment);
    inner.setProcessChannelMode(QProcess::ForwardedChannels);
    inner.start(runner, arguments);
    inner.waitForFinished(-1);
    return inner.exitCode();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("CANTORA_BENCH_SESSION"))
        return underSessionBus(argc, argv);
    const int launches = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 10;

    QProcess xvfb;
    xvfb.start(QStringLiteral("Xvfb"),
               {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QByteArray number;
    QElapsedTimer wait;
    wait.start();
    while (!number.endsWith('\n') && wait.elapsed() < 10000 && xvfb.waitForReadyRead(1000))
        number += xvfb.readAllStandardOutput();
    if (number.trimmed().isEmpty()) {
        std::printf("start-up: Xvfb did not start\n");
        return 1;
    }
    const QByteArray display = ':' + number.trimmed();

    QProcess site;
    site.start(QStringLiteral(CANTORA_SITE_BINARY), {});
    const bool siteUp = site.waitForReadyRead(5000);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));

    int status = 0;
    {
        MapWatch watch(display);
        if (!watch.ok()) {
            std::printf("start-up: cannot reach Xvfb on %s\n", display.constData());
            status = 1;
        } else {
            struct Program
            {
                const char *label;
                QString path;
                QStringList arguments;
            };
            const Program programs[] = {
                {"bare QWidget", QStringLiteral(CANTORA_BARE_WINDOW), {}},
                {"  + one caption", QStringLiteral(CANTORA_BARE_WINDOW), {QStringLiteral("--caption")}},
                {"cantora-helper", QStringLiteral(CANTORA_WINDOW_PROGRAM), {}},
            };
            constexpr int kPrograms = int(std::size(programs));
            std::vector<double> mapped[kPrograms];
            std::vector<double> resident[kPrograms];
            for (int round = 0; round < launches; ++round) {
                for (int which = 0; which < kPrograms; ++which) {
                    const Launch one = launch(programs[which].path, programs[which].arguments, environment, watch);
                    if (one.mappedMs < 0)
                        continue;
                    mapped[which].push_back(one.mappedMs);
                    resident[which].push_back(one.residentMiB);
                }
            }
            const double bareMs = median(mapped[0]);
            const double oursMs = median(mapped[kPrograms - 1]);
            const double oursRss = median(resident[kPrograms - 1]);
            std::printf("start-up to a mapped window, median of %d launches each, taking turns (Xvfb %s, session "
                        "bus%s):\n",
                        launches, display.constData(), siteUp ? ", replica site" : ", NO replica site");
            std::printf("                      mapped     RSS after start\n");
            for (int which = 0; which < kPrograms; ++which)
                std::printf("  %-16s  %7.1f ms  %7.1f MiB  (%zu launches)\n", programs[which].label,
                            median(mapped[which]), median(resident[which]), mapped[which].size());
            std::printf("  caption alone: %.2fx the bare window\n", median(mapped[1]) / bareMs);
            std::printf("  ratio %.2fx (target: at most 1.3x); RSS %.1f MiB (target: at most 35 MiB)\n",
                        oursMs / bareMs, oursRss);
        }
    }
    site.terminate();
    site.waitForFinished(3000);
    xvfb.terminate();
    xvfb.waitForFinished(3000);
    return status;
}

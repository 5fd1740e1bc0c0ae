// Times the works list filler against the plain split-per-row filler, and the
// whole list-filling tick of the window for a singer with 20,000 works.
//   bench_worksfill            (runs offscreen unless QT_QPA_PLATFORM is set)
// With a number of works instead, one harvest of that page in the window: the
// fill tick and the longest pause of a 10 ms window timer from the press to
// the filled list (the list holds at most 32,766 rows), on a quiet machine and
// again while a copy of the bench keeps one core busy.
//   bench_worksfill 1000000

#include "app/form1.h"
#include "busycore.h"
#include "literalfill.h"
#include "site/httpserver.h"
#include "works/harvest.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

namespace {

// A singer page as the site writes it: one entry per work, then the page's
// closing marker.
QString singerPage(int works)
{
    QString page = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>歌手</title></head>"
                                  "<body><h1 class=\"nickname\">千曲</h1><ul>\n");
    for (int i = 1; i <= works; ++i) {
        const QString id = QString::number(6000000 + i) + QStringLiteral("109");
        page += QStringLiteral("<li class=\"work\"><a class=\"work-name\" href=\"/s/%1\" target=\"_blank\" "
                               "data-id=\"%1\">练习曲 第%2首</a><span class=\"plays\">播放 %3</span></li>\n")
                    .arg(id)
                    .arg(i)
                    .arg(i * 37 % 10000);
    }
    return page + QStringLiteral("</ul><a class=\"more\" data-id=\"1004\">查看更多作品</a></body></html>");
}

// A singer page with entries as short as they come, so that a million of them
// fit under the page fetcher's size limit.
QString terseSingerPage(int works)
{
    QString page = QStringLiteral("<html><body>");
    for (int i = 1; i <= works; ++i)
        page += QStringLiteral("<i data-id=\"%1\">t%1</i>").arg(i);
    return page + QStringLiteral("</body></html>");
}

using Filler = std::function<std::vector<works::WorkRow>(works::HarvestSlots &, qint16)>;

// One fill, in milliseconds. Checks the row count on the way.
double timeFill(const Filler &fill, const QString &page, int works)
{
    works::HarvestSlots slot;
    slot[0] = page;
    const qint16 count = works::countMarkers(page);
    QElapsedTimer clock;
    clock.start();
    const std::vector<works::WorkRow> rows = fill(slot, count);
    const double ms = clock.nsecsElapsed() / 1e6;
    if (int(rows.size()) != works)
        std::fprintf(stderr, "wrong row count: %zu, expected %d\n", rows.size(), works);
    return ms;
}

// Notes when the list filler's timer event reaches its timer, before the
// window's handler runs.
class TickStart final : public QObject
{
public:
    QElapsedTimer clock;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Timer)
            clock.start();
        return false;
    }
};

// The longest gap between the ticks of a 10 ms window timer, in ms, since start().
class PauseWatch final
{
public:
    PauseWatch()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { note(); });
    }
    void start()
    {
        m_clock.start();
        m_last = m_longest = 0;
        m_timer.start(10);
    }
    double longestMs()
    {
        note();
        return m_longest / 1e6;
    }

private:
    void note()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

// Harvests of a 20,000-work page in the window, shown offscreen, one after
// the other; the time of each tick that fills the list, in milliseconds.
std::vector<double> timeWindowTicks(const QString &page, int works, int harvests, double *longestPause = nullptr)
{
    LoopbackServer server;
    if (!server.start())
        return {};
    const QByteArray body = page.toUtf8();
    server.setHandler([body](const HttpRequest &request) {
        if (request.path == QLatin1String("/version/main.txt"))
            return HttpResponse::text(200, "kw:V3.3|");
        return HttpResponse::text(200, body, "text/html; charset=utf-8");
    });
    QTemporaryDir folder;
    AppConfig config = AppConfig::fromBuild();
    config.siteBase = config.updateBase = server.base();
    config.programFolder = folder.path();

    Form1 window(config, Platform::desktop());
    window.load();
    TickStart start;
    window.Timer3->installEventFilter(&start);
    double tickMs = -1;
    // Connected after the window's own handler, so it runs when that has ended.
    QObject::connect(window.Timer3, &QTimer::timeout, &window, [&] { tickMs = start.clock.nsecsElapsed() / 1e6; });

    std::vector<double> ticks;
    window.Text2->setText(server.base() + QStringLiteral("/userPage.php?uid=1004"));
    PauseWatch pauses;
    for (int harvest = 0; harvest < harvests; ++harvest) {
        tickMs = -1;
        pauses.start();
        window.Command10->click();
        QElapsedTimer wait;
        wait.start();
        while (tickMs < 0 && wait.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        // Let the list paint its new rows before the next press.
        QCoreApplication::processEvents();
        if (longestPause)
            *longestPause = std::max(*longestPause, pauses.longestMs());
        if (window.ListView1->topLevelItemCount() != works)
            std::fprintf(stderr, "the list holds %d rows, expected %d\n", window.ListView1->topLevelItemCount(), works);
        ticks.push_back(tickMs);
    }
    window.close();
    return ticks;
}

} // namespace

int main(int argc, char *argv[])
{
    spinIfBusyCore(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    if (argc > 1) {
        const int works = QByteArray(argv[1]).toInt();
        const int rows = std::min(works, works::kMaxMarkerCount - 1);
        const QString page = terseSingerPage(works);
        std::printf("%d works (%.0f MiB page), %d rows; from the press to the filled list:\n", works,
                    page.toUtf8().size() / 1048576.0, rows);
        for (const bool busy : {false, true}) {
            std::optional<BusyCore> load;
            if (busy)
                load.emplace();
            double pause = 0;
            const std::vector<double> ticks = timeWindowTicks(page, rows, 1, &pause);
            std::printf("  %-22s fill tick %6.1f ms, longest 10 ms timer pause %6.1f ms (target: under 250 ms)\n",
                        busy ? "one core busy beside:" : "quiet machine:", ticks.empty() ? -1.0 : ticks[0], pause);
        }
        return 0;
    }

    const Filler linear = [](works::HarvestSlots &table, qint16 count) { return works::fillRows(table, count); };
    const Filler plain = literal::fillRows;

    // The linear sizes take turns, best of several rounds each, so that a
    // busy machine slows them alike; they run before the literal filler's
    // many allocations can leave the heap fragmented under them.
    const int sizes[3] = {1000, 4000, 20000};
    const QString pages[3] = {singerPage(sizes[0]), singerPage(sizes[1]), singerPage(sizes[2])};
    double linearAt[3] = {1e300, 1e300, 1e300};
    double literalAt[2] = {};
    for (int round = 0; round < 15; ++round) {
        for (int i = 0; i < 3; ++i)
            linearAt[i] = std::min(linearAt[i], timeFill(linear, pages[i], sizes[i]));
    }
    for (int i = 0; i < 2; ++i)
        literalAt[i] = timeFill(plain, pages[i], sizes[i]);

    std::printf("works  linear (ms)  literal (ms)\n");
    for (int i = 0; i < 3; ++i) {
        if (i < 2)
            std::printf("%5d  %11.2f  %12.1f\n", sizes[i], linearAt[i], literalAt[i]);
        else
            std::printf("%5d  %11.2f  %12s\n", sizes[i], linearAt[i], "-");
    }
    std::printf("literal / linear at 4000 works: %.0fx (target: at least 50x)\n", literalAt[1] / linearAt[1]);
    std::printf("linear growth 4000 -> 20000 works: %.2fx (5x is linear; target: within 6x)\n",
                linearAt[2] / linearAt[1]);

    std::printf("whole list-filling tick, 20000 works, list included, three harvests in a row:");
    for (const double tick : timeWindowTicks(pages[2], sizes[2], 3))
        std::printf(" %.1f ms", tick);
    std::printf(" (target: under 100 ms)\n");
    return 0;
}

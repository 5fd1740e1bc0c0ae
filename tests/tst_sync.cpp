#include "site/replicasite.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocale>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

#include <signal.h>

namespace {

struct Run final
{
    int exitCode = -1;
    QByteArray out, err;
};

// Answers in place of the replica where a case wants a misbehaving site.
using Fault = std::function<std::optional<HttpResponse>(const HttpRequest &)>;

// A desktop's notification service, counting what it is asked to show.
class FakeNotifications final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList bodies;
public slots:
    uint Notify(const QString &, uint, const QString &, const QString &, const QString &body, const QStringList &,
                const QVariantMap &, int)
    {
        bodies.append(body);
        return uint(bodies.size());
    }
};

} // namespace

// cantora-cli follow and sync, run as programs against the loopback replica.
class TestSync final : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void followAddListRemove();
    void syncFetchesOnlyNewWorksAndOutlivesAFailingSinger();
    void waitsAsLongAsTheSiteAsks_data();
    void waitsAsLongAsTheSiteAsks();
    void limitRateHoldsTheMeanRateOfTheWholeRun();
    void sleepRequestsSpacesEveryPageRequest();
    void aSingersNameNeverLeadsOutOfTheFolder_data();
    void aSingersNameNeverLeadsOutOfTheFolder();
    void everyDoorEndsTruthfully_data();
    void everyDoorEndsTruthfully();
    void runsAtOnceLoseNothing();
    void keepsAPlaylistPerSinger_data();
    void keepsAPlaylistPerSinger();
    void aSilentBusHoldsNothingUp_data();
    void aSilentBusHoldsNothingUp();

private:
    std::unique_ptr<QProcess> start(const QStringList &arguments);
    // With interruptMs, Ctrl-C comes that long after the start.
    Run finish(QProcess &process, int interruptMs = -1);
    Run cli(const QStringList &arguments, int interruptMs = -1);
    void serve(Fault fault = {});
    QString singer(int uid) const { return m_server->base() + QStringLiteral("/userPage.php?uid=%1").arg(uid); }
    QString home(const QString &name) const { return QDir(m_home->path()).filePath(name); }

    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<QTemporaryDir> m_home;
    QString m_bus = QStringLiteral("unix:path=/nonexistent/bus"); // no desktop unless a case starts one
    QString m_siteBase; // CANTORA_SITE_BASE of the runs; empty: the loopback replica
};

void TestSync::init()
{
    m_siteBase.clear();
    m_server = std::make_unique<LoopbackServer>();
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_server->start());
    serve();
}

void TestSync::serve(Fault fault)
{
    const HttpHandler site = replicaSite(QStringLiteral(CANTORA_SITE_ROOT));
    m_server->setHandler([site, fault](const HttpRequest &request) {
        if (fault) {
            if (std::optional<HttpResponse> answer = fault(request))
                return *answer;
        }
        return site(request);
    });
}

std::unique_ptr<QProcess> TestSync::start(const QStringList &arguments)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("CANTORA_SITE_BASE"), m_siteBase.isEmpty() ? m_server->base() : m_siteBase);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home(QStringLiteral("data")));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus);
    process->setProcessEnvironment(environment);
    process->start(QStringLiteral(CANTORA_CLI), arguments);
    return process;
}

// Spins the event loop while the program runs: a case's own D-Bus service answers meanwhile.
Run TestSync::finish(QProcess &process, int interruptMs)
{
    Run run;
    // One started beside others may be over already.
    if (!process.waitForStarted() && process.error() == QProcess::FailedToStart)
        return run;
    QDeadlineTimer deadline(60000);
    QDeadlineTimer interrupt(interruptMs < 0 ? QDeadlineTimer::Forever : QDeadlineTimer(interruptMs));
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QTest::qWait(10);
        if (interrupt.hasExpired()) {
            ::kill(pid_t(process.processId()), SIGINT);
            interrupt = QDeadlineTimer(QDeadlineTimer::Forever);
        }
    }
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

Run TestSync::cli(const QStringList &arguments, int interruptMs)
{
    return finish(*start(arguments), interruptMs);
}

void TestSync::followAddListRemove()
{
    const QString list = home(QStringLiteral("config/cantora-helper/following"));
    Run run = cli({QStringLiteral("follow"), QStringLiteral("add"), singer(1001), singer(1002)});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.contains("已关注 林小夏 (" + singer(1001).toUtf8() + ")\n"), run.err.constData());
    // A wrong address changes nothing, even beside a right one.
    QCOMPARE(
        cli({QStringLiteral("follow"), QStringLiteral("add"), singer(1005), QStringLiteral("http://h/s/1")}).exitCode,
        2);
    // The site has no such singer: refused.
    run = cli({QStringLiteral("follow"), QStringLiteral("add"), singer(1404)});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("歌手主页不存在 (服务器返回 HTTP 404)"), run.err.constData());
    // Other spellings of a followed singer, typed or in the file, are that singer.
    const QString loud = singer(1001).replace(QStringLiteral("http://"), QStringLiteral("HTTP://"));
    run = cli({QStringLiteral("follow"), QStringLiteral("add"), loud + QStringLiteral("&x=1#works")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.contains("already followed: " + singer(1001).toUtf8() + '\n'), run.err.constData());
    {
        QFile file(list);
        QVERIFY(file.open(QIODevice::Append));
        file.write(QString(loud).replace(QStringLiteral("1001"), QStringLiteral("1002")).toUtf8() + "&a=b#c\n");
        file.write("我的备注: 周五更新\n\xff\xfe note \x1b[2J\n");
    }
    run = cli({QStringLiteral("follow"), QStringLiteral("list")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(QString::fromUtf8(run.out),
             singer(1001) + QStringLiteral("\t林小夏\n") + singer(1002) + QStringLiteral("\t夏木\n"));
    QVERIFY2(run.err.contains("following:4:"), run.err.constData());
    QVERIFY2(run.err.contains(" note \\x1b[2J\n") && !run.err.contains('\x1b'), run.err.constData());

    QCOMPARE(cli({QStringLiteral("follow"), QStringLiteral("remove"), loud + QStringLiteral("#top")}).exitCode, 0);
    QCOMPARE(cli({QStringLiteral("follow"), QStringLiteral("remove"), singer(1001)}).exitCode, 1);
    QFile file(list);
    QVERIFY(file.open(QIODevice::ReadOnly));
    // The lines that name no singer survive the rewrite byte for byte.
    QCOMPARE(file.readAll(), singer(1002).toUtf8() + "  # 夏木\n我的备注: 周五更新\n\xff\xfe note \x1b[2J\n");
}

void TestSync::syncFetchesOnlyNewWorksAndOutlivesAFailingSinger()
{
    const QString bus = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (bus.isEmpty())
        QSKIP("dbus-daemon is not installed");
    QProcess daemon;
    daemon.start(bus, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    QVERIFY(daemon.waitForReadyRead(10000));
    m_bus = QString::fromUtf8(daemon.readLine()).trimmed();
    FakeNotifications notifications;
    {
        QDBusConnection connection = QDBusConnection::connectToBus(m_bus, QStringLiteral("desktop"));
        QVERIFY(connection.registerService(QStringLiteral("org.freedesktop.Notifications")));
        QVERIFY(connection.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &notifications,
                                          QDBusConnection::ExportAllSlots));
    }
    serve([](const HttpRequest &request) -> std::optional<HttpResponse> {
        if (request.query.queryItemValue(QStringLiteral("uid")) == QLatin1String("1099"))
            return HttpResponse::text(500, "<html>down</html>", "text/html");
        return std::nullopt;
    });
    QCOMPARE(cli({QStringLiteral("follow"), QStringLiteral("add"), singer(1099), singer(1001), singer(1002)}).exitCode,
             0);
    const QString music = home(QStringLiteral("Music"));
    const QStringList sync{QStringLiteral("sync"),      QStringLiteral("-o"), music,
                           QStringLiteral("--retries"), QStringLiteral("0"),  QStringLiteral("--notify")};

    Run run = cli(sync);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("uid=1099: "), run.err.constData());
    QStringList paths = QString::fromUtf8(run.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    paths.sort();
    const QStringList expected{
        music + QStringLiteral("/夏木/平凡之路 - 夏木.mp3"), music + QStringLiteral("/林小夏/后来 - 林小夏.mp3"),
        music + QStringLiteral("/林小夏/小幸运 - 林小夏.mp3"), music + QStringLiteral("/林小夏/晴天 - 林小夏.mp3")};
    QCOMPARE(paths, expected);
    for (const QString &path : expected)
        QVERIFY(QFileInfo(path).size() > 1000);
    QTRY_COMPARE(notifications.bodies.size(), 1);
    QVERIFY(notifications.bodies.first().contains(QStringLiteral("4 首")));
    QVERIFY(notifications.bodies.first().contains(QStringLiteral("\n1 位歌手同步失败 .. ") + singer(1099)));

    // Nothing new: one page per singer, no service question, no MP3, only the failure notified;
    // -v names every work skipped, and the summary the singer that failed.
    // A singer with nothing new gets no folder made again.
    QVERIFY(QDir(music + QStringLiteral("/夏木")).removeRecursively());
    const int before = m_server->requestCount();
    run = cli(QStringList{QStringLiteral("-v")} + sync);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.err.count("跳过 "), 4);
    QVERIFY2(run.err.contains("\n  " + singer(1099).toUtf8() + ": "), run.err.constData());
    QStringList asked;
    for (const HttpRequest &request : m_server->requests().mid(before))
        asked.append(request.path);
    QCOMPARE(asked, QStringList(3, QStringLiteral("/userPage.php")));
    QTRY_COMPARE(notifications.bodies.size(), 2);
    QVERIFY(notifications.bodies.last().startsWith(QStringLiteral("1 位歌手同步失败")));
    QVERIFY(!QDir(music + QStringLiteral("/夏木")).exists());
    // All well and nothing new: not a word.
    QCOMPARE(cli({QStringLiteral("follow"), QStringLiteral("remove"), singer(1099)}).exitCode, 0);
    QCOMPARE(cli(sync).exitCode, 0);
    QCOMPARE(notifications.bodies.size(), 2);
    daemon.kill();
    daemon.waitForFinished();
}

void TestSync::waitsAsLongAsTheSiteAsks_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("waitSeconds");
    QTest::addColumn<QString>("dateForm"); // how Retry-After is written: empty for seconds, else a date format

    const QString mp3 = QStringLiteral("/userdata/userwork/a109/5203109.mp3");
    const QString imf = QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'");
    QTest::newRow("429 on an MP3, in seconds") << mp3 << 429 << 2 << QString();
    QTest::newRow("503 on the singer page, as a date") << QStringLiteral("/userPage.php") << 503 << 3 << imf;
    QTest::newRow("429 on the play-address service")
        << QStringLiteral("/member/personcenter/loadplayurl.php") << 429 << 1 << QString();
    QTest::newRow("503 on the song page, RFC 850 date")
        << QStringLiteral("/s/5203109") << 503 << 2 << QStringLiteral("dddd, dd-MMM-yy HH:mm:ss 'GMT'");
    QTest::newRow("429 on the singer page, asctime date")
        << QStringLiteral("/userPage.php") << 429 << 2 << QStringLiteral("ddd MMM {d} HH:mm:ss yyyy");
    QTest::newRow("429 on an MP3, as a date") << mp3 << 429 << 2 << imf;
}

void TestSync::waitsAsLongAsTheSiteAsks()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    QFETCH(int, waitSeconds);
    QFETCH(QString, dateForm);
    const bool asDate = !dateForm.isEmpty();

    QCOMPARE(cli({QStringLiteral("follow"), QStringLiteral("add"), singer(1002)}).exitCode, 0);
    auto once = std::make_shared<QAtomicInt>(0);
    serve([=](const HttpRequest &request) -> std::optional<HttpResponse> {
        if (!request.path.endsWith(path) || !once->testAndSetRelaxed(0, 1))
            return std::nullopt;
        const QDateTime when = QDateTime::currentDateTimeUtc().addSecs(waitSeconds);
        // asctime pads the day with a blank: "Tue Dec  8 21:27:33 2026".
        const QString form =
            QString(dateForm).replace(QLatin1String("{d}"), QStringLiteral("%1").arg(when.date().day(), 2));
        const QByteArray after =
            asDate ? QLocale::c().toString(when, form).toLatin1() : QByteArray::number(waitSeconds);
        return HttpResponse::text(status, "slow down").withHeader("Retry-After", after);
    });
    const int before = m_server->requestCount();
    // No desktop here: the notification is skipped without a word.
    const Run run =
        cli({QStringLiteral("sync"), QStringLiteral("-o"), home(QStringLiteral("Music")), QStringLiteral("--notify")});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QVERIFY(QFile::exists(home(QStringLiteral("Music/夏木/平凡之路 - 夏木.mp3"))));

    QList<qint64> times;
    for (const HttpRequest &request : m_server->requests().mid(before)) {
        if (request.path.endsWith(path))
            times.append(request.receivedAtMs);
    }
    QCOMPARE(times.size(), 2);
    // A date is told in whole seconds: it may come up to one second early.
    const qint64 least = (asDate ? waitSeconds - 1 : waitSeconds) * 1000;
    QVERIFY2(times[1] - times[0] >= least, QByteArray::number(times[1] - times[0]).constData());
}

void TestSync::limitRateHoldsTheMeanRateOfTheWholeRun()
{
    // 林小夏's three works, larger, fetched two at a time under one limit.
    constexpr qint64 kSongBytes = 160 * 1024;
    constexpr qint64 kRate = 120 * 1024;
    serve([](const HttpRequest &request) -> std::optional<HttpResponse> {
        if (!request.path.endsWith(QLatin1String(".mp3")))
            return std::nullopt;
        QByteArray song = QByteArray::fromHex("fffb9064") + QByteArray(kSongBytes - 4, 'a');
        song.replace(8, request.path.size(), request.path.toUtf8());
        return rangedBody(request, song, "audio/mpeg");
    });
    QCOMPARE(cli({QStringLiteral("follow"), QStringLiteral("add"), singer(1001)}).exitCode, 0);
    const int before = m_server->requestCount();
    const Run run =
        cli({QStringLiteral("sync"), QStringLiteral("-o"), home(QStringLiteral("Music")), QStringLiteral("-j"),
             QStringLiteral("2"), QStringLiteral("--limit-rate"), QStringLiteral("120K")});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    qint64 firstSong = 0;
    for (const HttpRequest &request : m_server->requests().mid(before)) {
        if (!firstSong && request.path.endsWith(QLatin1String(".mp3")))
            firstSong = request.receivedAtMs;
    }
    // From the first request to the last byte written, whatever the program does before and after.
    qint64 lastByte = 0;
    for (const QString &line : QString::fromUtf8(run.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        lastByte = std::max(lastByte, QFileInfo(line).lastModified().toMSecsSinceEpoch());
    const double rate = 3.0 * kSongBytes * 1000.0 / double(lastByte - firstSong);
    QVERIFY2(rate > kRate * 0.9 && rate < kRate * 1.1, QByteArray::number(rate / 1024.0, 'f', 1).constData());
}

void TestSync::sleepRequestsSpacesEveryPageRequest()
{
    QCOMPARE(cli({QStringLiteral("follow"), QStringLiteral("add"), singer(1001)}).exitCode, 0);
    const int before = m_server->requestCount();
    const Run run = cli({QStringLiteral("sync"), QStringLiteral("-o"), home(QStringLiteral("Music")),
                         QStringLiteral("--sleep-requests"), QStringLiteral("0.25")});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QList<qint64> pages; // the singer page, then each work's service answer and song page
    for (const HttpRequest &request : m_server->requests().mid(before)) {
        if (!request.path.endsWith(QLatin1String(".mp3")) && !request.path.startsWith(QLatin1String("/img/")))
            pages.append(request.receivedAtMs);
    }
    QCOMPARE(pages.size(), 7);
    // Judged where they arrive: a request may reach the server a few ms late (a new connection, a new client).
    for (qsizetype i = 1; i < pages.size(); ++i)
        QVERIFY2(pages[i] - pages[i - 1] >= 225, QByteArray::number(pages[i] - pages[i - 1]).constData());
}

void TestSync::aSingersNameNeverLeadsOutOfTheFolder_data()
{
    QTest::addColumn<QByteArray>("heading"); // the singer page's name heading
    QTest::addColumn<QString>("folder");
    QTest::newRow("parent folders") << QByteArray("<h1 class=\"nickname\">../..</h1>") << QStringLiteral("_._..");
    QTest::newRow("a path") << QByteArray("<h1 class=\"nickname\">/etc/x\n</h1>") << QStringLiteral("_etc_x");
    QTest::newRow("the folder itself") << QByteArray("<h1 class=\"nickname\">.</h1>") << QStringLiteral("_");
    QTest::newRow("no name at all") << QByteArray() << QStringLiteral("uid 1002");
}

void TestSync::aSingersNameNeverLeadsOutOfTheFolder()
{
    QFETCH(QByteArray, heading);
    QFETCH(QString, folder);
    serve([heading](const HttpRequest &request) -> std::optional<HttpResponse> {
        if (request.path != QLatin1String("/userPage.php"))
            return std::nullopt;
        return HttpResponse::text(200, heading + "<li data-id=\"5203109\">x</li><a data-id=\"1002\">more</a>",
                                  "text/html; charset=utf-8");
    });
    QCOMPARE(cli({QStringLiteral("follow"), QStringLiteral("add"), singer(1002)}).exitCode, 0);
    const QString music = home(QStringLiteral("Music/deeper"));
    const Run run = cli({QStringLiteral("sync"), QStringLiteral("-o"), music});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(QString::fromUtf8(run.out), music + QLatin1Char('/') + folder + QStringLiteral("/平凡之路 - 夏木.mp3\n"));
}

void TestSync::everyDoorEndsTruthfully_data()
{
    QTest::addColumn<QStringList>("door");
    QTest::addColumn<bool>("siteInEnvironment");
    QTest::addColumn<QString>("faultyPath"); // answered as `fault` says
    QTest::addColumn<QString>("fault");      // "down": 500; "pause", "day", "aeon": a 429 asking that long; "trickle"
    QTest::addColumn<int>("interruptMs");    // Ctrl-C this long after the start; -1: none
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("errHas");
    QTest::addColumn<int>("files");

    const QStringList sync{QStringLiteral("sync")};
    const QStringList singer{QStringLiteral("download"), QStringLiteral("--singer"), QStringLiteral("{singer}")};
    const QString page = QStringLiteral("/userPage.php");
    const QString done = QStringLiteral("批量下载完成: 1 个成功, 0 个失败, 0 个跳过");
    QTest::newRow("sync, no site in the environment")
        << sync << false << QString() << QString() << -1 << 0 << done << 1;
    QTest::newRow("download --singer, no site in the environment")
        << singer << false << QString() << QString() << -1 << 0 << done << 1;
    QTest::newRow("sync, site down") << sync << true << page << QStringLiteral("down") << -1 << 1
                                     << QStringLiteral("批量下载完成: 0 个成功, 1 个失败, 0 个跳过") << 0;
    QTest::newRow("download --singer, site down") << singer << true << page << QStringLiteral("down") << -1 << 1
                                                  << QStringLiteral("批量下载完成: 0 个成功, 1 个失败, 0 个跳过") << 0;
    QTest::newRow("download --singer, a day's pause asked on the singer page")
        << singer << true << page << QStringLiteral("day") << -1 << 1 << QStringLiteral("服务器要求 ") << 0;
    QTest::newRow("sync, an aeon's pause asked on the MP3")
        << sync << true << QStringLiteral(".mp3") << QStringLiteral("aeon") << -1 << 1 << QStringLiteral("服务器要求 ")
        << 0;
    QTest::newRow("sync, a trickling singer page")
        << sync << true << page << QStringLiteral("trickle") << -1 << 1 << QStringLiteral("0 个成功, 1 个失败") << 0;
    QTest::newRow("sync stopped during a pause the site asked for")
        << QStringList{QStringLiteral("sync"), QStringLiteral("--retries"), QStringLiteral("3")} << true << page
        << QStringLiteral("pause") << 1500 << 130 << QStringLiteral("批量下载已停止: 0 个成功, 0 个失败, 0 个跳过")
        << 0;
    QTest::newRow("sync waiting out a pause says so")
        << QStringList{QStringLiteral("sync"), QStringLiteral("--retries"), QStringLiteral("3")} << true << page
        << QStringLiteral("pause") << 6000 << 130 << QStringLiteral("秒 (服务器要求稍后再试)") << 0;
}

// Whichever door a run goes through, each work is asked at its singer's own
// site, a failed or unanswerable page is a failure in the one summary, and a
// pause longer than the run waits fails at once.
void TestSync::everyDoorEndsTruthfully()
{
    QFETCH(QStringList, door);
    QFETCH(bool, siteInEnvironment);
    QFETCH(QString, faultyPath);
    QFETCH(QString, fault);
    QFETCH(int, interruptMs);
    QFETCH(int, exitCode);
    QFETCH(QString, errHas);
    QFETCH(int, files);
    serve([=](const HttpRequest &request) -> std::optional<HttpResponse> {
        if (faultyPath.isEmpty() || !request.path.endsWith(faultyPath))
            return std::nullopt;
        if (fault == QLatin1String("trickle")) {
            HttpResponse slow =
                HttpResponse::text(200, QByteArray(64, ' ') + "<li data-id=\"5203109\">x</li>", "text/html");
            slow.trickleBytes = 1;
            slow.trickleMs = 1500;
            return slow;
        }
        if (fault == QLatin1String("down"))
            return HttpResponse::text(500, "<html>down</html>", "text/html");
        return HttpResponse::text(429, "slow down")
            .withHeader("Retry-After", fault == QLatin1String("pause") ? "30"
                                       : fault == QLatin1String("day") ? "86400"
                                                                       : "1000000000");
    });
    QCOMPARE(cli({QStringLiteral("follow"), QStringLiteral("add"), singer(1002)}).exitCode, 0);
    if (!siteInEnvironment)
        m_siteBase = QStringLiteral("http://127.0.0.1:9"); // where nothing answers
    for (QString &word : door)
        word.replace(QLatin1String("{singer}"), singer(1002));
    const QString music = home(QStringLiteral("Music"));
    const int before = m_server->requestCount();
    if (!door.contains(QLatin1String("--retries")))
        door << QStringLiteral("--retries") << QStringLiteral("0");
    const Run run = cli(door + QStringList{QStringLiteral("-o"), music}, interruptMs);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(errHas.toUtf8()), run.err.constData());
    int saved = 0;
    for (QDirIterator it(music, {QStringLiteral("*.mp3")}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();
         it.next())
        ++saved;
    QCOMPARE(saved, files);
    // A pause beyond what the run waits is not waited for, nor asked again.
    if (fault == QLatin1String("day") || fault == QLatin1String("aeon")) {
        int asked = 0;
        for (const HttpRequest &request : m_server->requests().mid(before))
            asked += request.path.endsWith(faultyPath) ? 1 : 0;
        QCOMPARE(asked, 1);
    }
}

// The timer's sync, a terminal's sync and a terminal's batch over one folder,
// archive and list, after two follows at once.
void TestSync::runsAtOnceLoseNothing()
{
    auto songs = std::make_shared<QHash<QString, QByteArray>>();
    auto lock = std::make_shared<QMutex>();
    serve([songs, lock, site = replicaSite(QStringLiteral(CANTORA_SITE_ROOT))](
              const HttpRequest &request) -> std::optional<HttpResponse> {
        HttpResponse answer = site(request);
        if (request.path == QLatin1String("/userPage.php"))
            answer.delayMs = 500; // both follows have read the list before either writes it
        if (!request.path.endsWith(QLatin1String(".mp3")))
            return answer;
        answer.trickleBytes = 4096; // long enough for the runs to meet
        answer.trickleMs = 40;
        HttpRequest whole = request;
        whole.headers.clear();
        const QMutexLocker locked(lock.get());
        songs->insert(request.path, site(whole).body);
        return answer;
    });
    auto first = start({QStringLiteral("follow"), QStringLiteral("add"), singer(1001)});
    auto second = start({QStringLiteral("follow"), QStringLiteral("add"), singer(1002)});
    QCOMPARE(finish(*first).exitCode, 0);
    QCOMPARE(finish(*second).exitCode, 0);
    QCOMPARE(cli({QStringLiteral("follow"), QStringLiteral("list")}).out.count('\n'), 2);

    const QString music = home(QStringLiteral("Music"));
    auto sync = start({QStringLiteral("sync"), QStringLiteral("-o"), music});
    QVERIFY(QTest::qWaitFor(
        [&] {
            const QMutexLocker locked(lock.get());
            return !songs->isEmpty();
        },
        30000));
    auto again = start({QStringLiteral("sync"), QStringLiteral("-o"), music});
    auto batch =
        start({QStringLiteral("download"), QStringLiteral("-v"), QStringLiteral("-o"),
               music + QStringLiteral("/林小夏"), QStringLiteral("--archive"),
               home(QStringLiteral("data/cantora-helper/archive.txt")), QStringLiteral("--singer"), singer(1001)});
    const Run refused = finish(*again);
    QCOMPARE(refused.exitCode, 0);
    QVERIFY2(refused.err.contains("已有同步正在进行"), refused.err.constData());
    const Run batchRun = finish(*batch);
    QVERIFY2(batchRun.exitCode == 0, batchRun.err.constData());
    qInfo().noquote() << "the batch beside the sync:" << batchRun.err; // which works met, and how
    const Run syncRun = finish(*sync);
    QVERIFY2(syncRun.exitCode == 0, syncRun.err.constData());

    // Every work once, whole, under its own name; the archive names each once.
    const QMutexLocker locked(lock.get());
    QStringList saved;
    QDirIterator files(music, {QStringLiteral("*.mp3*")}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY2(std::find(songs->cbegin(), songs->cend(), bytes) != songs->cend(), qPrintable(file.fileName()));
        saved.append(QDir(music).relativeFilePath(file.fileName()));
    }
    saved.sort();
    QCOMPARE(saved,
             (QStringList{QStringLiteral("夏木/平凡之路 - 夏木.mp3"), QStringLiteral("林小夏/后来 - 林小夏.mp3"),
                          QStringLiteral("林小夏/小幸运 - 林小夏.mp3"), QStringLiteral("林小夏/晴天 - 林小夏.mp3")}));
    QFile archive(home(QStringLiteral("data/cantora-helper/archive.txt")));
    QVERIFY(archive.open(QIODevice::ReadOnly));
    QStringList ids = QString::fromUtf8(archive.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(ids.size(), 4);
    ids.removeDuplicates();
    QCOMPARE(ids.size(), 4);
}

void TestSync::keepsAPlaylistPerSinger_data()
{
    QTest::addColumn<QStringList>("arguments"); // then -o {music} --archive {music}/a.txt
    QTest::addColumn<QString>("playlist");      // under {music}
    QTest::newRow("sync") << QStringList{"sync"} << QStringLiteral("林小夏/林小夏.m3u8");
    QTest::newRow("download --singer --playlist")
        << QStringList{"download", "--playlist", "--singer", "{singer}"} << QStringLiteral("林小夏.m3u8");
}

// Newest first as the page lists them, paths relative to the playlist; a rerun changes nothing.
void TestSync::keepsAPlaylistPerSinger()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, playlist);
    const QString music = home(QStringLiteral("Music"));
    arguments.replaceInStrings(QStringLiteral("{singer}"), singer(1001));
    arguments << QStringLiteral("-o") << music << QStringLiteral("--archive") << home(QStringLiteral("a.txt"));
    QCOMPARE(cli({QStringLiteral("follow"), QStringLiteral("add"), singer(1001)}).exitCode, 0);
    const QString expected = QStringLiteral("#EXTM3U\n#EXTINF:-1,林小夏 - 晴天\n晴天 - 林小夏.mp3\n"
                                            "#EXTINF:-1,林小夏 - 小幸运\n小幸运 - 林小夏.mp3\n"
                                            "#EXTINF:-1,林小夏 - 后来\n后来 - 林小夏.mp3\n");
    for (int run = 0; run < 2; ++run) {
        QCOMPARE(cli(arguments).exitCode, 0);
        QFile file(QDir(music).filePath(playlist));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), expected);
    }
}

void TestSync::aSilentBusHoldsNothingUp_data()
{
    QTest::addColumn<bool>("terminate"); // SIGTERM once the bus is being connected to
    QTest::newRow("waits a few seconds at most") << false;
    QTest::newRow("a signal ends it at once") << true;
}

// A session bus that takes the connection and never speaks.
void TestSync::aSilentBusHoldsNothingUp()
{
    QFETCH(bool, terminate);
    QLocalServer bus;
    QVERIFY(bus.listen(home(QStringLiteral("bus"))));
    m_bus = QStringLiteral("unix:path=") + bus.fullServerName();
    QCOMPARE(cli({QStringLiteral("follow"), QStringLiteral("add"), singer(1002)}).exitCode, 0);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus);
    environment.insert(QStringLiteral("CANTORA_SITE_BASE"), m_server->base());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home(QStringLiteral("data")));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(CANTORA_CLI), {QStringLiteral("sync"), QStringLiteral("-o"),
                                                home(QStringLiteral("Music")), QStringLiteral("--notify")});
    QTRY_VERIFY_WITH_TIMEOUT(bus.hasPendingConnections(), 30000);
    QElapsedTimer clock;
    clock.start();
    if (terminate)
        process.terminate();
    QVERIFY(process.waitForFinished(15000));
    // A signal does not wait out the notification's limit of 4 s; without one the limit holds.
    QVERIFY2(clock.elapsed() < (terminate ? 3500 : 8000), QByteArray::number(clock.elapsed()).constData());
    QCOMPARE(process.exitCode(), terminate ? 143 : 0);
    QVERIFY(QFile::exists(home(QStringLiteral("Music/夏木/平凡之路 - 夏木.mp3"))));
}

QTEST_GUILESS_MAIN(TestSync)
#include "tst_sync.moc"

#include "app/controls.h"
#include "app/downloadpanel.h"
#include "app/form1.h"
#include "app/mprisplayer.h"
#include "app/qtmediadevice.h"
#include "app/songpanel.h"
#include "player/mciinterpreter.h"
#include "player/playback.h"
#include "site/httpserver.h"
#include "site/replicasite.h"
#include "support/fakes.h"
#include "support/faults.h"
#include "support/privatebus.h"
#include "support/songpages.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kPlaying = QStringLiteral("正在进行在线试播放..");
const QString kParseFirst = QStringLiteral("请先进行解析..");
const QString kRebuilt = QStringLiteral("为您重新解析后,正在进行在线试播放..");

QStringList playCommands(const QString &address, int volume)
{
    return {QStringLiteral("close OpenFile"),
            QStringLiteral("open ") + address + QStringLiteral(" alias OpenFile type MPEGVideo"),
            QStringLiteral("play OpenFile"), QStringLiteral("setaudio OpenFile volume to %1").arg(volume)};
}

const QString kMprisRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kMprisPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// The desktop's side of the player: calls over a bus connection of its own,
// answered while the test waits, and the changes the player announced.
class Desktop final : public QObject
{
    Q_OBJECT
public:
    Desktop(const QString &address, const QString &player)
        : m_bus(QDBusConnection::connectToBus(address, QStringLiteral("desktop")))
        , m_player(player)
    {
        m_bus.connect(player, MprisPlayer::kObjectPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                      SLOT(note(QDBusMessage)));
    }
    ~Desktop() override { QDBusConnection::disconnectFromBus(QStringLiteral("desktop")); }

    QDBusMessage call(const QString &interface, const QString &method, const QVariantList &arguments = {})
    {
        QDBusMessage call = QDBusMessage::createMethodCall(m_player, MprisPlayer::kObjectPath, interface, method);
        call.setArguments(arguments);
        const QDBusPendingCall pending = m_bus.asyncCall(call, 10000);
        return QTest::qWaitFor([&pending] { return pending.isFinished(); }, 12000) ? pending.reply() : QDBusMessage();
    }
    QVariant get(const QString &interface, const QString &name)
    {
        return call(kProperties, QStringLiteral("Get"), {interface, name})
            .arguments()
            .value(0)
            .value<QDBusVariant>()
            .variant();
    }
    // The latest announced value of each player property.
    QVariantMap announced;

public slots:
    void note(const QDBusMessage &message)
    {
        const QVariantMap changed = qdbus_cast<QVariantMap>(message.arguments().value(1));
        for (auto it = changed.cbegin(); it != changed.cend(); ++it)
            announced.insert(it.key(), it.value());
    }

private:
    QDBusConnection m_bus;
    QString m_player;
};

QVariantMap asMap(const QVariant &value)
{
    return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
}

} // namespace

class TestPlayback final : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void serverNumber_data();
    void serverNumber();

    void playButtonNeedsAWork();
    void playButtonToggles();
    void reResolveRebuildsTheAddress_data();
    void reResolveRebuildsTheAddress();
    void reResolveTwiceUsesTheRebuiltAddress();
    void reResolveWithoutAddressChangesNothing();
    void sliderSetsTheVolume();
    void failedStreamCanBePlayedAgain();
    void desktopControlsThePlayer();
    void playbackFailureIsShown_data();
    void playbackFailureIsShown();

    void streamsFromTheSite();
    void playsAgainOnTheSamePlayer();

private:
    // A window that has looked up a work whose audio lies at `audioPath` (an
    // `audioPage` there when given); an empty path: nothing looked up.
    std::unique_ptr<Form1> lookedUp(const QString &audioPath, const QString &audioHostTemplate = QString(),
                                    std::optional<Platform> platform = std::nullopt,
                                    const QByteArray &audioPage = QByteArray());

    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<QTemporaryDir> m_folder;
    FakePlatform m_fakes;
};

void TestPlayback::initTestCase()
{
    // No sound server wherever the suite runs; the media stack still plays into nothing.
    qputenv("PULSE_SERVER", "unix:/nonexistent");
}

void TestPlayback::init()
{
    m_server = std::make_unique<LoopbackServer>();
    QVERIFY(m_server->start());
    m_folder = std::make_unique<QTemporaryDir>();
}

void TestPlayback::cleanup()
{
    m_server.reset();
    m_folder.reset();
}

std::unique_ptr<Form1> TestPlayback::lookedUp(const QString &audioPath, const QString &audioHostTemplate,
                                              std::optional<Platform> platform, const QByteArray &audioPage)
{
    SongSite site;
    SongPage song;
    song.audioPath = audioPath;
    site.page(QStringLiteral("1"), song);
    site.file(QStringLiteral("/version/main.txt"), "kw:V3.3|", "text/plain");
    if (!audioPage.isEmpty())
        site.file(audioPath, audioPage, "text/html");
    m_server->setHandler(site.handler(m_server->base()));
    AppConfig config = testConfig(m_server->base(), m_folder->path());
    if (!audioHostTemplate.isEmpty())
        config.audioHostTemplate = audioHostTemplate;
    auto window = std::make_unique<Form1>(config, platform ? std::move(*platform) : m_fakes.make());
    if (!loadAndWait(*window))
        qWarning("the update check did not answer");
    if (!audioPath.isEmpty()) {
        window->Text1->setText(m_server->base() + QStringLiteral("/s/1"));
        if (!lookUpAndWait(*window, window->Text1->text()))
            qWarning("the lookup did not end");
    }
    if (m_fakes.mci)
        m_fakes.mci->commands.clear();
    return window;
}

void TestPlayback::serverNumber_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("number");
    QTest::newRow("a123") << "http://h/userdata/userwork/a123/1.mp3"
                          << "15";
    QTest::newRow("123") << "http://h/userdata/userwork/123/1.mp3"
                         << "15";
    QTest::newRow("no number") << "http://h/userdata/userwork/abc/1.mp3"
                               << "-108";
    QTest::newRow("upper-case A stays") << "http://h/userdata/userwork/A123/1.mp3"
                                        << "-108";
    QTest::newRow("a inside the number") << "http://h/userdata/userwork/1a09/1.mp3"
                                         << "1";
    QTest::newRow("fraction") << "http://h/userdata/userwork/a110.5x/1.mp3"
                              << "2.5";
    QTest::newRow("leading blanks") << "http://h/userdata/userwork/  a120/1.mp3"
                                    << "12";
    QTest::newRow("exactly five slashes") << "http://h/u/w/a109"
                                          << "1";
    QTest::newRow("four slashes") << "http://h/u/a109"
                                  << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestPlayback::serverNumber()
{
    QFETCH(QString, address);
    QTEST(playback::serverNumber(address), "number");
}

void TestPlayback::playButtonNeedsAWork()
{
    auto window = lookedUp({});
    window->Command7->click();
    QCOMPARE(window->status(), kParseFirst);
    QCOMPARE(window->Command7->text(), QStringLiteral("在线播放"));
    QVERIFY(m_fakes.mci->commands.isEmpty());
}

void TestPlayback::playButtonToggles()
{
    auto window = lookedUp(QStringLiteral("/userdata/userwork/a109/5200109.mp3"));
    const QString address = window->songRecord().audioAddress;
    window->Slider1->setValue(700);
    m_fakes.mci->commands.clear();

    window->Command7->click();
    QCOMPARE(window->Command7->text(), QStringLiteral("停止播放"));
    QCOMPARE(window->status(), kPlaying);
    QCOMPARE(m_fakes.mci->commands, playCommands(address, 700));

    window->setStatus(QStringLiteral("x"));
    window->Command7->click();
    QCOMPARE(window->Command7->text(), QStringLiteral("在线播放"));
    QCOMPARE(m_fakes.mci->commands.constLast(), QStringLiteral("close all"));
    QCOMPARE(window->status(), QStringLiteral("x"));
}

void TestPlayback::reResolveRebuildsTheAddress_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("hostTemplate"); // empty: the test site's
    QTest::addColumn<QString>("expected");
    QTest::newRow("a123") << "a123"
                          << ""
                          << "http://127.0.0.15:1/userdata/userwork/109/5200109.mp3";
    QTest::newRow("123") << "123"
                         << ""
                         << "http://127.0.0.15:1/userdata/userwork/109/5200109.mp3";
    QTest::newRow("no number") << "xyz"
                               << ""
                               << "http://127.0.0.-108:1/userdata/userwork/109/5200109.mp3";
    QTest::newRow("host template with its scheme") << "a123"
                                                   << "https://m%1.example"
                                                   << "https://m15.example/userdata/userwork/109/5200109.mp3";
}

void TestPlayback::reResolveRebuildsTheAddress()
{
    QFETCH(QString, folder);
    QFETCH(QString, hostTemplate);
    QFETCH(QString, expected);
    auto window = lookedUp(QStringLiteral("/userdata/userwork/%1/5200109.mp3").arg(folder), hostTemplate);
    window->Command16->click();
    QCOMPARE(window->songRecord().audioAddress, expected);
    QCOMPARE(m_fakes.mci->commands, playCommands(expected, 1000));
    QCOMPARE(window->Command7->text(), QStringLiteral("停止播放"));
    QCOMPARE(window->status(), kRebuilt);
}

void TestPlayback::reResolveTwiceUsesTheRebuiltAddress()
{
    auto window = lookedUp(QStringLiteral("/userdata/userwork/a123/1234567.mp3"));
    window->Command16->click();
    QCOMPARE(window->songRecord().audioAddress,
             QStringLiteral("http://127.0.0.15:1/userdata/userwork/567/1234567.mp3"));
    // Now the folder is the id's last three digits: 567 - 108 = 459.
    window->Command16->click();
    QCOMPARE(window->songRecord().audioAddress,
             QStringLiteral("http://127.0.0.459:1/userdata/userwork/567/1234567.mp3"));
    // Stopping and playing again plays the rebuilt address.
    window->Command7->click();
    window->Command7->click();
    QCOMPARE(m_fakes.mci->commands.mid(m_fakes.mci->commands.size() - 4),
             playCommands(window->songRecord().audioAddress, 1000));
}

void TestPlayback::reResolveWithoutAddressChangesNothing()
{
    auto window = lookedUp({});
    window->Command16->click();
    QCOMPARE(window->status(), kParseFirst);
    QCOMPARE(window->Command7->text(), QStringLiteral("在线播放"));
    QVERIFY(window->songRecord().audioAddress.isEmpty());
    QVERIFY(m_fakes.mci->commands.isEmpty());
}

void TestPlayback::sliderSetsTheVolume()
{
    auto window = lookedUp({});
    // Start-up put the slider at full volume without telling the player.
    QCOMPARE(window->Slider1->value(), 1000);
    QVERIFY(m_fakes.mci->commands.isEmpty());
    window->Slider1->triggerAction(QAbstractSlider::SliderToMinimum);
    window->Slider1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(m_fakes.mci->commands, (QStringList{QStringLiteral("setaudio OpenFile volume to 0"),
                                                 QStringLiteral("setaudio OpenFile volume to 1")}));
}

void TestPlayback::failedStreamCanBePlayedAgain()
{
    auto window = lookedUp(QStringLiteral("/userdata/userwork/a109/5200109.mp3"));
    window->Command7->click();
    m_fakes.mci->fail({StreamTrouble::Failed, QStringLiteral("Resource not found")});
    QCOMPARE(window->Command7->text(), QStringLiteral("在线播放"));
    QCOMPARE(window->status(), QStringLiteral("无法播放: 播放器出错,请稍后再试.."));
    QCOMPARE(window->statusCause(), QStringLiteral("Resource not found"));
    // The next press plays again rather than stopping.
    m_fakes.mci->commands.clear();
    window->Command7->click();
    QCOMPARE(m_fakes.mci->commands, playCommands(window->songRecord().audioAddress, 1000));
    QCOMPARE(window->status(), kPlaying);
    QVERIFY(window->statusCause().isEmpty());
}

// The media keys and the desktop's media controls, over a bus of the test's own.
void TestPlayback::desktopControlsThePlayer()
{
    const PrivateBus bus;
    if (bus.address().isEmpty())
        QSKIP("dbus-daemon cannot be started");
    auto window = lookedUp(QStringLiteral("/userdata/userwork/a109/5200109.mp3"));
    const QString pageAddress = m_server->base() + QStringLiteral("/s/1");
    auto *player = new MprisPlayer(*window, QDBusConnection::connectToBus(bus.address(), QStringLiteral("window")));
    QCOMPARE(player->busName(), QStringLiteral("org.mpris.MediaPlayer2.cantora_helper"));
    Desktop desktop(bus.address(), player->busName());

    QCOMPARE(desktop.get(kMprisRoot, QStringLiteral("Identity")).toString(), QStringLiteral("Cantora辅助工具"));
    QCOMPARE(desktop.get(kMprisRoot, QStringLiteral("DesktopEntry")).toString(),
             QStringLiteral("io.github.cantora_helper.CantoraHelper"));
    QCOMPARE(desktop.get(kMprisPlayer, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    QCOMPARE(asMap(desktop.get(kMprisPlayer, QStringLiteral("Metadata")))
                 .value(QStringLiteral("mpris:trackid"))
                 .value<QDBusObjectPath>()
                 .path(),
             QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));

    // The play key presses the play button; the work is announced as it plays.
    desktop.call(kMprisPlayer, QStringLiteral("PlayPause"));
    QTRY_COMPARE(desktop.announced.value(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));
    QCOMPARE(window->Command7->text(), QStringLiteral("停止播放"));
    QCOMPARE(m_fakes.mci->commands, playCommands(window->songRecord().audioAddress, 1000));
    const QVariantMap playing = asMap(desktop.announced.value(QStringLiteral("Metadata")));
    QCOMPARE(playing.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("晴天"));
    QCOMPARE(playing.value(QStringLiteral("xesam:artist")).toStringList(), QStringList{QStringLiteral("林小夏")});
    QCOMPARE(playing.value(QStringLiteral("xesam:url")).toString(), pageAddress);
    QCOMPARE(playing.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(),
             QStringLiteral("/io/github/cantora_helper/CantoraHelper/work/5200109"));
    const QString art = QUrl(playing.value(QStringLiteral("mpris:artUrl")).toString()).toLocalFile();
    QCOMPARE(QImage(art).size(), window->Image1->picture().size());
    QCOMPARE(asMap(desktop.get(kMprisPlayer, QStringLiteral("Metadata"))), playing);

    // The volume both ways.
    desktop.call(kProperties, QStringLiteral("Set"),
                 {kMprisPlayer, QStringLiteral("Volume"), QVariant::fromValue(QDBusVariant(0.25))});
    QTRY_COMPARE(window->Slider1->value(), 250);
    QCOMPARE(m_fakes.mci->commands.constLast(), QStringLiteral("setaudio OpenFile volume to 250"));
    window->Slider1->setValue(700);
    QTRY_COMPARE(desktop.announced.value(QStringLiteral("Volume")).toDouble(), 0.7);

    // A stream that fails is announced as stopped; Stop then leaves it so,
    // Play plays, Pause stops.
    m_fakes.mci->fail({StreamTrouble::Failed, QStringLiteral("Resource not found")});
    QTRY_COMPARE(desktop.announced.value(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    desktop.call(kMprisPlayer, QStringLiteral("Stop"));
    desktop.call(kMprisPlayer, QStringLiteral("Play"));
    QTRY_COMPARE(desktop.announced.value(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));
    desktop.call(kMprisPlayer, QStringLiteral("Pause"));
    QTRY_COMPARE(desktop.announced.value(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    QCOMPARE(m_fakes.mci->commands.constLast(), QStringLiteral("close all"));

    // Quit closes the window as the system would; its picture goes with it.
    window->show();
    desktop.call(kMprisRoot, QStringLiteral("Quit"));
    QTRY_VERIFY(!window->isVisible());
    window.reset();
    QVERIFY(!QFile::exists(art));
    QDBusConnection::disconnectFromBus(QStringLiteral("window"));
}

void TestPlayback::playbackFailureIsShown_data()
{
    QTest::addColumn<QString>("device"); // "fake"; "none": no sound module; "real", where the system has no output
    QTest::addColumn<int>("trouble");    // what the fake reports on play; -1: nothing, it just stands still
    QTest::addColumn<QString>("audio");  // "": as the page names it, unserved; "page": served as a web page; "refused"
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("cause"); // a part of the tool tip
    const int failed = int(StreamTrouble::Failed);
    const QString noOutput = QStringLiteral("无法播放: 没有可用的音频输出..");
    QTest::newRow("no sound module") << "none" << failed << "" << noOutput << "声音模块";
    QTest::newRow("no audio output") << "fake" << int(StreamTrouble::NoOutput) << "" << noOutput << "";
    QTest::newRow("no sound server, real device") << "real" << failed << "" << noOutput << "声音服务";
    QTest::newRow("HTTP 404") << "fake" << failed << ""
                              << "无法播放: 作品不存在或已被删除.."
                              << "HTTP 404";
    QTest::newRow("connection refused") << "fake" << failed << "refused"
                                        << "无法播放: 网络连接失败,请您检查网络后再试.."
                                        << "拒绝";
    QTest::newRow("a web page") << "fake" << failed << "page"
                                << "无法播放: 音频数据无法识别.."
                                << "网页";
    QTest::newRow("stands still") << "fake" << -1 << ""
                                  << "无法播放: 音频数据中断,请稍后再试.."
                                  << "5 秒";
}

// Through the real interpreter: whatever stops the stream, it ends within
// five seconds, the button plays again and the status line says why.
void TestPlayback::playbackFailureIsShown()
{
    QFETCH(QString, device);
    QFETCH(int, trouble);
    QFETCH(QString, audio);
    QFETCH(QString, text);
    QFETCH(QString, cause);
    if (device == QLatin1String("real") && QtMediaDevice::systemHasOutput())
        QSKIP("this machine has a sound output without a sound server");
    FakeSound sound;
    sound.advances = trouble >= 0;
    if (trouble >= 0)
        sound.failOnPlay = StreamFailure{StreamTrouble(trouble), QStringLiteral("the player's words")};
    Platform platform = m_fakes.make(sound);
    if (device != QLatin1String("fake")) {
        platform.mci = std::make_unique<MciInterpreter>(
            device == QLatin1String("real")
                ? MciInterpreter::DeviceFactory([] { return std::make_unique<QtMediaDevice>(); })
                : nullptr);
        m_fakes.player = static_cast<MciInterpreter *>(platform.mci.get());
    }
    const QString path = QStringLiteral("/userdata/userwork/a109/5200109.mp3");
    auto window =
        lookedUp(path, {}, std::move(platform),
                 audio == QLatin1String("page") ? QByteArray("<html><body>登录</body></html>") : QByteArray());
    if (audio == QLatin1String("refused"))
        window->songRecord().audioAddress = refusedBase() + path;

    QElapsedTimer clock;
    clock.start();
    window->Command7->click();
    QCOMPARE(window->Command7->text(), QStringLiteral("停止播放"));
    QTRY_COMPARE_WITH_TIMEOUT(window->Command7->text(), QStringLiteral("在线播放"), 8000);
    QVERIFY2(clock.elapsed() < 5000 + 1500, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(window->status(), text);
    QVERIFY2(window->statusCause().contains(cause), qPrintable(window->statusCause()));
    QVERIFY(!m_fakes.player->isOpen());
}

void TestPlayback::streamsFromTheSite()
{
    m_server->setHandler(replicaSite(QStringLiteral(CANTORA_SITE_ROOT)));
    QMediaPlayer *player = nullptr;
    MciInterpreter mci([&player] {
        auto device = std::make_unique<QtMediaDevice>([] { return true; });
        player = device->player();
        return device;
    });
    // A busy machine may take its time to get a stream going.
    mci.setStallLimit(60000);
    const QString address = m_server->base() + QStringLiteral("/userdata/userwork/a109/5200109.mp3");
    for (const QString &command : playCommands(address, 1000))
        mci.sendString(command);

    QTRY_VERIFY_WITH_TIMEOUT(m_server->requestCount() > 0, 10000);
    QCOMPARE(m_server->requests().constFirst().path, QStringLiteral("/userdata/userwork/a109/5200109.mp3"));
    QVERIFY(player);
    QTRY_COMPARE_WITH_TIMEOUT(player->playbackState(), QMediaPlayer::PlayingState, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(player->position() > 0, 10000);

    QCOMPARE(mci.sendString(QStringLiteral("close all")), 0);
    QVERIFY(!mci.isOpen());
}

// A closed healthy stream hands its player on; a broken one does not, and the
// next stream plays either way.
void TestPlayback::playsAgainOnTheSamePlayer()
{
    m_server->setHandler(replicaSite(QStringLiteral(CANTORA_SITE_ROOT)));
    QMediaPlayer *player = nullptr;
    MciInterpreter mci([&player] {
        auto device = std::make_unique<QtMediaDevice>([] { return true; });
        player = device->player();
        return device;
    });
    mci.setStallLimit(60000);
    const auto playFrom = [&](const QString &path) {
        for (const QString &command : playCommands(m_server->base() + path, 1000))
            mci.sendString(command);
    };
    const QString song = QStringLiteral("/userdata/userwork/a109/5200109.mp3");
    QStringList failures;
    mci.setFailureHandler([&failures](const StreamFailure &failure) { failures << failure.cause; });

    playFrom(song);
    QTRY_VERIFY_WITH_TIMEOUT(player->position() > 0, 10000);
    QMediaPlayer *first = player;
    QCOMPARE(mci.sendString(QStringLiteral("close all")), 0);

    playFrom(QStringLiteral("/userdata/userwork/a109/5201109.mp3"));
    QCOMPARE(player, first);
    QTRY_VERIFY_WITH_TIMEOUT(player->position() > 0, 10000);
    QCOMPARE(player->source().path(), QStringLiteral("/userdata/userwork/a109/5201109.mp3"));

    // A stream that fails is closed at once, and its player not handed on;
    // the next one still plays.
    playFrom(QStringLiteral("/missing.mp3"));
    const QPointer<QMediaPlayer> broken = player;
    QTRY_COMPARE_WITH_TIMEOUT(failures.size(), 1, 10000);
    QTRY_VERIFY(broken.isNull());
    QVERIFY(!mci.isOpen());
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(mci.sendString(QStringLiteral("close all")), 0);
    QVERIFY(clock.elapsed() < 500);
    playFrom(song);
    QTRY_VERIFY_WITH_TIMEOUT(player->position() > 0, 10000);

    // A stream replaced before its failure came says nothing about the next.
    playFrom(QStringLiteral("/missing.mp3"));
    playFrom(song);
    QTRY_VERIFY_WITH_TIMEOUT(player->position() > 0, 10000);
    QCOMPARE(failures.size(), 1);
    mci.sendString(QStringLiteral("close all"));
}

QTEST_MAIN(TestPlayback)
#include "tst_playback.moc"

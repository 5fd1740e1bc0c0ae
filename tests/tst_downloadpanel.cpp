#include "app/controls.h"
#include "app/downloadpanel.h"
#include "app/form1.h"
#include "app/modulelibrary.h"
#include "app/songpanel.h"
#include "download/cls_download.h"
#include "download/filename.h"
#include "site/httpserver.h"
#include "support/fakes.h"
#include "support/songpages.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <functional>

#include <sys/file.h>

namespace {

const QString kStart = QStringLiteral("开始下载");
const QString kStop = QStringLiteral("停止下载");
const QString kDone = QStringLiteral("音乐下载完成");
const QString kNotParsed = QStringLiteral("请先进行解析..");
const QString kAudioPath = QStringLiteral("/userdata/userwork/a109/5200109.mp3");

QByteArray patterned(int size)
{
    QByteArray body(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        body[i] = static_cast<char>((i * 13 + i / 509) & 0xff);
    return body;
}

QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

using AudioAnswer = std::function<HttpResponse(const HttpRequest &)>;

AudioAnswer plainAudio(const QByteArray &body)
{
    return [body](const HttpRequest &) { return HttpResponse::text(200, body, "audio/mpeg"); };
}

} // namespace

class TestDownloadPanel final : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void buttonsAskForAParseFirst();
    void downloadButtonOpensTheCentredPanel();
    void defaultFileNameIsSafe_data();
    void defaultFileNameIsSafe();
    void saveDialogChangesThePath();
    void startWithoutPathWarns();
    void completeDownloadShowsTheFile();
    void progressBarFollowsTheBlocks_data();
    void progressBarFollowsTheBlocks();
    void failureKeepsItsMessage_data();
    void failureKeepsItsMessage();
    void confirmedStopKeepsThePartialFile();
    void declinedStopLetsTheTransferFinish();
    void abortedTransferDoesNotStopTheNextOne();
    void copyButtonCopiesTheAudioAddress();
    void closeGlyphHidesThePanel();
    void onlyModulesOfThisBuildAreCalled_data();
    void onlyModulesOfThisBuildAreCalled();

private:
    // A window that has looked up `song`; its audio is answered as serveAudio() said.
    std::unique_ptr<Form1> lookedUpWindow(const SongPage &song = SongPage());
    void serveAudio(AudioAnswer audio);
    // Presses the start button; returns the status line after each status.
    QStringList download(Form1 &window);
    int audioRequests() const;
    QString musicFolder() const { return m_folder->filePath(QStringLiteral("Music")); }

    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<QTemporaryDir> m_folder;
    FakePlatform m_fakes;
    SongSite m_site;
    AudioAnswer m_audio;
};

void TestDownloadPanel::init()
{
    m_server = std::make_unique<LoopbackServer>();
    QVERIFY(m_server->start());
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_site = SongSite();
    m_site.file(QStringLiteral("/version/main.txt"), "kw:V3.3|", "text/plain");
    serveAudio(plainAudio(patterned(1536)));
}

void TestDownloadPanel::cleanup()
{
    m_server.reset();
    m_folder.reset();
}

void TestDownloadPanel::serveAudio(AudioAnswer audio)
{
    m_audio = audio;
    const HttpHandler site = m_site.handler(m_server->base());
    m_server->setHandler([site, audio](const HttpRequest &request) {
        return request.path == kAudioPath ? audio(request) : site(request);
    });
}

std::unique_ptr<Form1> TestDownloadPanel::lookedUpWindow(const SongPage &song)
{
    m_site.page(QStringLiteral("5200109"), song);
    serveAudio(m_audio);
    AppConfig config = testConfig(m_server->base(), m_folder->path());
    auto window = std::make_unique<Form1>(config, m_fakes.make());
    window->downloadPanel().DownloadTimeOut = 400;
    if (!loadAndWait(*window))
        qWarning("the update check did not answer");
    if (!song.audioPath.isEmpty()) {
        window->Text1->setText(m_server->base() + QStringLiteral("/s/5200109"));
        if (!lookUpAndWait(*window, window->Text1->text()))
            qWarning("the lookup did not end");
    }
    return window;
}

int TestDownloadPanel::audioRequests() const
{
    const QList<HttpRequest> seen = m_server->requests();
    return static_cast<int>(
        std::count_if(seen.cbegin(), seen.cend(), [](const HttpRequest &r) { return r.path == kAudioPath; }));
}

QStringList TestDownloadPanel::download(Form1 &window)
{
    QStringList seen;
    // Connected after the window's own listener, so it sees the window's answer.
    const auto watch = connect(window.Cdf, &Cls_DownLoad::entDLFileStatus, this, [&](int) { seen << window.status(); });
    window.Command6->click();
    disconnect(watch);
    return seen;
}

void TestDownloadPanel::buttonsAskForAParseFirst()
{
    SongPage none;
    none.audioPath.clear();
    auto window = lookedUpWindow(none);
    window->ProgressBar1->setValue(40);
    m_fakes.clipboard->content = QStringLiteral("before");

    window->Command2->click();
    QCOMPARE(window->status(), kNotParsed);
    QVERIFY(window->Picture3->isHidden());
    QCOMPARE(window->ProgressBar1->value(), 0);
    // The path is set all the same, from the captions as they are.
    QCOMPARE(window->downloadPanel().downloadPath(), musicFolder() + QStringLiteral("/未查询 - .mp3"));

    window->setStatus(QString());
    window->Command13->click();
    QCOMPARE(window->status(), kNotParsed);
    QCOMPARE(m_fakes.clipboard->content, QStringLiteral("before"));
}

void TestDownloadPanel::downloadButtonOpensTheCentredPanel()
{
    auto window = lookedUpWindow();
    QVERIFY(window->downloadPanel().downloadPath().isEmpty());
    window->Command2->click();
    QCOMPARE(window->status(), QStringLiteral("正在下载音乐.."));
    QVERIFY(window->Picture3->isVisible());
    QCOMPARE(window->Picture3->pos(), QPoint(1063 / 2 - 497 / 2, 575 / 2 - 433 / 2));
    QCOMPARE(window->Label16->caption(), QStringLiteral("音乐名称：晴天"));
    QCOMPARE(window->Label17->caption(), QStringLiteral("演唱歌手：林小夏"));
    QCOMPARE(window->downloadPanel().downloadPath(), musicFolder() + QStringLiteral("/晴天 - 林小夏.mp3"));
}

void TestDownloadPanel::defaultFileNameIsSafe_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("singer");
    QTest::addColumn<QString>("name"); // empty: only checked to fit and stay in Music

    QTest::newRow("chinese kept") << "晴天"
                                  << "林小夏"
                                  << "晴天 - 林小夏.mp3";
    QTest::newRow("climbing out") << "../../../evil"
                                  << ".."
                                  << "_._.._.._evil - ...mp3";
    QTest::newRow("windows separators") << "a\\b"
                                        << "C:\\x"
                                        << "a_b - C__x.mp3";
    QTest::newRow("refused characters") << "w*h?a\"t<>|"
                                        << "tab\there"
                                        << "w_h_a_t___ - tab_here.mp3";
    QTest::newRow("prefix inside the title") << "演唱歌曲：晴天演唱歌曲："
                                             << "林小夏"
                                             << "晴天 - 林小夏.mp3";
    QTest::newRow("too long") << QString(200, QChar(0x957F)) << "林小夏"
                              << "";
    QTest::newRow("long with emoji") << QString::fromUtf8("🎵").repeated(80) << "x"
                                     << "";
    // "song<RLO>3pm.exe" would read as "songexe.mp3".
    QTest::newRow("direction overrides") << QString::fromUtf8("song\u202E3pm.exe\u202C\u2066\u200F")
                                         << QString::fromUtf8("\u061Cab\u2069") << "song3pm.exe - ab.mp3";
    QTest::newRow("zero-width and C1") << QString::fromUtf8("\u200B晴\u200D天\uFEFF\u2060")
                                       << QString::fromUtf8("\u0085林\u009B小夏\u0080") << "晴天 - 林小夏.mp3";
}

void TestDownloadPanel::defaultFileNameIsSafe()
{
    QFETCH(QString, title);
    QFETCH(QString, singer);
    QFETCH(QString, name);
    SongPage song;
    song.title = title;
    song.singer = singer;
    auto window = lookedUpWindow(song);
    QCOMPARE(window->songRecord().singerName, singer);

    window->Command2->click();
    const QFileInfo path(window->downloadPanel().downloadPath());
    QCOMPARE(path.absolutePath(), musicFolder());
    QVERIFY(path.fileName().toUtf8().size() <= download::kMaxFileNameBytes);
    QVERIFY(path.fileName().endsWith(QLatin1String(".mp3")));
    QVERIFY(!path.fileName().contains(QChar(0xFFFD)));
    if (!name.isEmpty())
        QCOMPARE(path.fileName(), name);

    // The save dialog proposes the same name, in the same folder.
    window->Command1->click();
    QCOMPARE(m_fakes.saveDialog->proposed, QStringList{path.filePath()});

    // The file system takes it, in a Music folder made for it.
    QVERIFY(!QFileInfo::exists(musicFolder()));
    download(*window);
    QCOMPARE(QDir(musicFolder()).entryList(QDir::Files), QStringList{path.fileName()});
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"Music"});
}

void TestDownloadPanel::saveDialogChangesThePath()
{
    auto window = lookedUpWindow();
    window->Command2->click();
    const QString before = window->downloadPanel().downloadPath();
    window->Label13->setCaption(QString());
    window->setStatus(QStringLiteral("unchanged"));

    m_fakes.saveDialog->answer.reset();
    window->Command1->click();
    QCOMPARE(window->Label13->caption(), QStringLiteral("如需更换在此请选择下载的路径："));
    QCOMPARE(window->downloadPanel().downloadPath(), before);
    QCOMPARE(window->status(), QStringLiteral("unchanged"));
    QVERIFY(m_fakes.messageBox->shown.isEmpty());

    const QString chosen = m_folder->filePath(QStringLiteral("elsewhere.mp3"));
    m_fakes.saveDialog->answer = chosen;
    window->Command1->click();
    QCOMPARE(window->downloadPanel().downloadPath(), chosen);
    QCOMPARE(window->status(), QStringLiteral("已更换下载路径：") + chosen);

    download(*window);
    QCOMPARE(fileContent(chosen), patterned(1536));
    QCOMPARE(m_fakes.launcher->selected, QStringList{chosen});
}

void TestDownloadPanel::startWithoutPathWarns()
{
    auto window = lookedUpWindow();
    window->Command6->click();
    QCOMPARE(m_fakes.messageBox->shown.size(), 1);
    const FakeMessageBox::Shown box = m_fakes.messageBox->shown.first();
    QCOMPARE(box.title, QStringLiteral("Orvandel系列软件"));
    QCOMPARE(box.text, QStringLiteral("请先选择要下载的文件路径!"));
    QCOMPARE(box.icon, MessageBoxService::Icon::Warning);
    QVERIFY(!box.question);
    QCOMPARE(window->Command6->text(), kStart);
    QCOMPARE(audioRequests(), 0);
}

void TestDownloadPanel::completeDownloadShowsTheFile()
{
    auto window = lookedUpWindow();
    window->Command2->click();
    bool lockedWhileRunning = false;
    connect(window->Cdf, &Cls_DownLoad::entDLFileDowning, this,
            [&] { lockedWhileRunning = !window->Command2->isEnabled() && window->Command6->text() == kStop; });
    const QStringList statuses = download(*window);

    QCOMPARE(statuses, (QStringList{"正在连接服务器...", "正在发送请求...", "获取远程文件信息...",
                                    "正在下载音乐数据...", "正在连接服务器..", kDone}));
    QVERIFY(lockedWhileRunning);
    QCOMPARE(fileContent(window->downloadPanel().downloadPath()), patterned(1536));
    QCOMPARE(m_fakes.launcher->selected, QStringList{window->downloadPanel().downloadPath()});
    QCOMPARE(window->Command6->text(), kStart);
    QVERIFY(window->Command6->isEnabled());
    QVERIFY(window->Command2->isEnabled());
    QCOMPARE(window->ProgressBar1->value(), 100);
}

void TestDownloadPanel::progressBarFollowsTheBlocks_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("announced");
    QTest::addColumn<QList<int>>("values");
    QTest::newRow("1536 bytes") << 1536 << true << QList<int>{33, 67, 100};
    QTest::newRow("halves to even") << 4096 << true << QList<int>{12, 25, 38, 50, 62, 75, 88, 100};
    QTest::newRow("no length") << 1536 << false << QList<int>{0, 0, 0};
}

void TestDownloadPanel::progressBarFollowsTheBlocks()
{
    QFETCH(int, size);
    QFETCH(bool, announced);
    QFETCH(QList<int>, values);
    const QByteArray body = patterned(size);
    serveAudio([=](const HttpRequest &) {
        HttpResponse response = HttpResponse::text(200, body, "audio/mpeg");
        if (!announced)
            response.framing = HttpResponse::Framing::Chunked;
        return response;
    });
    auto window = lookedUpWindow();
    window->Command2->click();
    QList<int> seen;
    connect(window->Cdf, &Cls_DownLoad::entDLFileDowning, this, [&] { seen << window->ProgressBar1->value(); });
    QCOMPARE(download(*window).last(), kDone);
    QCOMPARE(seen, values);
}

void TestDownloadPanel::failureKeepsItsMessage_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("fileShown");
    QTest::addColumn<QString>("cause"); // part of the status line's tool tip
    QTest::newRow("not found") << "404"
                               << "作品不存在或已被删除.." << false << "HTTP 404";
    QTest::newRow("gone") << "410"
                          << "作品不存在或已被删除.." << false << "HTTP 410";
    QTest::newRow("server error") << "500"
                                  << "抱歉!发送请求失败.." << false << "HTTP 500";
    QTest::newRow("never answers") << "silent"
                                   << "抱歉!发送请求失败.." << false << "超时";
    QTest::newRow("cut off for good") << "drop"
                                      << "下载被中止.." << true << "只收到";
    QTest::newRow("stalls for good") << "stall"
                                     << "下载被中止.." << true << "只收到";
    QTest::newRow("empty body") << "empty"
                                << "抱歉!服务器返回的内容是空的.." << false << "0 字节";
    QTest::newRow("a message in place of the song") << "json"
                                                    << "抱歉!服务器返回的不是音乐文件.." << false << "server busy";
    QTest::newRow("another program writes its part") << "busy"
                                                     << "另一个程序正在下载这首歌.." << false << "另一个进程";
}

void TestDownloadPanel::failureKeepsItsMessage()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QFETCH(bool, fileShown);
    serveAudio([kind](const HttpRequest &) {
        HttpResponse response = HttpResponse::text(200, patterned(4000), "audio/mpeg");
        if (kind == QLatin1String("404") || kind == QLatin1String("410") || kind == QLatin1String("500"))
            response = HttpResponse::text(kind.toInt(), "<html>no</html>", "text/html");
        response.neverAnswer = kind == QLatin1String("silent");
        if (kind == QLatin1String("drop"))
            response.hangUpAfter = 1000;
        if (kind == QLatin1String("stall")) {
            response.trickleBytes = 1000;
            response.trickleMs = 60000;
        }
        if (kind == QLatin1String("empty") || kind == QLatin1String("json"))
            response.body = kind == QLatin1String("json") ? "{\"code\":503,\"msg\":\"server busy\"}" : "";
        return response;
    });
    auto window = lookedUpWindow();
    window->Command2->click();
    const QString path = window->downloadPanel().downloadPath();
    // Another process's lock is refused to a second descriptor of this one alike.
    QFile othersPart(Cls_DownLoad::partialPath(path));
    if (kind == QLatin1String("busy")) {
        QVERIFY(QDir().mkpath(QFileInfo(path).path()) && othersPart.open(QIODevice::WriteOnly));
        QCOMPARE(::flock(othersPart.handle(), LOCK_EX), 0);
    }
    const QStringList statuses = download(*window);

    QCOMPARE(statuses.last(), message);
    QVERIFY(!statuses.contains(kDone));
    QFETCH(QString, cause);
    QVERIFY2(window->statusCause().contains(cause), qPrintable(window->statusCause()));
    // What came is shown under its unfinished name, never as the song.
    const QString partial = Cls_DownLoad::partialPath(path);
    QVERIFY(!QFileInfo::exists(path));
    QCOMPARE(QFileInfo::exists(partial), fileShown || othersPart.isOpen());
    QCOMPARE(m_fakes.launcher->selected, fileShown ? QStringList{partial} : QStringList{});
    QCOMPARE(window->Command6->text(), kStart);
    QVERIFY(window->Command6->isEnabled());
    QVERIFY(window->Command2->isEnabled());
}

void TestDownloadPanel::confirmedStopKeepsThePartialFile()
{
    const QByteArray body = patterned(100 * 512);
    serveAudio(plainAudio(body));
    auto window = lookedUpWindow();
    window->Command2->click();
    m_fakes.messageBox->answers = {true};
    connect(window->Cdf, &Cls_DownLoad::entDLFileDowning, this, [&](const QString &, qint64 done) {
        // The user's press, handled while the transfer lets the window work.
        if (done == 3 * 512)
            QTimer::singleShot(0, window->Command6, &QPushButton::click);
    });
    bool stoppedState = false;
    connect(window->Cdf, &Cls_DownLoad::entDLFileStatus, this, [&](int state) {
        if (state != Cls_DownLoad::code(Cls_DownLoad::Status::Stopped))
            return;
        stoppedState =
            window->Command6->text() == kStart && !window->Command6->isEnabled() && window->Command2->isEnabled();
        // A press before the stopped transfer has returned starts nothing.
        window->Command6->click();
    });
    const QStringList statuses = download(*window);

    QCOMPARE(m_fakes.messageBox->shown.size(), 1);
    QCOMPARE(m_fakes.messageBox->shown[0].text, QStringLiteral("当前正在下载中..停止将损坏下载文件!"));
    QCOMPARE(m_fakes.messageBox->shown[0].icon, MessageBoxService::Icon::Information);
    QVERIFY(m_fakes.messageBox->shown[0].question);
    QVERIFY(stoppedState);
    QCOMPARE(statuses.last(2), (QStringList{"停止音乐下载", "停止音乐下载"}));
    // The block read after the press is kept, under the unfinished name.
    const QString partial = Cls_DownLoad::partialPath(window->downloadPanel().downloadPath());
    QCOMPARE(fileContent(partial), body.left(4 * 512));
    QVERIFY(!QFileInfo::exists(window->downloadPanel().downloadPath()));
    QCOMPARE(m_fakes.launcher->selected, QStringList{partial});
    QCOMPARE(audioRequests(), 1);
    QCOMPARE(window->Command6->text(), kStart);
    QVERIFY(window->Command6->isEnabled());
    QVERIFY(window->Command2->isEnabled());
}

void TestDownloadPanel::declinedStopLetsTheTransferFinish()
{
    const QByteArray body = patterned(12 * 512);
    serveAudio([body](const HttpRequest &) {
        HttpResponse response = HttpResponse::text(200, body, "audio/mpeg");
        response.trickleBytes = 512;
        response.trickleMs = 10;
        return response;
    });
    auto window = lookedUpWindow();
    window->Command2->click();
    m_fakes.messageBox->answers = {false};
    QString captionAfterNo;
    connect(window->Cdf, &Cls_DownLoad::entDLFileDowning, this, [&](const QString &, qint64 done) {
        if (done == 2 * 512) {
            window->Command6->click();
            captionAfterNo = window->Command6->text();
        }
    });
    QCOMPARE(download(*window).last(), kDone);
    QCOMPARE(m_fakes.messageBox->shown.size(), 1);
    QCOMPARE(captionAfterNo, kStop);
    QCOMPARE(fileContent(window->downloadPanel().downloadPath()), body);
}

void TestDownloadPanel::abortedTransferDoesNotStopTheNextOne()
{
    const QByteArray body = patterned(8000);
    serveAudio([body](const HttpRequest &) {
        HttpResponse response = HttpResponse::text(200, body, "audio/mpeg");
        response.hangUpAfter = 1000;
        return response;
    });
    auto window = lookedUpWindow();
    window->Command2->click();
    QCOMPARE(download(*window).last(), QStringLiteral("下载被中止.."));

    serveAudio(plainAudio(body));
    QCOMPARE(download(*window).last(), kDone);
    QCOMPARE(fileContent(window->downloadPanel().downloadPath()), body);
}

void TestDownloadPanel::copyButtonCopiesTheAudioAddress()
{
    auto window = lookedUpWindow();
    window->Command13->click();
    QCOMPARE(m_fakes.clipboard->content, m_server->base() + kAudioPath);
    QCOMPARE(window->status(), QStringLiteral("音乐地址已复制.."));

    // After the re-resolve command, the rebuilt address is the one copied.
    window->Command16->click();
    window->Command13->click();
    QCOMPARE(m_fakes.clipboard->content, QStringLiteral("http://127.0.0.1:1/userdata/userwork/109/5200109.mp3"));

    // Control characters the page put in the address stay behind.
    SongPage hostile;
    hostile.audioPath = QStringLiteral("/a.mp3\x1b]0;x\x07\n\r\t\u0085\u009b2J");
    window = lookedUpWindow(hostile);
    window->Command13->click();
    QCOMPARE(m_fakes.clipboard->content, m_server->base() + QStringLiteral("/a.mp3]0;x2J"));
}

void TestDownloadPanel::closeGlyphHidesThePanel()
{
    auto window = lookedUpWindow();
    window->Command2->click();
    QVERIFY(window->Picture3->isVisible());
    QTest::mouseClick(window->aicAlphaImage4, Qt::LeftButton, {}, QPoint(8, 8));
    QVERIFY(window->Picture3->isHidden());
    window->Command2->click();
    QVERIFY(window->Picture3->isVisible());
}

void TestDownloadPanel::onlyModulesOfThisBuildAreCalled_data()
{
    QTest::addColumn<QString>("module");
    QTest::addColumn<QString>("cause"); // empty: it loads
    QTest::newRow("this build's tags") << "cantora-tags.so" << QString();
    QTest::newRow("another version") << "cantora-stale.so"
                                     << "interface 0, Qt 6.0.0";
    QTest::newRow("no version at all") << "cantora-unversioned.so"
                                       << "names no version";
}

// A module of another build is never called into (its entry points abort):
// it counts as missing, and the feature says it is unavailable.
void TestDownloadPanel::onlyModulesOfThisBuildAreCalled()
{
    QFETCH(QString, module);
    QFETCH(QString, cause);
    QString failure;
    const QFunctionPointer entry = moduleEntry(module, "cantora_write_tags", &failure);
    QCOMPARE(entry != nullptr, cause.isEmpty());
    QVERIFY2(failure.contains(cause), qPrintable(failure));
}

QTEST_MAIN(TestDownloadPanel)
#include "tst_downloadpanel.moc"

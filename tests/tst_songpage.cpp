#include "app/controls.h"
#include "app/downloadpanel.h"
#include "app/form1.h"
#include "app/songpanel.h"
#include "page/firstmarkers.h"
#include "page/pagefetcher.h"
#include "page/pictureloader.h"
#include "page/songparser.h"
#include "site/httpserver.h"
#include "support/fakes.h"
#include "support/songpages.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kHost = QStringLiteral("http://h");
const songpage::Markers kMarkers{kHost + QStringLiteral("/img"), kHost + QStringLiteral("/video/player")};

QString page(const SongPage &song)
{
    return QString::fromUtf8(song.html(kHost));
}

} // namespace

class TestSongPage final : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    // The cut on its own.
    void cutsTheFacts_data();
    void cutsTheFacts();
    void missingMarkersShowThePreviousPage();
    void workId_data();
    void workId();

    // Pictures.
    void loadsPictures_data();
    void loadsPictures();
    void neverLoadsLocalPictures();

    // The parse button on the window.
    void validationStopsBeforeFetching_data();
    void validationStopsBeforeFetching();
    void pastedAddressIsLookedUp_data();
    void pastedAddressIsLookedUp();
    void wholeTextIsTheAddress();
    void fillsBothPanels();
    void sameAddressTwiceGivesTheSameWork();
    void pageWithoutVideoHidesTheBadge();
    void failedFetchKeepsThePreviousWork_data();
    void failedFetchKeepsThePreviousWork();
    void emptyPageChangesNothing();
    void pageWithoutAudioLeavesNothingToPlay();
    void gbkPageReadsAsChinese();
    void missingAvatarShowsTheDefault();

private:
    std::unique_ptr<Form1> makeWindow(const QString &siteBase = QString());
    void lookUp(Form1 &window, const QString &address);

    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<QTemporaryDir> m_folder;
    FakePlatform m_fakes;
    SongSite m_site;
};

void TestSongPage::init()
{
    m_server = std::make_unique<LoopbackServer>();
    QVERIFY(m_server->start());
    m_folder = std::make_unique<QTemporaryDir>();
    m_site = SongSite();
    m_site.file(QStringLiteral("/img/avatar/1001.gif"), replicaFile(QStringLiteral("img/avatar/1002.gif")),
                "image/gif");
    m_site.file(QStringLiteral("/img/avatar/1002.jpg"), samplePicture("JPEG", Qt::cyan), "image/jpeg");
    m_site.file(QStringLiteral("/version/main.txt"), "kw:V3.3|", "text/plain");
}

void TestSongPage::cleanup()
{
    m_server.reset();
    m_folder.reset();
}

std::unique_ptr<Form1> TestSongPage::makeWindow(const QString &siteBase)
{
    AppConfig config = testConfig(m_server->base(), m_folder->path());
    if (!siteBase.isEmpty())
        config.siteBase = siteBase;
    config.pageTimeoutMs = 1000;
    m_server->setHandler(m_site.handler(m_server->base()));
    auto window = std::make_unique<Form1>(config, m_fakes.make());
    if (!loadAndWait(*window))
        qWarning("the update check did not answer");
    return window;
}

void TestSongPage::lookUp(Form1 &window, const QString &address)
{
    window.Text1->setText(address);
    QVERIFY(lookUpAndWait(window, window.Text1->text()));
}

void TestSongPage::cutsTheFacts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("singer");
    QTest::addColumn<QString>("plays");
    QTest::addColumn<QString>("audio");
    QTest::addColumn<QString>("video");

    SongPage song;
    song.videoQuery = QStringLiteral("?wid=5200109&amp;autoplay=1");
    QTest::newRow("spaced title, video with &amp;") << page(song) << "晴天"
                                                    << "林小夏"
                                                    << "35812"
                                                    << "http://h/userdata/userwork/a109/5200109.mp3"
                                                    << "http://h/video/player?wid=5200109&autoplay=1";

    QTest::newRow("singer without service name")
        << QStringLiteral("<title>晴天 - 林小夏 - 唱出你的声音</title>") << "晴天"
        << ""
        << ""
        << ""
        << "";
    QTest::newRow("title without hyphen runs on")
        << QStringLiteral("<title>晴天 林小夏</title><b class=\"x-y\">") << "晴天 林小夏</title><b class=\"x"
        << ""
        << ""
        << ""
        << "";
    QTest::newRow("no hyphen at all") << QStringLiteral("<title>晴天</title>") << ""
                                      << ""
                                      << ""
                                      << ""
                                      << "";
    QTest::newRow("counter without <") << QStringLiteral("<span class=\"audience info\"><em> 42 次") << ""
                                       << ""
                                       << ""
                                       << ""
                                       << "";
    QTest::newRow("counter kept unsplit") << QStringLiteral("<span class=\"audience info\"><em> 42 <b>") << ""
                                          << ""
                                          << " 42 "
                                          << ""
                                          << "";
    QTest::newRow("audio address with blanks") << QStringLiteral("(function(){var a=\"http://h/a b/c.mp3\",b=2;") << ""
                                               << ""
                                               << ""
                                               << "http://h/a b/c.mp3"
                                               << "";
    QTest::newRow("audio without closing quote") << QStringLiteral("(function(){var a=\"http://h/x.mp3") << ""
                                                 << ""
                                                 << ""
                                                 << ""
                                                 << "";
}

void TestSongPage::cutsTheFacts()
{
    QFETCH(QString, text);
    // Alike whether the markers were looked for in the page or while it arrived.
    for (const bool whileArriving : {false, true}) {
        FirstMarkers found(songpage::markersSought(kMarkers));
        QString arrived;
        for (qsizetype at = 0; whileArriving && at < text.size(); at += 3) {
            const qsizetype from = arrived.size();
            arrived += QStringView(text).mid(at, 3);
            found.feed(arrived, from);
        }
        songpage::WorkingTexts texts;
        const songpage::Facts facts =
            whileArriving ? songpage::cut(arrived, kMarkers, texts, &found) : songpage::cut(text, kMarkers, texts);
        QTEST(facts.title, "title");
        QTEST(facts.singerName, "singer");
        QTEST(facts.counters[0], "plays");
        QTEST(facts.audioAddress, "audio");
        QTEST(facts.videoAddress, "video");
        QCOMPARE(facts.hasVideo, !facts.videoAddress.isEmpty());
    }
}

void TestSongPage::missingMarkersShowThePreviousPage()
{
    songpage::WorkingTexts texts;
    SongPage first;
    first.videoQuery = QStringLiteral("?v=1");
    songpage::cut(page(first), kMarkers, texts);

    // Only a title, and a counter span without its number.
    const QString second = QStringLiteral("<title>后来 - 夏木Cantora</title><span class=\"audience info\">9");
    const songpage::Facts facts = songpage::cut(second, kMarkers, texts);
    QCOMPARE(facts.title, QStringLiteral("后来"));
    QCOMPARE(facts.singerName, QStringLiteral("夏木"));
    QCOMPARE(facts.fanCount, first.fans);
    QCOMPARE(facts.description, first.description);
    // The plays span was found, its "<em>" was not: the number is the old one.
    QCOMPARE(facts.counters[0], first.plays);
    QCOMPARE(facts.counters[3], first.comments);
    QCOMPARE(facts.avatarAddress, QStringLiteral("http://h/img/avatar/1001.gif"));
    // Never the previous work's sound or video.
    QVERIFY(facts.audioAddress.isEmpty());
    QVERIFY(!facts.hasVideo);
    QVERIFY(facts.videoAddress.isEmpty());

    // Pages without any marker go on showing the same, however many follow.
    for (int i = 0; i < 2; ++i) {
        const songpage::Facts again = songpage::cut(QStringLiteral("-"), kMarkers, texts);
        QCOMPARE(again.title, facts.title);
        QCOMPARE(again.singerName, facts.singerName);
        QCOMPARE(again.fanCount, facts.fanCount);
        QCOMPARE(again.description, facts.description);
        QCOMPARE(again.counters, facts.counters);
        QCOMPARE(again.avatarAddress, facts.avatarAddress);
    }
}

void TestSongPage::workId_data()
{
    QTest::addColumn<QString>("audio");
    QTest::addColumn<QString>("previous");
    QTest::addColumn<QString>("id");
    QTest::newRow("file name") << "http://h/userdata/userwork/a109/5200109.mp3"
                               << "1"
                               << "5200109";
    QTest::newRow("seventh field without dot") << "http://h/userdata/userwork/a109/5200109"
                                               << "1"
                                               << "";
    QTest::newRow("too few fields keeps the old id") << "http://h/x.mp3"
                                                     << "77.mp3"
                                                     << "77";
    QTest::newRow("kept id without dot empties") << ""
                                                 << "5200109"
                                                 << "";
}

void TestSongPage::workId()
{
    QFETCH(QString, audio);
    QFETCH(QString, previous);
    QTEST(songpage::workIdFrom(audio, previous), "id");
}

void TestSongPage::loadsPictures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("gif") << "/img/avatar/1001.gif" << QSize(90, 90);
    QTest::newRow("jpeg") << "/img/avatar/1002.jpg" << QSize(90, 90);
    QTest::newRow("png") << "/img/p.png" << QSize(90, 90);
    QTest::newRow("html page") << "/s/none" << QSize(0, 0);
    QTest::newRow("picture behind an error status") << "/img/missing.gif" << QSize(0, 0);
    QTest::newRow("empty text") << "" << QSize(0, 0);
}

void TestSongPage::loadsPictures()
{
    QFETCH(QString, path);
    m_site.file(QStringLiteral("/img/p.png"), samplePicture("PNG"), "image/png");
    const QByteArray gif = replicaFile(QStringLiteral("img/avatar/1002.gif"));
    m_server->setHandler([this, gif](const HttpRequest &request) {
        if (request.path == QLatin1String("/img/missing.gif"))
            return HttpResponse::text(404, gif, "image/gif");
        return m_site.handler(m_server->base())(request);
    });
    PageFetcher fetcher;
    const QImage picture = LoadPicture(fetcher, path.isEmpty() ? path : m_server->base() + path);
    QTEST(picture.size(), "size");
}

void TestSongPage::neverLoadsLocalPictures()
{
    PageFetcher fetcher;
    const QByteArray gif = replicaFile(QStringLiteral("img/avatar/1002.gif"));
    // Good pictures, readable, under every name but a web address.
    for (const auto &[name, bytes] : {std::pair{"a.gif", gif}, std::pair{"a.jpg", samplePicture("JPEG")}}) {
        const QString path = m_folder->filePath(QString::fromLatin1(name));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        for (const QString &address : {path, QUrl::fromLocalFile(path).toString(), "file://localhost" + path,
                                       "data:image/gif;base64," + QString::fromLatin1(bytes.toBase64())})
            QVERIFY2(LoadPicture(fetcher, address).isNull(), qPrintable(address.left(80)));
    }
    QVERIFY(LoadPicture(fetcher, QStringLiteral("qrc:/art/avatar.png")).isNull());
    // Nothing listens on port 1.
    QVERIFY(LoadPicture(fetcher, QStringLiteral("http://127.0.0.1:1/a.gif")).isNull());
}

void TestSongPage::validationStopsBeforeFetching_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << QString() << QStringLiteral("请输入Cantora网页地址 ");
    QTest::newRow("prefix in other case") << "/S/5200109" << QStringLiteral("地址错误,请您检查 ..");
    QTest::newRow("no prefix") << "/u/5200109" << QStringLiteral("地址错误,请您检查 ..");
    QTest::newRow("only blanks and line breaks")
        << QStringLiteral(" \r\n\t\u00A0\u200B") << QStringLiteral("请输入Cantora网页地址 ");
}

void TestSongPage::validationStopsBeforeFetching()
{
    QFETCH(QString, path);
    auto window = makeWindow();
    const int before = m_server->requestCount();
    lookUp(*window, path.startsWith(QLatin1Char('/')) ? m_server->base() + path : path);
    QTEST(window->status(), "message");
    QCOMPARE(m_server->requestCount(), before);
    QCOMPARE(window->Label2->caption(), QStringLiteral("演唱歌曲：未查询"));
}

// {base} is the server's http address, {https} the same host over https.
void TestSongPage::pastedAddressIsLookedUp_data()
{
    QTest::addColumn<QString>("siteBase");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("found");
    QTest::newRow("trailing line break") << "{base}"
                                         << "{base}/s/1\n"
                                         << true;
    QTest::newRow("blanks and tabs around") << "{base}"
                                            << " \t{base}/s/1 \r\n"
                                            << true;
    QTest::newRow("no-break space, zero-width and BOM")
        << "{base}" << QStringLiteral("\u00A0\u200B{base}/s/1\uFEFF") << true;
    QTest::newRow("http typed for an https site") << "{https}"
                                                  << "{base}/s/1" << true;
    // Passes the check; the plain server cannot speak TLS.
    QTest::newRow("https typed for an http site") << "{base}"
                                                  << "{https}/s/1\n"
                                                  << false;
}

void TestSongPage::pastedAddressIsLookedUp()
{
    QFETCH(QString, siteBase);
    QFETCH(QString, typed);
    QFETCH(bool, found);
    m_site.page(QStringLiteral("1"), SongPage());
    const QString https = QStringLiteral("https://") + m_server->base().mid(7);
    const auto place = [&](QString text) {
        return text.replace(QLatin1String("{base}"), m_server->base()).replace(QLatin1String("{https}"), https);
    };
    auto window = makeWindow(place(siteBase));
    window->setStatus(QStringLiteral("x"));
    lookUp(*window, place(typed));

    QCOMPARE(window->Text1->text(), place(typed).trimmed().remove(QChar(0x200B)).remove(QChar(0xFEFF)));
    if (found) {
        QCOMPARE(window->status(), QStringLiteral("x"));
        QCOMPARE(window->songPanel().songTitle(), QStringLiteral("晴天"));
        QVERIFY(m_server->requests().at(m_server->requestCount() - 2).target == "/s/1");
    } else {
        QCOMPARE(window->status(), QStringLiteral("网页获取失败,请您检查网络后再试.."));
        QVERIFY(!window->statusCause().isEmpty());
    }
}

void TestSongPage::wholeTextIsTheAddress()
{
    auto window = makeWindow();
    const QString base = m_server->base();
    m_server->setHandler([base](const HttpRequest &request) {
        if (request.path == QLatin1String("/go"))
            return HttpResponse::text(200, SongPage().html(base), "text/html; charset=utf-8");
        return HttpResponse::text(404, "");
    });
    lookUp(*window, base + QStringLiteral("/go?to=") + base + QStringLiteral("/s/5200109"));
    QCOMPARE(m_server->requests().constLast().path, QStringLiteral("/img/avatar/1001.gif"));
    QVERIFY(m_server->requests().at(m_server->requestCount() - 2).target.startsWith("/go?to="));
    QCOMPARE(window->songPanel().songTitle(), QStringLiteral("晴天"));
}

void TestSongPage::fillsBothPanels()
{
    SongPage song;
    song.videoQuery = QStringLiteral("?wid=5200109&amp;autoplay=1");
    m_site.page(QStringLiteral("5200109"), song);
    auto window = makeWindow();
    window->setStatus(QStringLiteral("之前的消息"));

    lookUp(*window, m_server->base() + QStringLiteral("/s/5200109"));

    QCOMPARE(window->Label1->caption(), QStringLiteral("用户名：林小夏"));
    QCOMPARE(window->Label4->caption(), QStringLiteral("粉丝数：12873"));
    QCOMPARE(window->Label10->caption(), QStringLiteral("每周五晚更新"));
    QCOMPARE(window->Label2->caption(), QStringLiteral("演唱歌曲：晴天"));
    QCOMPARE(window->Label5->caption(), QStringLiteral("播放次数：35812次"));
    QCOMPARE(window->Label6->caption(), QStringLiteral("收到礼物：1208个"));
    QCOMPARE(window->Label7->caption(), QStringLiteral("转发次数：96次"));
    QCOMPARE(window->Label9->caption(), QStringLiteral("评论数量：342次"));
    QCOMPARE(window->status(), QStringLiteral("之前的消息"));

    const SongRecord &record = window->songRecord();
    QCOMPARE(record.singerName, QStringLiteral("林小夏"));
    QCOMPARE(record.audioAddress, m_server->base() + QStringLiteral("/userdata/userwork/a109/5200109.mp3"));
    QCOMPARE(record.videoAddress, m_server->base() + QStringLiteral("/video/player?wid=5200109&autoplay=1"));
    QVERIFY(record.pageText.contains(QStringLiteral("<title>晴天")));
    QCOMPARE(window->songRecord().workId, QStringLiteral("5200109"));

    QImage avatar;
    QVERIFY(avatar.loadFromData(replicaFile(QStringLiteral("img/avatar/1002.gif"))));
    QCOMPARE(window->Image1->picture().toImage().convertToFormat(QImage::Format_ARGB32),
             avatar.convertToFormat(QImage::Format_ARGB32));
    QVERIFY(window->aicAlphaImage2->isVisible());
    QCOMPARE(window->aicAlphaImage2->x(), window->Label2->x() + window->Label2->width() + 3);
}

void TestSongPage::sameAddressTwiceGivesTheSameWork()
{
    m_site.page(QStringLiteral("1"), SongPage());
    auto window = makeWindow();
    const QString address = m_server->base() + QStringLiteral("/s/1");
    lookUp(*window, address);
    const QStringList first = {window->Label1->caption(), window->Label2->caption(), window->Label9->caption(),
                               window->songRecord().audioAddress, window->songRecord().workId};
    const QImage picture = window->Image1->picture().toImage();
    lookUp(*window, address);
    QCOMPARE((QStringList{window->Label1->caption(), window->Label2->caption(), window->Label9->caption(),
                          window->songRecord().audioAddress, window->songRecord().workId}),
             first);
    QCOMPARE(window->Image1->picture().toImage(), picture);
}

void TestSongPage::pageWithoutVideoHidesTheBadge()
{
    SongPage withVideo;
    withVideo.videoQuery = QStringLiteral("?wid=1");
    m_site.page(QStringLiteral("1"), withVideo);
    m_site.page(QStringLiteral("2"), SongPage());
    auto window = makeWindow();
    lookUp(*window, m_server->base() + QStringLiteral("/s/1"));
    QVERIFY(window->aicAlphaImage2->isVisible());
    lookUp(*window, m_server->base() + QStringLiteral("/s/2"));
    QVERIFY(window->aicAlphaImage2->isHidden());
    QVERIFY(window->songRecord().videoAddress.isEmpty());
}

void TestSongPage::failedFetchKeepsThePreviousWork_data()
{
    QTest::addColumn<bool>("errorPage");
    QTest::newRow("no answer") << false;
    QTest::newRow("error page") << true;
}

void TestSongPage::failedFetchKeepsThePreviousWork()
{
    QFETCH(bool, errorPage);
    m_site.page(QStringLiteral("1"), SongPage());
    auto window = makeWindow();
    lookUp(*window, m_server->base() + QStringLiteral("/s/1"));
    const SongRecord before = window->songRecord();

    const HttpHandler site = m_site.handler(m_server->base());
    SongPage gone;
    gone.title = QStringLiteral("不该显示");
    const QByteArray goneHtml = gone.html(m_server->base());
    m_server->setHandler([site, errorPage, goneHtml](const HttpRequest &request) {
        if (request.path == QLatin1String("/s/2") && errorPage)
            return HttpResponse::text(404, goneHtml, "text/html");
        if (request.path == QLatin1String("/s/2")) {
            HttpResponse silence;
            silence.neverAnswer = true;
            return silence;
        }
        return site(request);
    });
    const int requests = m_server->requestCount();
    Qt::CursorShape waitingCursor = Qt::ArrowCursor;
    QTimer::singleShot(50, window.get(), [&] {
        if (const QCursor *cursor = QGuiApplication::overrideCursor())
            waitingCursor = cursor->shape();
    });
    lookUp(*window, m_server->base() + QStringLiteral("/s/2"));

    // One request, for the page; the old page is not parsed again.
    QCOMPARE(m_server->requestCount(), requests + 1);
    // A page the site does not have says the work is gone; silence keeps the network text.
    QCOMPARE(window->status(), errorPage ? QStringLiteral("作品不存在或已被删除..")
                                         : QStringLiteral("网页获取失败,请您检查网络后再试.."));
    // The cause is at hand, and the pointer showed the wait.
    QVERIFY(window->statusCause().contains(errorPage ? QStringLiteral("HTTP 404") : QStringLiteral("超时")));
    QCOMPARE(waitingCursor, errorPage ? Qt::ArrowCursor : Qt::BusyCursor); // the error page comes at once
    QVERIFY(!QGuiApplication::overrideCursor());
    QCOMPARE(window->songRecord().pageText, before.pageText);
    QCOMPARE(window->songRecord().audioAddress, before.audioAddress);
    QCOMPARE(window->songPanel().songTitle(), QStringLiteral("晴天"));
    // The next message goes without it.
    lookUp(*window, QString());
    QVERIFY(window->statusCause().isEmpty());
}

void TestSongPage::emptyPageChangesNothing()
{
    SongPage song;
    song.videoQuery = QStringLiteral("?wid=1");
    m_site.page(QStringLiteral("1"), song);
    m_site.file(QStringLiteral("/s/empty"), QByteArray(), "text/html");
    auto window = makeWindow();
    lookUp(*window, m_server->base() + QStringLiteral("/s/1"));
    window->setStatus(QStringLiteral("x"));
    lookUp(*window, m_server->base() + QStringLiteral("/s/empty"));
    QCOMPARE(window->status(), QStringLiteral("x"));
    QCOMPARE(window->songPanel().songTitle(), QStringLiteral("晴天"));
    // Only a page that arrives clears the video of the work before.
    QVERIFY(!window->songRecord().videoAddress.isEmpty());
}

void TestSongPage::pageWithoutAudioLeavesNothingToPlay()
{
    m_site.page(QStringLiteral("1"), SongPage());
    m_site.file(QStringLiteral("/s/noaudio"),
                QByteArrayLiteral("<title>后来 - 夏木Cantora</title><p class=\"des twemoji\">无</p>"), "text/html");
    auto window = makeWindow();
    lookUp(*window, m_server->base() + QStringLiteral("/s/1"));
    QCOMPARE(window->songRecord().workId, QStringLiteral("5200109"));

    lookUp(*window, m_server->base() + QStringLiteral("/s/noaudio"));
    QCOMPARE(window->songPanel().songTitle(), QStringLiteral("后来"));
    QVERIFY(window->songRecord().audioAddress.isEmpty());
    QVERIFY(window->songRecord().workId.isEmpty());

    m_fakes.mci->commands.clear();
    window->Command7->click();
    QCOMPARE(window->status(), QStringLiteral("请先进行解析.."));
    QVERIFY(m_fakes.mci->commands.isEmpty());
    QCOMPARE(window->Command7->text(), QStringLiteral("在线播放"));
}

void TestSongPage::gbkPageReadsAsChinese()
{
    SongPage song;
    song.title = QStringLiteral("后来");
    song.singer = QStringLiteral("夏木");
    QStringEncoder gbk("GB18030");
    const QByteArray bytes = gbk.encode(QString::fromUtf8(song.html(m_server->base())));
    m_site.file(QStringLiteral("/s/gbk"), bytes, "text/html; charset=gbk");
    auto window = makeWindow();
    lookUp(*window, m_server->base() + QStringLiteral("/s/gbk"));
    QCOMPARE(window->songPanel().songTitle(), QStringLiteral("后来"));
    QCOMPARE(window->songRecord().singerName, QStringLiteral("夏木"));
    QCOMPARE(window->Label5->caption(), QStringLiteral("播放次数：35812次"));
}

void TestSongPage::missingAvatarShowsTheDefault()
{
    SongPage song;
    song.avatarPath = QStringLiteral("/img/avatar/gone.gif");
    m_site.page(QStringLiteral("1"), song);
    auto window = makeWindow();
    lookUp(*window, m_server->base() + QStringLiteral("/s/1"));
    QCOMPARE(window->songPanel().songTitle(), QStringLiteral("晴天"));
    QCOMPARE(window->Image1->picture().toImage(), window->Image2->picture().toImage());
}

QTEST_MAIN(TestSongPage)
#include "tst_songpage.moc"

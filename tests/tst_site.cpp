#include "page/pagefetcher.h"
#include "page/songparser.h"
#include "site/httpserver.h"
#include "site/replicasite.h"

#include <QDir>
#include <QtTest>

// The replica site as the demo serves it.
class TestSite final : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void servesVersionFile();
    void servesNothingOutsideItsFolder_data();
    void servesNothingOutsideItsFolder();
    void chunkedAndTrickledBodiesArriveWhole();
    void generatedWorksHavePagesAndSongs_data();
    void generatedWorksHavePagesAndSongs();

private:
    LoopbackServer m_server;
};

void TestSite::initTestCase()
{
    QVERIFY(m_server.start());
    m_server.setHandler(replicaSite(QStringLiteral(CANTORA_SITE_ROOT)));
}

void TestSite::servesVersionFile()
{
    PageFetcher fetcher;
    const FetchResult result = fetcher.GetBody(m_server.base() + "/version/main.txt");
    QVERIFY(result.arrived());
    QCOMPARE(result.httpStatus, 200);
    QCOMPARE(result.text, QStringLiteral("kw:V3.3|"));
}

void TestSite::servesNothingOutsideItsFolder_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("dot-dot") << "/../CMakeLists.txt";
    QTest::newRow("encoded dot-dot") << "/%2e%2e/CMakeLists.txt";
    QTest::newRow("missing") << "/no/such/page.html";
    QTest::newRow("folder itself") << "/version";
}

void TestSite::servesNothingOutsideItsFolder()
{
    QFETCH(QString, path);
    PageFetcher fetcher;
    const FetchResult result = fetcher.GetBody(m_server.base() + path);
    QVERIFY(result.arrived());
    QCOMPARE(result.httpStatus, 404);
    QVERIFY(!result.text.contains(QLatin1String("cmake_minimum_required")));
}

void TestSite::chunkedAndTrickledBodiesArriveWhole()
{
    LoopbackServer server;
    QVERIFY(server.start());
    const QByteArray body = QByteArray("kw:V3.3|").repeated(40);
    server.setHandler([&](const HttpRequest &request) {
        HttpResponse response = HttpResponse::text(200, body);
        if (request.path == QLatin1String("/chunked"))
            response.framing = HttpResponse::Framing::Chunked;
        if (request.path == QLatin1String("/trickle")) {
            response.framing = HttpResponse::Framing::UntilClose;
            response.trickleBytes = 64;
            response.trickleMs = 5;
        }
        return response;
    });
    PageFetcher fetcher;
    for (const char *path : {"/chunked", "/trickle"}) {
        const FetchResult result = fetcher.GetBody(server.base() + QLatin1String(path));
        QVERIFY2(result.arrived(), path);
        QCOMPARE(result.text.toUtf8(), body);
    }
}

void TestSite::generatedWorksHavePagesAndSongs_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("singer"); // empty: no such work
    QTest::addColumn<QString>("title");
    QTest::newRow("first of five thousand") << "6000001109"
                                            << "千曲"
                                            << "练习曲 第1首";
    QTest::newRow("last of five thousand") << "6005000109"
                                           << "千曲"
                                           << "练习曲 第5000首";
    QTest::newRow("last of five hundred") << "7000500109"
                                          << "百曲"
                                          << "练习曲 第500首";
    QTest::newRow("one past the last") << "7000501109"
                                       << ""
                                       << "";
    QTest::newRow("none before the first") << "6000000109"
                                           << ""
                                           << "";
    QTest::newRow("leading zero") << "06000001109"
                                  << ""
                                  << "";
    QTest::newRow("other server suffix") << "6000001108"
                                         << ""
                                         << "";
}

void TestSite::generatedWorksHavePagesAndSongs()
{
    QFETCH(QString, id);
    QFETCH(QString, singer);
    QFETCH(QString, title);
    const QString base = m_server.base();
    PageFetcher fetcher;
    const FetchResult service = fetcher.GetBody(base + "/member/personcenter/loadplayurl.php?wid=" + id);
    QCOMPARE(service.text, singer.isEmpty() ? QString() : base + "/s/" + id);
    const FetchResult page = fetcher.GetBody(base + "/s/" + id);
    const QString audio = base + "/userdata/userwork/109/" + id + ".mp3";
    if (singer.isEmpty()) {
        QCOMPARE(page.httpStatus, 404);
        QCOMPARE(fetcher.GetBytes(audio).httpStatus, 404);
        return;
    }

    songpage::WorkingTexts texts;
    const songpage::Facts facts = songpage::cut(page.text, {base + "/img", base + "/video/player"}, texts);
    QCOMPARE(facts.singerName, singer);
    QCOMPARE(facts.title, title);
    QVERIFY(!facts.hasVideo);
    QCOMPARE(facts.audioAddress, audio);
    QCOMPARE(songpage::workIdFrom(facts.audioAddress, QString()), id);
    const FetchResult avatar = fetcher.GetBytes(facts.avatarAddress);
    QCOMPARE(avatar.contentType, QByteArray("image/gif"));
    QVERIFY(avatar.body.startsWith("GIF89a"));

    // A song is whole MPEG frames, and its ranges are cut from the same bytes.
    const FetchResult song = fetcher.GetBytes(audio);
    QCOMPARE(song.httpStatus, 200);
    QVERIFY(song.body.size() > 4096);
    QCOMPARE(song.body.size() % 208, 0);
    for (qsizetype at = 0; at < song.body.size(); at += 208)
        QVERIFY(song.body.mid(at, 2) == "\xff\xfb");
    QVERIFY(song.body.contains(id.toLatin1()));
    HttpRequest tail;
    tail.method = "GET";
    tail.path = "/userdata/userwork/109/" + id + ".mp3";
    tail.headers = {{"range", "bytes=1000-"}};
    const HttpResponse ranged = replicaSite(QStringLiteral(CANTORA_SITE_ROOT))(tail);
    QCOMPARE(ranged.status, 206);
    QCOMPARE(ranged.body, song.body.mid(1000));
}

QTEST_MAIN(TestSite)
#include "tst_site.moc"

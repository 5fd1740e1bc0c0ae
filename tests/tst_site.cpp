#include "page/pagefetcher.h"
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

QTEST_MAIN(TestSite)
#include "tst_site.moc"

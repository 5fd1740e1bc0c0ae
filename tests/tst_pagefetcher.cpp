#include "page/pagefetcher.h"
#include "site/httpserver.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

class TestPageFetcher final : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void errorStatusStillReturnsPage_data();
    void errorStatusStillReturnsPage();
    void sendsAddressAsGivenWithHeader();
    void decodesByCharset_data();
    void decodesByCharset();
    void emptyBodyIsEmptyText();
    void nestedFetchesCompleteInnerFirst();
    void windowKeepsTickingDuringSlowFetch();
    void timeLimitEndsSilentServer();
    void failuresAreErrors_data();
    void failuresAreErrors();

private:
    std::unique_ptr<LoopbackServer> m_server;
};

void TestPageFetcher::init()
{
    m_server = std::make_unique<LoopbackServer>();
    QVERIFY(m_server->start());
}

void TestPageFetcher::errorStatusStillReturnsPage_data()
{
    QTest::addColumn<int>("status");
    QTest::newRow("404") << 404;
    QTest::newRow("500") << 500;
    QTest::newRow("200") << 200;
}

void TestPageFetcher::errorStatusStillReturnsPage()
{
    QFETCH(int, status);
    m_server->setHandler([status](const HttpRequest &) {
        return HttpResponse::text(status, "<html>page " + QByteArray::number(status) + "</html>");
    });
    PageFetcher fetcher;
    const FetchResult result = fetcher.GetBody(m_server->base() + "/missing.html");
    QVERIFY2(result.arrived(), qPrintable(result.error));
    QCOMPARE(result.text, QStringLiteral("<html>page %1</html>").arg(status));
    QCOMPARE(result.httpStatus, status);
}

void TestPageFetcher::sendsAddressAsGivenWithHeader()
{
    m_server->setHandler([](const HttpRequest &) { return HttpResponse::text(200, "ok"); });
    PageFetcher fetcher;
    const FetchResult result = fetcher.GetBody(m_server->base() + "/member/x.php?wid=12&b=%E4%BD%A0");
    QVERIFY(result.arrived());
    const QList<HttpRequest> seen = m_server->requests();
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].method, QByteArray("GET"));
    QCOMPARE(seen[0].target, QByteArray("/member/x.php?wid=12&b=%E4%BD%A0"));
    QCOMPARE(seen[0].header("if-modified-since"), QByteArray("0"));
}

void TestPageFetcher::decodesByCharset_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("expected");
    const QString song = QStringLiteral("演唱歌曲：月亮");
    QTest::newRow("no charset is utf-8") << QByteArray("text/html") << song.toUtf8() << song;
    QTest::newRow("utf-8") << QByteArray("text/html; charset=utf-8") << song.toUtf8() << song;
    QTest::newRow("quoted charset") << QByteArray("text/html; charset=\"UTF-8\"") << song.toUtf8() << song;
    QStringEncoder gbk("GB18030");
    const QByteArray gbkBytes = gbk.encode(song);
    QTest::newRow("gbk") << QByteArray("text/html; charset=GBK") << gbkBytes << song;
    QTest::newRow("gb2312 label") << QByteArray("text/html;charset=gb2312") << gbkBytes << song;
    QTest::newRow("gb18030") << QByteArray("text/html; charset=GB18030") << gbkBytes << song;
    QTest::newRow("unknown charset falls back") << QByteArray("text/html; charset=x-nonsense") << song.toUtf8() << song;

    // A page that names its charset only in its head.
    const QByteArray meta = "<html><head><meta charset=\"gbk\"></head>";
    const QByteArray equiv = "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; Charset=GB2312\">";
    const QString utf8Meta = QString::fromLatin1(meta);
    QTest::newRow("meta charset") << QByteArray("text/html") << meta + gbkBytes << utf8Meta + song;
    QTest::newRow("meta http-equiv") << QByteArray() << equiv + gbkBytes << QString::fromLatin1(equiv) + song;
    QTest::newRow("header wins over meta")
        << QByteArray("text/html; charset=utf-8") << meta + song.toUtf8() << utf8Meta + song;
    const QByteArray farDown = QByteArray(4096, ' ') + meta + song.toUtf8();
    QTest::newRow("meta beyond the head is not read")
        << QByteArray("text/html") << farDown << QString::fromUtf8(farDown);

    // Broken bytes come out as a decode of the whole body gives them, wherever
    // the pieces it arrives in are cut.
    const QByteArray broken = "a\xE4\xE4 b\xB8\x80\xF0 " + song.toUtf8() + "\xEF\xBB\xBF\xE6\x9C";
    QTest::newRow("broken utf-8, no charset") << QByteArray() << broken << QString::fromUtf8(broken);
    QTest::newRow("broken utf-8 named") << QByteArray("text/html; charset=utf-8") << broken
                                        << QString(QStringDecoder("UTF-8").decode(broken));
    const QByteArray brokenGbk = gbkBytes + "\x81 \xFE" + gbkBytes + "\x81\x30";
    QTest::newRow("broken gbk") << QByteArray("text/html; charset=gbk") << brokenGbk
                                << QString(QStringDecoder("GB18030").decode(brokenGbk));
}

void TestPageFetcher::decodesByCharset()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(QString, expected);
    m_server->setHandler([=](const HttpRequest &) {
        HttpResponse response = HttpResponse::text(200, body, contentType);
        response.trickleBytes = std::max<int>(3, int(body.size() / 40));
        response.trickleMs = 1;
        return response;
    });
    PageFetcher fetcher;
    QString watched;
    const FetchResult result = fetcher.GetBody(m_server->base() + "/s/1", [&](const QString &text, qsizetype from) {
        QCOMPARE(from, watched.size());
        watched += text.mid(from);
    });
    QVERIFY(result.arrived());
    QCOMPARE(result.text, expected);
    QCOMPARE(watched, expected);

    BodyDecoder bytewise(contentType);
    for (const char byte : body)
        bytewise.append(QByteArrayView(&byte, 1));
    QCOMPARE(bytewise.finish(), expected);
}

void TestPageFetcher::emptyBodyIsEmptyText()
{
    m_server->setHandler([](const HttpRequest &) { return HttpResponse::text(200, ""); });
    PageFetcher fetcher;
    const FetchResult result = fetcher.GetBody(m_server->base() + "/empty");
    QVERIFY(result.arrived());
    QVERIFY(result.text.isEmpty());
}

void TestPageFetcher::nestedFetchesCompleteInnerFirst()
{
    m_server->setHandler([](const HttpRequest &request) {
        HttpResponse response = HttpResponse::text(200, request.path.toUtf8());
        if (request.path == QLatin1String("/outer"))
            response.delayMs = 400;
        return response;
    });
    PageFetcher fetcher;
    QStringList finished;
    // A handler that runs while the outer fetch waits starts a fetch of its own.
    QTimer::singleShot(50, &fetcher, [&] {
        const FetchResult inner = fetcher.GetBody(m_server->base() + "/inner");
        finished << (inner.arrived() ? inner.text : QStringLiteral("inner failed"));
    });
    const FetchResult outer = fetcher.GetBody(m_server->base() + "/outer");
    finished << (outer.arrived() ? outer.text : QStringLiteral("outer failed"));
    QCOMPARE(finished, QStringList({"/inner", "/outer"}));
}

void TestPageFetcher::windowKeepsTickingDuringSlowFetch()
{
    m_server->setHandler([](const HttpRequest &) {
        HttpResponse response = HttpResponse::text(200, "slow");
        response.delayMs = 500;
        return response;
    });
    PageFetcher fetcher;
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, &fetcher, [&] { ++ticks; });
    timer.start(10);
    const FetchResult result = fetcher.GetBody(m_server->base() + "/slow");
    QVERIFY(result.arrived());
    QVERIFY2(ticks >= 10, qPrintable(QStringLiteral("only %1 ticks").arg(ticks)));
}

void TestPageFetcher::timeLimitEndsSilentServer()
{
    m_server->setHandler([](const HttpRequest &) {
        HttpResponse response;
        response.neverAnswer = true;
        return response;
    });
    PageFetcher fetcher;
    fetcher.setTimeLimit(300);
    QElapsedTimer clock;
    clock.start();
    const FetchResult result = fetcher.GetBody(m_server->base() + "/silent");
    QVERIFY(!result.arrived());
    QVERIFY(!result.error.isEmpty());
    QVERIFY(result.text.isEmpty());
    QVERIFY2(clock.elapsed() < 5000, "the time limit did not end the wait");
}

void TestPageFetcher::failuresAreErrors_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("connection refused") << "refused";
    QTest::newRow("cut off mid-body") << "dropped";
    QTest::newRow("larger than the cap") << "huge";
    QTest::newRow("redirect loop") << "loop";
    QTest::newRow("not an address") << "garbage";
    QTest::newRow("empty address") << "empty";
    QTest::newRow("redirect to a file") << "redirect to file:///etc/hostname";
}

void TestPageFetcher::failuresAreErrors()
{
    QFETCH(QString, kind);
    PageFetcher fetcher;
    QString url = m_server->base() + "/page";
    if (kind == QLatin1String("refused")) {
        quint16 port = 0;
        {
            LoopbackServer gone;
            QVERIFY(gone.start());
            port = gone.port();
        }
        url = QStringLiteral("http://127.0.0.1:%1/page").arg(port);
    } else if (kind == QLatin1String("dropped")) {
        m_server->setHandler([](const HttpRequest &) {
            HttpResponse response = HttpResponse::text(200, QByteArray(200000, 'x'));
            response.dropAfter = 1000;
            return response;
        });
    } else if (kind == QLatin1String("huge")) {
        fetcher.setSizeLimit(4096);
        m_server->setHandler([](const HttpRequest &) {
            HttpResponse response = HttpResponse::text(200, QByteArray(100000, 'x'));
            response.framing = HttpResponse::Framing::Chunked;
            return response;
        });
    } else if (kind == QLatin1String("loop")) {
        m_server->setHandler([](const HttpRequest &request) {
            return HttpResponse::text(302, "again").withHeader("Location", request.target);
        });
    } else if (kind.startsWith(QLatin1String("redirect to "))) {
        const QByteArray target = kind.mid(12).toUtf8();
        m_server->setHandler([target](const HttpRequest &) {
            return HttpResponse::text(302, "elsewhere").withHeader("Location", target);
        });
    } else if (kind == QLatin1String("garbage")) {
        url = QStringLiteral("这不是地址");
    } else {
        url.clear();
    }
    const FetchResult result = fetcher.GetBody(url);
    QVERIFY(!result.arrived());
    QVERIFY(!result.error.isEmpty());
    QVERIFY(result.text.isEmpty());
}

QTEST_MAIN(TestPageFetcher)
#include "tst_pagefetcher.moc"

#include "download/batchqueue.h"
#include "download/cls_download.h"
#include "download/tagwriter.h"
#include "site/httpserver.h"
#include "site/replicasite.h"
#include "support/faults.h"
#include "support/songpages.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <atomic>

#include <unistd.h>

using Status = Cls_DownLoad::Status;
Q_DECLARE_METATYPE(Status)

namespace {

constexpr int kShortStall = 400; // ms; long enough for loopback, short enough for tests

QByteArray patterned(int size)
{
    QByteArray body(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        body[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
    return body;
}

QList<int> codes(std::initializer_list<Status> list)
{
    QList<int> out;
    for (Status s : list)
        out << Cls_DownLoad::code(s);
    return out;
}

// Everything one transfer reported.
struct Record
{
    QList<int> statuses;
    QList<qint64> totals;
    QList<qint64> sizes;
    QList<qint64> speeds;

    explicit Record(Cls_DownLoad &downloader)
    {
        QObject::connect(&downloader, &Cls_DownLoad::entDLFileStatus, &downloader,
                         [this](int state) { statuses << state; });
        QObject::connect(&downloader, &Cls_DownLoad::entDLFileDowning, &downloader,
                         [this](const QString &, qint64 done, qint64 size, qint64 speed) {
                             totals << done;
                             sizes << size;
                             speeds << speed;
                         });
    }
};

QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A port on 127.0.0.1 that nothing listens on.
quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

class TestDownload final : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void reportsEachStage_data();
    void reportsEachStage();
    void everyBodyShapeComesWhole_data();
    void everyBodyShapeComesWhole();
    void failedRequestWritesNothing_data();
    void failedRequestWritesNothing();
    void linksAreNeverWrittenThrough_data();
    void linksAreNeverWrittenThrough();
    void stoppedSlowTransferKeepsWhatCame();
    void followsARedirect();
    void asksAsVbHttpBypassingCaches();
    void speedIsTheFirstSecondValueUntilAWholeSecondPassed();
    void stopEndsAfterTheNextBlock();
    void stopWhileWaitingEndsAtOnce_data();
    void stopWhileWaitingEndsAtOnce();
    void staleStopDoesNotStopTheNextTransfer();
    void secondTransferIsRefusedWhileOneRuns();
    void shortBodyIsResumed_data();
    void shortBodyIsResumed();
    void existingLongerFileIsTruncated();
    void unwritableTargetIsReported();
    void replicaServesMp3sWithAndWithoutLength();
    void aBatchKeepsAWorkWhoseTagsFailed();

private:
    QString target(const QString &name = QStringLiteral("song.mp3")) const { return m_folder->filePath(name); }

    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<QTemporaryDir> m_folder;
};

void TestDownload::init()
{
    m_server = std::make_unique<LoopbackServer>();
    QVERIFY(m_server->start());
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
}

void TestDownload::cleanup()
{
    m_server.reset();
    m_folder.reset();
}

void TestDownload::reportsEachStage_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("framing");
    QTest::addColumn<QList<qint64>>("totals");
    QTest::addColumn<qint64>("announced");
    QTest::addColumn<QByteArray>("type");

    const int length = static_cast<int>(HttpResponse::Framing::ContentLength);
    const int chunked = static_cast<int>(HttpResponse::Framing::Chunked);
    const int untilClose = static_cast<int>(HttpResponse::Framing::UntilClose);
    const QByteArray mpeg = "audio/mpeg";
    QTest::newRow("exactly one block") << 512 << length << QList<qint64>{512} << qint64(512) << mpeg;
    QTest::newRow("three blocks") << 1536 << length << QList<qint64>{512, 1024, 1536} << qint64(1536) << mpeg;
    QTest::newRow("short last block") << 1100 << length << QList<qint64>{512, 1024, 1100} << qint64(1100) << mpeg;
    QTest::newRow("chunked, no length") << 1536 << chunked << QList<qint64>{512, 1024, 1536} << qint64(0) << mpeg;
    QTest::newRow("until close, no length") << 700 << untilClose << QList<qint64>{512, 700} << qint64(0) << mpeg;
    // Servers label real songs in many ways.
    QTest::newRow("labelled a web page") << 700 << length << QList<qint64>{512, 700} << qint64(700)
                                         << QByteArray("text/html");
    QTest::newRow("not labelled") << 700 << length << QList<qint64>{512, 700} << qint64(700) << QByteArray();
}

void TestDownload::reportsEachStage()
{
    QFETCH(int, size);
    QFETCH(int, framing);
    QFETCH(QList<qint64>, totals);
    QFETCH(qint64, announced);
    QFETCH(QByteArray, type);
    // An MPEG frame header first, as every song has.
    const QByteArray body = QByteArray::fromHex("fffb9064") + patterned(size - 4);
    m_server->setHandler([&](const HttpRequest &) {
        HttpResponse response = HttpResponse::text(200, body, type);
        response.framing = static_cast<HttpResponse::Framing>(framing);
        // Pieces smaller than a block must still make whole blocks.
        response.trickleBytes = 200;
        response.trickleMs = 1;
        return response;
    });

    Cls_DownLoad downloader;
    Record record(downloader);
    const QString url = m_server->base() + QStringLiteral("/a.mp3");
    QSignalSpy downing(&downloader, &Cls_DownLoad::entDLFileDowning);
    const qint64 written = downloader.DLFile(url, target(), 10000);

    QCOMPARE(written, qint64(size));
    QCOMPARE(record.statuses, codes({Status::Connecting, Status::Requesting, Status::QueryingSize, Status::Receiving,
                                     Status::DataComplete, Status::Finished}));
    QCOMPARE(record.totals, totals);
    QCOMPARE(record.sizes, QList<qint64>(totals.size(), announced));
    for (const QList<QVariant> &event : downing)
        QCOMPARE(event.at(0).toString(), url);
    QVERIFY(QFileInfo::exists(target()));
    QCOMPARE(fileContent(target()), body);
    QVERIFY(!downloader.isRunning());
}

void TestDownload::everyBodyShapeComesWhole_data()
{
    QTest::addColumn<int>("framing");
    QTest::addColumn<qint64>("piece"); // bytes per write, and per chunk of a chunked body
    QTest::addColumn<bool>("gzip");    // sent compressed although the client did not ask for it
    QTest::addColumn<int>("block");    // the window's 512, or the batch's 64 KiB

    const int length = static_cast<int>(HttpResponse::Framing::ContentLength);
    const int chunked = static_cast<int>(HttpResponse::Framing::Chunked);
    const int untilClose = static_cast<int>(HttpResponse::Framing::UntilClose);
    for (const int block : {512, 64 * 1024}) {
        const QByteArray tag = block == 512 ? " (window)" : " (batch)";
        QTest::newRow("length" + tag) << length << qint64(64 * 1024) << false << block;
        QTest::newRow("no length, ends at close" + tag) << untilClose << qint64(64 * 1024) << false << block;
        QTest::newRow("chunked, 1 MiB chunks" + tag) << chunked << qint64(1 << 20) << false << block;
        QTest::newRow("chunked, 100-byte chunks" + tag) << chunked << qint64(100) << false << block;
        QTest::newRow("gzip, chunked" + tag) << chunked << qint64(64 * 1024) << true << block;
    }
}

// However the server frames a body, it arrives whole, without waiting on the
// stall limit, in blocks of the size asked for.
void TestDownload::everyBodyShapeComesWhole()
{
    QFETCH(int, framing);
    QFETCH(qint64, piece);
    QFETCH(bool, gzip);
    QFETCH(int, block);
    const QByteArray body = patterned(6 << 20);
    const QByteArray sent = gzip ? gzipped(body) : body;
    QVERIFY(!sent.isEmpty());
    m_server->setHandler([&](const HttpRequest &) {
        // Servers label real songs in many ways.
        HttpResponse response = HttpResponse::text(200, sent, "application/octet-stream");
        response.framing = static_cast<HttpResponse::Framing>(framing);
        response.pieceBytes = piece;
        if (gzip)
            response.withHeader("Content-Encoding", "gzip");
        return response;
    });

    QNetworkAccessManager network;
    download::Transfer transfer(&network);
    transfer.setBlockSize(block);
    QList<qint64> totals;
    connect(&transfer, &download::Transfer::progress, this, [&](qint64 written) { totals << written; });
    QSignalSpy finished(&transfer, &download::Transfer::finished);
    transfer.start(m_server->base() + QStringLiteral("/a.mp3"), target(), 3000);
    QVERIFY(finished.wait(60000));

    QCOMPARE(finished.first().first().value<Status>(), Status::DataComplete);
    QCOMPARE(fileContent(target()), body);
    QCOMPARE(totals.size(), (body.size() + block - 1) / block);
    for (int i = 0; i + 1 < totals.size(); ++i)
        QCOMPARE(totals[i], qint64(i + 1) * block);
}

void TestDownload::followsARedirect()
{
    const QByteArray body = patterned(1536);
    m_server->setHandler([&](const HttpRequest &request) {
        if (request.path == QLatin1String("/moved.mp3"))
            return HttpResponse::text(302, "").withHeader("Location", "/a.mp3");
        return HttpResponse::text(200, body, "audio/mpeg");
    });
    Cls_DownLoad downloader;
    Record record(downloader);
    QCOMPARE(downloader.DLFile(m_server->base() + QStringLiteral("/moved.mp3"), target(), 10000), qint64(1536));
    QCOMPARE(record.statuses.constLast(), Cls_DownLoad::code(Status::Finished));
    QCOMPARE(fileContent(target()), body);
}

void TestDownload::failedRequestWritesNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<Status>("refusal"); // how the answer was refused for its body; RequestFailed: no answer
    const Status failed = Status::RequestFailed;
    QTest::newRow("404") << "404" << failed;
    QTest::newRow("500") << "500" << failed;
    QTest::newRow("unreachable") << "unreachable" << failed;
    QTest::newRow("never answers") << "silent" << failed;
    QTest::newRow("not an address") << "garbage" << failed;
    QTest::newRow("redirect loop") << "loop" << failed;
    QTest::newRow("a local file") << "file" << failed;
    QTest::newRow("a part nobody asked for (206)") << "206" << failed;
    QTest::newRow("a web page") << "200" << Status::NotAudio;
    QTest::newRow("an empty web page") << "empty page" << Status::NotAudio;
    QTest::newRow("markup labelled as audio") << "markup" << Status::NotAudio;
    QTest::newRow("a JSON message labelled as audio") << "json" << Status::NotAudio;
    QTest::newRow("plain text, no label") << "text" << Status::NotAudio;
    QTest::newRow("empty, with a length") << "empty" << Status::EmptyBody;
    QTest::newRow("empty, no length") << "empty until close" << Status::EmptyBody;
}

void TestDownload::failedRequestWritesNothing()
{
    QFETCH(QString, kind);
    QFETCH(Status, refusal);
    const Status failed = Status::RequestFailed;
    m_server->setHandler([&](const HttpRequest &) {
        if (kind == QLatin1String("206"))
            return HttpResponse::text(206, patterned(1000), "audio/mpeg")
                .withHeader("Content-Range", "bytes 1000-1999/5000");
        if (kind == QLatin1String("markup"))
            return HttpResponse::text(200, "\n <!DOCTYPE html><title>login</title>", "audio/mpeg");
        if (kind == QLatin1String("json"))
            return HttpResponse::text(200, "  {\"code\":503,\"msg\":\"server busy\"}", "audio/mpeg");
        if (kind == QLatin1String("text"))
            return HttpResponse::text(200, "服务器繁忙,请稍后再试", "");
        if (kind == QLatin1String("empty page"))
            return HttpResponse::text(200, "", "text/html");
        if (kind.startsWith(QLatin1String("empty"))) {
            HttpResponse response = HttpResponse::text(200, "", "audio/mpeg");
            if (kind.endsWith(QLatin1String("close")))
                response.framing = HttpResponse::Framing::UntilClose;
            return response;
        }
        if (kind == QLatin1String("silent")) {
            HttpResponse response;
            response.neverAnswer = true;
            return response;
        }
        if (kind == QLatin1String("loop"))
            return HttpResponse::text(302, "").withHeader("Location", "/a.mp3");
        return HttpResponse::text(kind.toInt(), "<html>error page</html>", "text/html");
    });
    QString url = m_server->base() + QStringLiteral("/a.mp3");
    if (kind == QLatin1String("unreachable"))
        url = QStringLiteral("http://127.0.0.1:%1/a.mp3").arg(closedPort());
    if (kind == QLatin1String("garbage"))
        url = QStringLiteral("::not an address::");
    if (kind == QLatin1String("file")) // a page may name one; it is never copied
        url = QUrl::fromLocalFile(QCoreApplication::applicationFilePath()).toString();

    {
        QFile earlier(target());
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
    }

    Cls_DownLoad downloader;
    Record record(downloader);
    QCOMPARE(downloader.DLFile(url, target(), kShortStall), qint64(0));
    QCOMPARE(record.statuses, refusal != failed
                                  ? codes({Status::Connecting, Status::Requesting, Status::QueryingSize,
                                           Status::Receiving, refusal, Status::Finished})
                                  : codes({Status::Connecting, Status::Requesting, failed, Status::Finished}));
    QVERIFY(!downloader.lastError().isEmpty());
    QVERIFY(record.totals.isEmpty());
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files), QStringList{QStringLiteral("song.mp3")});
    QCOMPARE(fileContent(target()), QByteArray("earlier"));
}

void TestDownload::linksAreNeverWrittenThrough_data()
{
    QTest::addColumn<QString>("planted"); // what stands where the transfer writes, pointing at the user's notes
    QTest::newRow("symbolic link as the part") << "part";
    QTest::newRow("hard link as the part") << "hard part";
    QTest::newRow("symbolic link as the target") << "target";
}

void TestDownload::linksAreNeverWrittenThrough()
{
    QFETCH(QString, planted);
    const QString notes = target(QStringLiteral("notes.txt"));
    {
        QFile file(notes);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("my notes") == 8);
    }
    const QString at = planted == QLatin1String("target") ? target() : Cls_DownLoad::partialPath(target());
    if (planted.startsWith(QLatin1String("hard")))
        QCOMPARE(::link(QFile::encodeName(notes).constData(), QFile::encodeName(at).constData()), 0);
    else
        QVERIFY(QFile::link(notes, at));
    const QByteArray body = patterned(3000);
    m_server->setHandler([&](const HttpRequest &) { return HttpResponse::text(200, body, "audio/mpeg"); });

    Cls_DownLoad downloader;
    QCOMPARE(downloader.DLFile(m_server->base() + QStringLiteral("/a.mp3"), target(), 10000), qint64(3000));
    QCOMPARE(fileContent(notes), QByteArray("my notes"));
    QVERIFY(!QFileInfo(target()).isSymLink());
    QCOMPARE(fileContent(target()), body);
    QVERIFY(!QFileInfo::exists(Cls_DownLoad::partialPath(target())));
}

// A batch transfer writes what comes as it comes: stopped, its part holds all of it.
void TestDownload::stoppedSlowTransferKeepsWhatCame()
{
    const QByteArray body = patterned(200 * 1000);
    m_server->setHandler([&](const HttpRequest &) {
        HttpResponse response = HttpResponse::text(200, body, "audio/mpeg");
        response.trickleBytes = 1000;
        response.trickleMs = 20;
        return response.withHeader("ETag", "\"v1\"");
    });
    QNetworkAccessManager network;
    download::Transfer transfer(&network);
    transfer.setBlockSize(64 * 1024, download::Transfer::Fill::AsReceived);
    connect(&transfer, &download::Transfer::progress, this, [&](qint64 written) {
        if (written >= 3000)
            transfer.stop();
    });
    QSignalSpy finished(&transfer, &download::Transfer::finished);
    transfer.start(m_server->base() + QStringLiteral("/a.mp3"), target(), 10000);
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.first().first().value<Status>(), Status::Stopped);
    const QByteArray kept = fileContent(Cls_DownLoad::partialPath(target()));
    QVERIFY2(kept.size() >= 3000, qPrintable(QString::number(kept.size())));
    QCOMPARE(qint64(kept.size()), transfer.written());
    QCOMPARE(kept, body.left(kept.size()));
}

void TestDownload::asksAsVbHttpBypassingCaches()
{
    m_server->setHandler([](const HttpRequest &) { return HttpResponse::text(200, "\xff\xfb", "audio/mpeg"); });
    Cls_DownLoad downloader;
    QCOMPARE(downloader.DLFile(m_server->base() + QStringLiteral("/a.mp3?x=1"), target(), 10000), qint64(2));
    const QList<HttpRequest> requests = m_server->requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests[0].method, QByteArray("GET"));
    QCOMPARE(requests[0].target, QByteArray("/a.mp3?x=1"));
    QCOMPARE(requests[0].header("user-agent"), QByteArray("VB Http"));
    QCOMPARE(requests[0].header("cache-control"), QByteArray("no-cache"));
    QVERIFY(requests[0].header("range").isEmpty());
}

void TestDownload::speedIsTheFirstSecondValueUntilAWholeSecondPassed()
{
    // Two blocks 1.7 s apart: the whole seconds elapsed at the second block
    // are 1 or 2 (the start is counted from its rounded second).
    m_server->setHandler([](const HttpRequest &) {
        HttpResponse response = HttpResponse::text(200, patterned(1024));
        response.trickleBytes = 512;
        response.trickleMs = 1700;
        return response;
    });
    Cls_DownLoad downloader;
    Record record(downloader);
    QCOMPARE(downloader.DLFile(m_server->base() + QStringLiteral("/a.mp3"), target(), 10000), qint64(1024));
    QCOMPARE(record.speeds.size(), 2);
    QVERIFY2(record.speeds[0] == Cls_DownLoad::kFirstSecondSpeed || record.speeds[0] == 512,
             qPrintable(QString::number(record.speeds[0])));
    QVERIFY2(record.speeds[1] == 1024 || record.speeds[1] == 512, qPrintable(QString::number(record.speeds[1])));

    // A quick transfer mostly ends inside its first whole second.
    m_server->setHandler([](const HttpRequest &) { return HttpResponse::text(200, patterned(4096)); });
    Record quick(downloader);
    QCOMPARE(downloader.DLFile(m_server->base() + QStringLiteral("/b.mp3"), target(), 10000), qint64(4096));
    for (int i = 0; i < quick.speeds.size(); ++i)
        QVERIFY(quick.speeds[i] == Cls_DownLoad::kFirstSecondSpeed || quick.speeds[i] == quick.totals[i]);
}

void TestDownload::stopEndsAfterTheNextBlock()
{
    const QByteArray body = patterned(64 * 1024);
    m_server->setHandler([&](const HttpRequest &) { return HttpResponse::text(200, body); });
    Cls_DownLoad downloader;
    Record record(downloader);
    // Asked from an event the window handles after the third block.
    connect(&downloader, &Cls_DownLoad::entDLFileDowning, this, [&](const QString &, qint64 done) {
        if (done == 3 * 512)
            QTimer::singleShot(0, &downloader, &Cls_DownLoad::DLFileStop);
    });
    const qint64 written = downloader.DLFile(m_server->base() + QStringLiteral("/a.mp3"), target(), 10000);

    QCOMPARE(written, qint64(4 * 512));
    QCOMPARE(record.totals, (QList<qint64>{512, 1024, 1536, 2048}));
    QCOMPARE(record.statuses.mid(4), codes({Status::Stopped, Status::Finished}));
    QCOMPARE(fileContent(Cls_DownLoad::partialPath(target())), body.left(2048));
    QVERIFY(!QFileInfo::exists(target()));
}

void TestDownload::stopWhileWaitingEndsAtOnce_data()
{
    QTest::addColumn<bool>("headersSent");
    QTest::newRow("waiting for the answer") << false;
    QTest::newRow("waiting for the body") << true;
}

void TestDownload::stopWhileWaitingEndsAtOnce()
{
    QFETCH(bool, headersSent);
    m_server->setHandler([&](const HttpRequest &) {
        HttpResponse response = HttpResponse::text(200, patterned(4096));
        response.neverAnswer = !headersSent;
        response.trickleBytes = 100; // less than a block, then nothing for a minute
        response.trickleMs = 60000;
        return response;
    });
    Cls_DownLoad downloader;
    Record record(downloader);
    QTimer::singleShot(100, &downloader, &Cls_DownLoad::DLFileStop);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(downloader.DLFile(m_server->base() + QStringLiteral("/a.mp3"), target(), 30000), qint64(0));
    QVERIFY(clock.elapsed() < 5000);
    QCOMPARE(record.statuses.last(2), codes({Status::Stopped, Status::Finished}));
    QCOMPARE(record.statuses.contains(Cls_DownLoad::code(Status::Receiving)), headersSent);
    // Nothing was kept, so nothing is left behind.
    QVERIFY(!QFileInfo::exists(target()));
    QVERIFY(!QFileInfo::exists(Cls_DownLoad::partialPath(target())));
}

void TestDownload::staleStopDoesNotStopTheNextTransfer()
{
    const QByteArray body = patterned(8192);
    m_server->setHandler([&](const HttpRequest &) { return HttpResponse::text(200, body); });
    Cls_DownLoad downloader;
    const QString url = m_server->base() + QStringLiteral("/a.mp3");

    downloader.DLFileStop(); // nothing runs
    QCOMPARE(downloader.DLFile(url, target(), 10000), body.size());

    // Asked once the data is complete, too late for the transfer to act on.
    auto late = connect(&downloader, &Cls_DownLoad::entDLFileStatus, &downloader, [&](int state) {
        if (state == Cls_DownLoad::code(Status::DataComplete))
            downloader.DLFileStop();
    });
    QCOMPARE(downloader.DLFile(url, target(), 10000), body.size());
    disconnect(late);

    Record record(downloader);
    QCOMPARE(downloader.DLFile(url, target(), 10000), body.size());
    QCOMPARE(record.statuses.last(2), codes({Status::DataComplete, Status::Finished}));
}

void TestDownload::secondTransferIsRefusedWhileOneRuns()
{
    const QByteArray body = patterned(2048);
    m_server->setHandler([&](const HttpRequest &) { return HttpResponse::text(200, body); });
    Cls_DownLoad downloader;
    Record record(downloader);
    const QString url = m_server->base() + QStringLiteral("/a.mp3");
    qint64 nested = -1;
    connect(&downloader, &Cls_DownLoad::entDLFileDowning, this, [&](const QString &, qint64 done) {
        if (done == 512)
            nested = downloader.DLFile(url, target(QStringLiteral("other.mp3")), 10000);
    });
    QCOMPARE(downloader.DLFile(url, target(), 10000), qint64(2048));
    QCOMPARE(nested, qint64(0));
    QCOMPARE(record.statuses, codes({Status::Connecting, Status::Requesting, Status::QueryingSize, Status::Receiving,
                                     Status::DataComplete, Status::Finished}));
    QCOMPARE(m_server->requestCount(), 1);
    QVERIFY(!QFileInfo::exists(target(QStringLiteral("other.mp3"))));
    QCOMPARE(fileContent(target()), body);
}

void TestDownload::shortBodyIsResumed_data()
{
    QTest::addColumn<QString>("first");        // how the first answer breaks
    QTest::addColumn<QString>("later");        // how every later answer behaves
    QTest::addColumn<QByteArray>("validator"); // what names the resource in the answers, if anything
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("requests");
    QTest::addColumn<int>("restarts"); // how often the file started over

    const int complete = Cls_DownLoad::code(Status::DataComplete);
    const int incomplete = Cls_DownLoad::code(Status::Incomplete);
    const int retries = 1 + Cls_DownLoad::kMaxResumes;
    const QByteArray none;
    const QByteArray etag = "ETag";
    const QByteArray modified = "Last-Modified";
    QTest::newRow("dropped, range honoured") << QStringLiteral("drop") << "range" << none << complete << 2 << 0;
    QTest::newRow("stalled, range honoured") << QStringLiteral("stall") << "range" << none << complete << 2 << 0;
    QTest::newRow("range ignored, same ETag") << QStringLiteral("drop") << "whole" << etag << complete << 2 << 0;
    QTest::newRow("range ignored, same date") << QStringLiteral("drop") << "whole" << modified << complete << 2 << 0;
    // Nothing proves the whole body sent again is the same file.
    QTest::newRow("range ignored, unproven") << QStringLiteral("drop") << "whole" << none << complete << 2 << 1;
    QTest::newRow("dropped every time") << QStringLiteral("drop") << "drop" << none << incomplete << retries << 3;
    QTest::newRow("dropped, then not found") << QStringLiteral("drop") << "404" << none << incomplete << retries << 0;
    QTest::newRow("dropped, then changed") << QStringLiteral("drop") << "other" << etag << complete << 2 << 1;
    // The rest of another version is no rest of this one: the new one comes whole.
    QTest::newRow("dropped, then a range of another version (If-Range ignored)")
        << QStringLiteral("drop") << "other, ranged" << etag << complete << 3 << 1;
    // Without a length there is no telling where to go on from.
    QTest::newRow("chunked and stalled") << QStringLiteral("chunked-stall") << "range" << none << incomplete << 1 << 0;
}

void TestDownload::shortBodyIsResumed()
{
    QFETCH(QString, first);
    QFETCH(QString, later);
    QFETCH(QByteArray, validator);
    QFETCH(int, end);
    QFETCH(int, requests);
    QFETCH(int, restarts);
    const QByteArray body = patterned(8000);
    const QByteArray changed = patterned(8000).toUpper();
    const QByteArray version = validator == "ETag" ? QByteArray("\"v1\"") : QByteArray("Tue, 01 Apr 2025 10:00:00 GMT");
    m_server->setHandler([&](const HttpRequest &request) {
        const bool isFirst = m_server->requestCount() == 1;
        const QString &mode = isFirst ? first : later;
        if (mode == QLatin1String("other, ranged"))
            return ifRangeIgnored(request, changed, "audio/mpeg");
        HttpResponse response = HttpResponse::text(200, body, "audio/mpeg");
        if (mode == QLatin1String("range"))
            response = rangedBody(request, body, "audio/mpeg");
        if (mode == QLatin1String("drop"))
            response.hangUpAfter = 3000;
        if (mode == QLatin1String("chunked-stall"))
            response.framing = HttpResponse::Framing::Chunked;
        if (mode.endsWith(QLatin1String("stall"))) {
            response.trickleBytes = 3000;
            response.trickleMs = 60000;
        }
        if (mode == QLatin1String("404"))
            return HttpResponse::text(404, "gone");
        if (!validator.isEmpty())
            response.withHeader(validator, mode == QLatin1String("other") ? "\"v2\"" : version);
        if (mode == QLatin1String("other"))
            response.body = changed;
        return response;
    });

    Cls_DownLoad downloader;
    Record record(downloader);
    const qint64 written = downloader.DLFile(m_server->base() + QStringLiteral("/a.mp3"), target(), kShortStall);

    QCOMPARE(record.statuses.last(2), (QList<int>{end, Cls_DownLoad::code(Status::Finished)}));
    QCOMPARE(m_server->requestCount(), requests);
    QCOMPARE(m_server->requests().value(1).header("if-range"), validator.isEmpty() ? QByteArray() : version);
    const bool done = end == Cls_DownLoad::code(Status::DataComplete);
    const QByteArray kept = fileContent(done ? target() : Cls_DownLoad::partialPath(target()));
    QCOMPARE(QFileInfo::exists(Cls_DownLoad::partialPath(target())), !done);
    QCOMPARE(written, qint64(kept.size()));
    QCOMPARE(record.totals.last(), written);
    int startedOver = 0;
    for (int i = 1; i < record.totals.size(); ++i)
        startedOver += record.totals[i] < record.totals[i - 1];
    QCOMPARE(startedOver, restarts);
    if (later.startsWith(QLatin1String("other"))) {
        QCOMPARE(kept, changed);
    } else if (done) {
        QCOMPARE(kept, body);
        QCOMPARE(m_server->requests().at(1).header("range"), QByteArray("bytes=3000-"));
    } else {
        QCOMPARE(kept, body.left(kept.size()));
        QVERIFY(written < body.size());
    }
}

void TestDownload::existingLongerFileIsTruncated()
{
    {
        QFile old(target());
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(10000, 'o'));
    }
    const QByteArray body = patterned(1536);
    m_server->setHandler([&](const HttpRequest &) { return HttpResponse::text(200, body); });
    Cls_DownLoad downloader;
    QCOMPARE(downloader.DLFile(m_server->base() + QStringLiteral("/a.mp3"), target(), 10000), qint64(1536));
    QCOMPARE(fileContent(target()), body);
}

void TestDownload::unwritableTargetIsReported()
{
    m_server->setHandler([](const HttpRequest &) { return HttpResponse::text(200, patterned(2048)); });
    Cls_DownLoad downloader;
    Record record(downloader);
    const QString path = target(QStringLiteral("no/such/folder/a.mp3"));
    QCOMPARE(downloader.DLFile(m_server->base() + QStringLiteral("/a.mp3"), path, 10000), qint64(0));
    QCOMPARE(record.statuses, codes({Status::Connecting, Status::Requesting, Status::QueryingSize, Status::Receiving,
                                     Status::WriteFailed, Status::Finished}));
    QVERIFY(downloader.lastError().contains(QStringLiteral("a.mp3.part")));
    QVERIFY(!downloader.isRunning());
}

void TestDownload::replicaServesMp3sWithAndWithoutLength()
{
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("audio")));
    const QByteArray song = patterned(5000);
    {
        QFile mp3(root.filePath(QStringLiteral("audio/3109.mp3")));
        QVERIFY(mp3.open(QIODevice::WriteOnly));
        mp3.write(song);
    }
    const HttpHandler site = replicaSite(root.path());
    // The first answer breaks off; the replica serves the rest as a range.
    std::atomic<bool> answered{false};
    m_server->setHandler([&](const HttpRequest &request) {
        HttpResponse response = site(request);
        if (!answered.exchange(true))
            response.hangUpAfter = 1234;
        return response;
    });
    const QString address = m_server->base() + QStringLiteral("/userdata/userwork/109/3109.mp3");

    Cls_DownLoad downloader;
    Record record(downloader);
    QCOMPARE(downloader.DLFile(address, target(), kShortStall), qint64(song.size()));
    QCOMPARE(fileContent(target()), song);
    QCOMPARE(record.sizes.first(), qint64(song.size()));
    QCOMPARE(m_server->requestCount(), 2);
    QCOMPARE(m_server->requests().last().header("range"), QByteArray("bytes=1234-"));

    m_server->setHandler(site);
    Record chunked(downloader);
    QCOMPARE(downloader.DLFile(address + QStringLiteral("?framing=chunked"), target(), kShortStall),
             qint64(song.size()));
    QCOMPARE(fileContent(target()), song);
    QCOMPARE(chunked.sizes, QList<qint64>(chunked.sizes.size(), 0));
}

// Tags go into the part before it is placed: when they cannot be written the
// work is still saved, archived and counted done, with a note; a later run
// knows the file by its own note and asks nothing more for it.
void TestDownload::aBatchKeepsAWorkWhoseTagsFailed()
{
    struct FailingTags final : download::TagWriter
    {
        QString write(const QString &, const download::WorkTags &) override { return QStringLiteral("no room"); }
        QString pageAddress(const QString &) override { return QString(); }
    };
    const SongPage song;
    const QByteArray mp3 = QByteArray::fromHex("fffb9064") + patterned(5000);
    SongSite site;
    site.page(QStringLiteral("w0"), song);
    site.file(song.audioPath, mp3, "audio/mpeg");
    m_server->setHandler(site.handler(m_server->base()));
    AppConfig config;
    config.siteBase = m_server->base();
    download::BatchOptions options;
    options.folder = m_folder->filePath(QStringLiteral("Music"));
    options.tag = true;
    options.tags = std::make_shared<FailingTags>();
    options.archiveFile = target(QStringLiteral("done.txt"));
    options.sourceIndex = target(QStringLiteral("sources.txt"));
    for (const auto status : {download::WorkOutcome::Status::Done, download::WorkOutcome::Status::Skipped}) {
        download::BatchQueue queue(config, options);
        queue.addSongPage(m_server->base() + QStringLiteral("/s/w0"));
        QSignalSpy finished(&queue, &download::BatchQueue::finished);
        queue.start();
        QVERIFY(finished.wait(10000));
        const download::WorkOutcome outcome = queue.outcomes().value(0);
        QCOMPARE(outcome.status, status);
        QCOMPARE(outcome.reason,
                 status == download::WorkOutcome::Status::Done ? QStringLiteral("标签写入失败") : QString());
        QCOMPARE(fileContent(target(QStringLiteral("done.txt"))), QByteArray("5200109\n"));
        options.archiveFile.clear(); // the second run goes by the file's own note
    }
    QCOMPARE(QDir(options.folder).entryList(QDir::Files), QStringList{QStringLiteral("晴天 - 林小夏.mp3")});
    QCOMPARE(fileContent(QDir(options.folder).filePath(QStringLiteral("晴天 - 林小夏.mp3"))), mp3);
    int asked = 0;
    for (const HttpRequest &request : m_server->requests())
        asked += request.path == song.audioPath ? 1 : 0;
    QCOMPARE(asked, 1);
}

QTEST_MAIN(TestDownload)
#include "tst_download.moc"

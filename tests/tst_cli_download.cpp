#include "support/songpages.h"

#include "site/replicasite.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/urllinkframe.h>

namespace {

// A few seconds of silent MPEG-1 Layer III frames, different for each work.
QByteArray mp3(char fill)
{
    QByteArray frame = QByteArray::fromHex("fffb9064") + QByteArray(417 - 4, fill);
    return frame.repeated(20);
}

QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestCliDownload final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void batchDownloadsTagsArchivesAndListsFailures();
    void resumesAKeptPartFile_data();
    void resumesAKeptPartFile();

private:
    // Runs the command with the site aimed at the test server; returns its exit status.
    int run(const QStringList &arguments);
    QString path(const QString &name) const { return QDir(m_folder->path()).filePath(name); }

    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<QTemporaryDir> m_folder;
    QByteArray m_output;
    QHash<QString, QByteArray> m_songs; // audio path -> body
    HttpHandler m_pages;
};

void TestCliDownload::init()
{
    m_server = std::make_unique<LoopbackServer>();
    m_folder = std::make_unique<QTemporaryDir>();
    m_songs.clear();
    QVERIFY(m_server->start());
    SongSite site;
    const QStringList titles{QStringLiteral("晴天"), QStringLiteral("夜曲"), QStringLiteral("稻香/新版"),
                             QStringLiteral("失踪")};
    for (int i = 0; i < titles.size(); ++i) {
        SongPage page;
        page.title = titles[i];
        page.audioPath = QStringLiteral("/userdata/userwork/a109/52%1.mp3").arg(i);
        site.page(QStringLiteral("w%1").arg(i), page);
        if (i < 3)
            m_songs.insert(page.audioPath, mp3(char('a' + i)));
    }
    site.file(QStringLiteral("/img/avatar/1001.gif"), replicaFile(QStringLiteral("img/avatar/1002.gif")), "image/gif");
    const HttpHandler pages = site.handler(m_server->base());
    m_pages = pages;
    const auto songs = m_songs;
    m_server->setHandler([pages, songs](const HttpRequest &request) {
        const auto song = songs.constFind(request.path);
        return song != songs.cend() ? rangedBody(request, *song, "audio/mpeg") : pages(request);
    });
}

int TestCliDownload::run(const QStringList &arguments)
{
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("CANTORA_SITE_BASE"), m_server->base());
    cli.setProcessEnvironment(environment);
    cli.start(QStringLiteral(CANTORA_CLI), QStringList{QStringLiteral("download")} + arguments);
    if (!cli.waitForFinished(60000))
        return -1;
    m_output = cli.readAllStandardOutput() + cli.readAllStandardError();
    return cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
}

void TestCliDownload::batchDownloadsTagsArchivesAndListsFailures()
{
    QStringList arguments{QStringLiteral("-j"),
                          QStringLiteral("4"),
                          QStringLiteral("--tag"),
                          QStringLiteral("-o"),
                          m_folder->path(),
                          QStringLiteral("--archive"),
                          path(QStringLiteral("done.txt")),
                          QStringLiteral("--retries"),
                          QStringLiteral("1")};
    for (int i = 0; i < 4; ++i)
        arguments << m_server->base() + QStringLiteral("/s/w%1").arg(i);

    QCOMPARE(run(arguments), 1);
    QVERIFY2(m_output.contains("批量下载完成: 3 个成功, 1 个失败, 0 个跳过"), m_output.constData());
    // The failure names its work and the window's words for it.
    QVERIFY2(m_output.contains("/s/w3: 抱歉!发送请求失败.. (HTTP 404)"), m_output.constData());
    // A slash in a title cannot lead out of the folder.
    const QStringList names{QStringLiteral("晴天 - 林小夏.mp3"), QStringLiteral("夜曲 - 林小夏.mp3"),
                            QStringLiteral("稻香_新版 - 林小夏.mp3")};
    QStringList sorted = names;
    sorted.sort();
    QCOMPARE(QDir(m_folder->path()).entryList({QStringLiteral("*.mp3*")}, QDir::Files, QDir::Name), sorted);
    QCOMPARE(fileContent(path(QStringLiteral("done.txt"))).split('\n').size(), 4);

    for (int i = 0; i < 3; ++i) {
        TagLib::MPEG::File file(QFile::encodeName(path(names[i])).constData());
        TagLib::ID3v2::Tag *tag = file.ID3v2Tag();
        QVERIFY(tag);
        QCOMPARE(tag->header()->majorVersion(), 4u);
        QCOMPARE(QString::fromStdString(tag->title().to8Bit(true)),
                 names[i].section(QStringLiteral(" - "), 0, 0).replace(QLatin1Char('_'), QLatin1Char('/')));
        QCOMPARE(QString::fromStdString(tag->artist().to8Bit(true)), QStringLiteral("林小夏"));
        const TagLib::ID3v2::FrameList pictures = tag->frameList("APIC");
        QCOMPARE(pictures.size(), 1u);
        auto *picture = static_cast<TagLib::ID3v2::AttachedPictureFrame *>(pictures.front());
        QCOMPARE(picture->type(), TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        QVERIFY(picture->picture().startsWith("GIF8"));
        const TagLib::ID3v2::FrameList pages = tag->frameList("WOAS");
        QCOMPARE(pages.size(), 1u);
        QCOMPARE(QString::fromStdString(static_cast<TagLib::ID3v2::UrlLinkFrame *>(pages.front())->url().to8Bit(true)),
                 m_server->base() + QStringLiteral("/s/w%1").arg(i));
        // The audio itself is untouched behind the tag.
        QVERIFY(fileContent(path(names[i]))
                    .endsWith(m_songs.value(QStringLiteral("/userdata/userwork/a109/52%1.mp3").arg(i))));
    }

    // Again: the archived works are looked up but not fetched; the failure stays.
    const int before = m_server->requestCount();
    QCOMPARE(run(arguments), 1);
    QVERIFY2(m_output.contains("批量下载完成: 0 个成功, 1 个失败, 3 个跳过"), m_output.constData());
    int audio = 0;
    for (const HttpRequest &request : m_server->requests().mid(before))
        audio += request.path.endsWith(QLatin1String(".mp3"));
    QCOMPARE(audio, 1); // only the missing one, and once: a 404 is no network error
}

void TestCliDownload::resumesAKeptPartFile_data()
{
    QTest::addColumn<QString>("before");   // what lies where the work's .part goes
    QTest::addColumn<QByteArray>("range"); // what the next run asks for
    QTest::addColumn<bool>("changed");     // the song changed on the server meanwhile

    QTest::newRow("left by a run cut short") << QStringLiteral("cut") << QByteArray("bytes=3000-") << false;
    QTest::newRow("left, then the song changed") << QStringLiteral("cut") << QByteArray("bytes=3000-") << true;
    QTest::newRow("left by another work's run") << QStringLiteral("other") << QByteArray() << false;
    QTest::newRow("made by hand, source unknown") << QStringLiteral("hand") << QByteArray() << false;
    QTest::newRow("a link to the user's notes") << QStringLiteral("link") << QByteArray() << false;
}

// Only a part that a run left of the same song is carried on; anything else
// is started over, and a link is never written through.
void TestCliDownload::resumesAKeptPartFile()
{
    QFETCH(QString, before);
    QFETCH(QByteArray, range);
    QFETCH(bool, changed);
    const QString audio = QStringLiteral("/userdata/userwork/a109/520.mp3");
    const QByteArray song = m_songs.value(audio);
    const QByteArray newer = mp3('z');
    const QString target = path(QStringLiteral("晴天 - 林小夏.mp3"));
    const QString part = target + QStringLiteral(".part");
    const QString notes = path(QStringLiteral("notes.txt"));
    std::atomic<bool> cut{before != QLatin1String("hand") && before != QLatin1String("link")};
    std::atomic<bool> updated{false};
    const auto songs = m_songs;
    const HttpHandler pages = m_pages;
    m_server->setHandler([&, songs, pages](const HttpRequest &request) {
        const auto found = songs.constFind(request.path);
        if (found == songs.cend())
            return pages(request);
        if (!cut)
            return rangedBody(request, updated && request.path == audio ? newer : *found, "audio/mpeg");
        if (!request.header("range").isEmpty())
            return HttpResponse::text(503, "busy");
        HttpResponse response = rangedBody(request, *found, "audio/mpeg");
        response.hangUpAfter = 3000;
        return response;
    });
    const QString folder = m_folder->path();
    if (before == QLatin1String("hand")) {
        QFile hand(part);
        QVERIFY(hand.open(QIODevice::WriteOnly));
        hand.write(song.left(3000));
    } else if (before == QLatin1String("link")) {
        QFile file(notes);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("my notes");
        file.close();
        QVERIFY(QFile::link(notes, part));
    } else {
        const QString work = before == QLatin1String("other") ? QStringLiteral("w1") : QStringLiteral("w0");
        QCOMPARE(run({QStringLiteral("-o"), folder, QStringLiteral("--retries"), QStringLiteral("0"),
                      m_server->base() + QStringLiteral("/s/") + work}),
                 1);
        cut = false;
        if (work == QLatin1String("w1"))
            QVERIFY(QFile::rename(path(QStringLiteral("夜曲 - 林小夏.mp3.part")), part));
        QCOMPARE(QFileInfo(part).size(), qint64(3000));
    }
    updated = changed;

    const int asked = m_server->requestCount();
    QCOMPARE(run({QStringLiteral("-o"), folder, m_server->base() + QStringLiteral("/s/w0")}), 0);
    QCOMPARE(fileContent(target), changed ? newer : song);
    QVERIFY(!QFileInfo(target).isSymLink());
    QVERIFY(!QFileInfo::exists(part) && !QFileInfo(part).isSymLink());
    QByteArray firstRange = "none";
    for (const HttpRequest &request : m_server->requests().mid(asked)) {
        if (request.path == audio) {
            firstRange = request.header("range");
            break;
        }
    }
    QCOMPARE(firstRange, range);
    if (before == QLatin1String("link"))
        QCOMPARE(fileContent(notes), QByteArray("my notes"));
}

QTEST_GUILESS_MAIN(TestCliDownload)
#include "tst_cli_download.moc"

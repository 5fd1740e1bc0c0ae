#include "support/songpages.h"

#include "site/replicasite.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

#include <sys/stat.h>

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

// What a test puts in the folder before a run: "name=text" a file, "name>target" a link, "name/" a folder,
// "name|" a pipe.
void place(const QDir &folder, const QString &entry)
{
    const qsizetype mark = entry.indexOf(QRegularExpression(QStringLiteral("[=>/|]")));
    const QString name = folder.filePath(entry.left(mark));
    const QChar kind = entry.at(mark);
    if (kind == QLatin1Char('=')) {
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(entry.mid(mark + 1).toUtf8());
    } else if (kind == QLatin1Char('>')) {
        QVERIFY(QFile::link(folder.filePath(entry.mid(mark + 1)), name));
    } else if (kind == QLatin1Char('/')) {
        QVERIFY(folder.mkpath(name));
    } else {
        QCOMPARE(::mkfifo(QFile::encodeName(name).constData(), 0600), 0);
    }
}

} // namespace

class TestCliDownload final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void batchDownloadsTagsArchivesAndListsFailures();
    void resumesAKeptPartFile();
    void everyWorkGetsAFileOfItsOwn_data();
    void everyWorkGetsAFileOfItsOwn();
    void optionsAndArchiveAreChecked_data();
    void optionsAndArchiveAreChecked();
    void aStopSignalActsAtOnce_data();
    void aStopSignalActsAtOnce();

private:
    // Starts the command with the site aimed at the test server; {base} and
    // {dir} in `arguments` stand for the site and the scratch folder.
    void launch(QProcess &cli, const QStringList &arguments);
    // Runs it to its end; returns its exit status.
    int run(const QStringList &arguments);
    QString path(const QString &name) const { return QDir(m_folder->path()).filePath(name); }

    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<QTemporaryDir> m_folder;
    QByteArray m_output;
    QHash<QString, QByteArray> m_songs; // audio path -> body
    bool m_trickle = false;             // the MP3s come 100 bytes a second
    std::function<void()> m_onAudio;    // run on the server as an MP3 is asked for
};

void TestCliDownload::init()
{
    m_server = std::make_unique<LoopbackServer>();
    m_folder = std::make_unique<QTemporaryDir>();
    m_songs.clear();
    QVERIFY(m_server->start());
    m_trickle = false;
    m_onAudio = nullptr;
    SongSite site;
    // w3 has no MP3; w4 is another 晴天; w5 and w6 are equal once cut to fit a file name.
    const QString longTitle = QString(100, QChar(0x957f));
    const QStringList titles{QStringLiteral("晴天"),          QStringLiteral("夜曲"), QStringLiteral("稻香/新版"),
                             QStringLiteral("失踪"),          QStringLiteral("晴天"), longTitle + QStringLiteral("甲"),
                             longTitle + QStringLiteral("乙")};
    for (int i = 0; i < titles.size(); ++i) {
        SongPage page;
        page.title = titles[i];
        page.audioPath = QStringLiteral("/userdata/userwork/a109/52%1.mp3").arg(i);
        site.page(QStringLiteral("w%1").arg(i), page);
        if (i != 3)
            m_songs.insert(page.audioPath, mp3(char('a' + i)));
    }
    site.file(QStringLiteral("/img/avatar/1001.gif"), replicaFile(QStringLiteral("img/avatar/1002.gif")), "image/gif");
    const HttpHandler pages = site.handler(m_server->base());
    const auto songs = m_songs;
    m_server->setHandler([this, pages, songs](const HttpRequest &request) {
        const auto song = songs.constFind(request.path);
        if (request.path == QLatin1String("/userPage.php")) {
            HttpResponse silent;
            silent.neverAnswer = true;
            return silent;
        }
        if (song == songs.cend())
            return pages(request);
        if (m_onAudio)
            m_onAudio();
        HttpResponse answer = rangedBody(request, *song, "audio/mpeg");
        if (m_trickle) {
            answer.trickleBytes = 100;
            answer.trickleMs = 1000;
        }
        return answer;
    });
}

void TestCliDownload::launch(QProcess &cli, const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("CANTORA_SITE_BASE"), m_server->base());
    cli.setProcessEnvironment(environment);
    QStringList words{QStringLiteral("download")};
    for (const QString &word : arguments)
        words << QString(word)
                     .replace(QLatin1String("{base}"), m_server->base())
                     .replace(QLatin1String("{dir}"), m_folder->path());
    cli.start(QStringLiteral(CANTORA_CLI), words);
}

int TestCliDownload::run(const QStringList &arguments)
{
    QProcess cli;
    launch(cli, arguments);
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

void TestCliDownload::resumesAKeptPartFile()
{
    const QByteArray song = m_songs.value(QStringLiteral("/userdata/userwork/a109/520.mp3"));
    const QString target = path(QStringLiteral("晴天 - 林小夏.mp3"));
    {
        QFile part(target + QStringLiteral(".part"));
        QVERIFY(part.open(QIODevice::WriteOnly));
        part.write(song.left(3000));
    }
    QCOMPARE(run({QStringLiteral("-o"), m_folder->path(), m_server->base() + QStringLiteral("/s/w0")}), 0);
    QCOMPARE(fileContent(target), song);
    QVERIFY(!QFile::exists(target + QStringLiteral(".part")));
    QCOMPARE(m_server->requests().constLast().header("range"), QByteArray("bytes=3000-"));
}

void TestCliDownload::everyWorkGetsAFileOfItsOwn_data()
{
    QTest::addColumn<QStringList>("pages");
    QTest::addColumn<QStringList>("before"); // what the folder holds before (see place())
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("runs");
    QTest::addColumn<int>("files"); // *.mp3 in the folder after

    const QString sunny = QStringLiteral("晴天 - 林小夏.mp3");
    QTest::newRow("same title, same singer") << QStringList{"w0", "w4"} << QStringList() << QStringList() << 1 << 2;
    QTest::newRow("titles equal once cut") << QStringList{"w5", "w6"} << QStringList() << QStringList() << 1 << 2;
    QTest::newRow("one work queued twice") << QStringList{"w0", "w0"} << QStringList() << QStringList() << 1 << 1;
    QTest::newRow("a file of the user's")
        << QStringList{"w0"} << QStringList{sunny + "=mine"} << QStringList() << 1 << 2;
    QTest::newRow("a link at the name") << QStringList{"w0"} << QStringList{"notes.txt=mine", sunny + ">notes.txt"}
                                        << QStringList() << 1 << 2;
    QTest::newRow("its own tagged file again") << QStringList{"w0"} << QStringList() << QStringList{"--tag"} << 2 << 1;
    QTest::newRow("an untagged file again") << QStringList{"w0"} << QStringList() << QStringList() << 2 << 2;
}

// Two works never end in one file, a file not shown to be the work stays as
// it was, and every 完成 line names a file holding its work's bytes.
void TestCliDownload::everyWorkGetsAFileOfItsOwn()
{
    QFETCH(QStringList, pages);
    QFETCH(QStringList, before);
    QFETCH(QStringList, options);
    QFETCH(int, runs);
    QFETCH(int, files);
    const QDir folder(m_folder->path());
    for (const QString &entry : before)
        place(folder, entry);
    QStringList arguments =
        options + QStringList{QStringLiteral("-j"), QStringLiteral("4"), QStringLiteral("-o"), m_folder->path()};
    QSet<QByteArray> wanted;
    for (const QString &page : pages) {
        arguments << m_server->base() + QStringLiteral("/s/") + page;
        wanted << m_songs.value(QStringLiteral("/userdata/userwork/a109/52%1.mp3").arg(page.mid(1)));
    }
    for (int i = 0; i < runs; ++i)
        QCOMPARE(run(arguments), 0);

    QSet<QByteArray> saved;
    for (const QByteArray &line : m_output.split('\n')) {
        if (!line.startsWith("完成 "))
            continue;
        const QByteArray content = fileContent(QString::fromUtf8(line.mid(int(strlen("完成 ")))));
        const auto song = std::find_if(wanted.cbegin(), wanted.cend(),
                                       [&content](const QByteArray &mp3) { return content.endsWith(mp3); });
        QVERIFY2(song != wanted.cend(), line.constData());
        saved << *song;
    }
    QCOMPARE(saved, wanted);
    QCOMPARE(folder.entryList({QStringLiteral("*.mp3")}, QDir::Files | QDir::System).size(), files);
    QVERIFY(folder.entryList({QStringLiteral("*.part")}, QDir::Files).isEmpty());
    // The user's own file, also behind a link, is as it was.
    QCOMPARE(fileContent(folder.filePath(before.value(0).section(QLatin1Char('='), 0, 0))),
             before.isEmpty() ? QByteArray() : QByteArray("mine"));
}

void TestCliDownload::optionsAndArchiveAreChecked_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("arguments"); // then -o {dir} {base}/s/w0
    QTest::addColumn<bool>("breakArchive");     // a folder takes its place as the MP3 is asked for
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");
    QTest::addColumn<QByteArray>("archive"); // a.txt after; null: not looked at

    const QStringList archive{QStringLiteral("--archive"), QStringLiteral("{dir}/a.txt")};
    QTest::newRow("-j capped") << QStringList() << QStringList{"-j", "2147483647"} << false << 0
                               << "-j 2147483647 is more than 32 transfers at once" << QByteArray();
    QTest::newRow("archive a folder") << QStringList{"a.txt/"} << archive << false << 2 << "not a regular file"
                                      << QByteArray();
    QTest::newRow("archive a pipe") << QStringList{"a.txt|"} << archive << false << 2 << "not a regular file"
                                    << QByteArray();
    QTest::newRow("archive in a missing folder") << QStringList() << QStringList{"--archive", "{dir}/gone/a.txt"}
                                                 << false << 2 << "does not exist" << QByteArray();
    QTest::newRow("archive's last line unended")
        << QStringList{"a.txt=999"} << archive << false << 0 << "1 个成功" << QByteArray("999\n520\n");
    QTest::newRow("archive with CRLF, blanks, BOM")
        << QStringList{"a.txt=\uFEFF520\r\n\r\n  \r\n"} << archive << false << 0 << "0 个成功, 0 个失败, 1 个跳过"
        << QByteArray("\uFEFF520\r\n\r\n  \r\n");
    QTest::newRow("archive unwritable later")
        << QStringList() << archive << true << 1 << "download: archive " << QByteArray();
}

void TestCliDownload::optionsAndArchiveAreChecked()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, arguments);
    QFETCH(bool, breakArchive);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    QFETCH(QByteArray, archive);
    const QDir folder(m_folder->path());
    for (const QString &entry : before)
        place(folder, entry);
    if (breakArchive)
        m_onAudio = [folder] { folder.mkpath(QStringLiteral("a.txt")); };
    QCOMPARE(run(arguments + QStringList{"-o", "{dir}", "{base}/s/w0"}), exitCode);
    QVERIFY2(m_output.contains(said.toUtf8()), m_output.constData());
    if (!archive.isNull())
        QCOMPARE(fileContent(folder.filePath(QStringLiteral("a.txt"))), archive);
}

void TestCliDownload::aStopSignalActsAtOnce_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("asked"); // the path the server has seen when the signal is sent
    QTest::newRow("during a transfer") << QStringList{"-o", "{dir}", "{base}/s/w0"}
                                       << "/userdata/userwork/a109/520.mp3";
    QTest::newRow("before the batch") << QStringList{"--singer", "{base}/userPage.php?uid=9"} << "/userPage.php";
}

// SIGTERM ends a download soon, however the site answers; a batch says what it stopped.
void TestCliDownload::aStopSignalActsAtOnce()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, asked);
    m_trickle = true;
    QProcess cli;
    launch(cli, arguments);
    QTRY_VERIFY_WITH_TIMEOUT(m_server->requestCount() > 0 && m_server->requests().constLast().path == asked, 20000);
    cli.terminate();
    // Far below the page and stall limits the signal used to wait for.
    QVERIFY(cli.waitForFinished(8000));
    // A batch ends with its summary; before it, the signal ends the program.
    QVERIFY(cli.exitStatus() == QProcess::NormalExit ? cli.readAllStandardOutput().contains("停止")
                                                     : asked == QLatin1String("/userPage.php"));
}

QTEST_GUILESS_MAIN(TestCliDownload)
#include "tst_cli_download.moc"

#include "support/faults.h"
#include "support/songpages.h"

#include "site/replicasite.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <functional>
#include <memory>

#include <signal.h>
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
    void resumesAKeptPartFile_data();
    void resumesAKeptPartFile();
    void reports_data();
    void reports();
    void liveLinesFitTheTerminal_data();
    void liveLinesFitTheTerminal();
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
    // Runs it to its end; returns its exit status. With `interrupt`, Ctrl-C
    // comes once the first MP3 is being sent.
    int run(const QStringList &arguments, bool interrupt = false);
    QString path(const QString &name) const { return QDir(m_folder->path()).filePath(name); }

    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<QTemporaryDir> m_folder;
    QByteArray m_output, m_out, m_err;  // both streams; standard output; standard error
    QHash<QString, QByteArray> m_songs; // audio path -> body
    HttpHandler m_pages;
    std::shared_ptr<QAtomicInt> m_trickle = std::make_shared<QAtomicInt>(0); // bytes every 20 ms; 0: at once
    std::function<void()> m_onAudio;                                         // run on the server as an MP3 is asked for
};

void TestCliDownload::init()
{
    m_server = std::make_unique<LoopbackServer>();
    m_folder = std::make_unique<QTemporaryDir>();
    m_songs.clear();
    QVERIFY(m_server->start());
    m_trickle->storeRelaxed(0);
    m_onAudio = nullptr;
    SongSite site;
    // w3 has no MP3; w4 is another 晴天; w5 and w6 are equal once cut to fit a file name; w7 holds escapes;
    // w8's MP3 is an empty answer.
    const QString longTitle = QString(100, QChar(0x957f));
    const QStringList titles{QStringLiteral("晴天"),
                             QStringLiteral("夜曲"),
                             QStringLiteral("稻香/新版"),
                             QStringLiteral("失踪"),
                             QStringLiteral("晴天"),
                             longTitle + QStringLiteral("甲"),
                             longTitle + QStringLiteral("乙"),
                             QStringLiteral("\x1b[2J坏\x1b]0;x\a"),
                             QStringLiteral("空白")};
    for (int i = 0; i < titles.size(); ++i) {
        SongPage page;
        page.title = titles[i];
        page.audioPath = QStringLiteral("/userdata/userwork/a109/52%1.mp3").arg(i);
        site.page(QStringLiteral("w%1").arg(i), page);
        if (i != 3)
            m_songs.insert(page.audioPath, i == 8 ? QByteArray() : mp3(char('a' + i)));
    }
    site.file(QStringLiteral("/img/avatar/1001.gif"), replicaFile(QStringLiteral("img/avatar/1002.gif")), "image/gif");
    const HttpHandler pages = site.handler(m_server->base());
    m_pages = pages;
    const auto songs = m_songs;
    m_server->setHandler([this, pages, songs, trickle = m_trickle](const HttpRequest &request) {
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
        answer.trickleBytes = trickle->loadRelaxed();
        answer.trickleMs = answer.trickleBytes > 0 ? 20 : 0;
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

int TestCliDownload::run(const QStringList &arguments, bool interrupt)
{
    QProcess cli;
    launch(cli, arguments);
    const auto sendingSong = [this] {
        for (const HttpRequest &request : m_server->requests()) {
            if (request.path.endsWith(QLatin1String(".mp3")))
                return true;
        }
        return false;
    };
    if (interrupt && cli.waitForStarted() && QTest::qWaitFor(sendingSong, 30000))
        ::kill(pid_t(cli.processId()), SIGINT);
    if (!cli.waitForFinished(60000))
        return -1;
    m_out = cli.readAllStandardOutput();
    m_err = cli.readAllStandardError();
    m_output = m_out + m_err;
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
    QVERIFY2(m_output.contains("/s/w3: 作品不存在或已被删除.. (HTTP 404)"), m_output.constData());
    // A slash in a title cannot lead out of the folder.
    const QStringList names{QStringLiteral("晴天 - 林小夏.mp3"), QStringLiteral("夜曲 - 林小夏.mp3"),
                            QStringLiteral("稻香_新版 - 林小夏.mp3")};
    QStringList sorted = names;
    sorted.sort();
    QCOMPARE(QDir(m_folder->path()).entryList({QStringLiteral("*.mp3*")}, QDir::Files, QDir::Name), sorted);
    // Standard output holds the saved files and nothing else, ready for xargs.
    QStringList saved = QString::fromUtf8(m_out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    saved.sort();
    QCOMPARE(saved, QStringList({path(sorted[0]), path(sorted[1]), path(sorted[2])}));
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
    // Nothing new saved; the skipped works are counted, not listed.
    QCOMPARE(m_out, QByteArray());
    QVERIFY2(!m_err.contains("跳过 "), m_err.constData());
    int audio = 0;
    for (const HttpRequest &request : m_server->requests().mid(before))
        audio += request.path.endsWith(QLatin1String(".mp3"));
    QCOMPARE(audio, 1); // only the missing one, and once: a 404 is no network error
}

void TestCliDownload::resumesAKeptPartFile_data()
{
    QTest::addColumn<QString>("before");      // what lies where the work's .part goes
    QTest::addColumn<QByteArray>("range");    // what the next run asks for
    QTest::addColumn<bool>("changed");        // the song changed on the server meanwhile
    QTest::addColumn<bool>("ignoresIfRange"); // and the server sends a range of whatever it has now

    const QByteArray from3000 = "bytes=3000-";
    QTest::newRow("left by a run cut short") << QStringLiteral("cut") << from3000 << false << false;
    QTest::newRow("left, then the song changed") << QStringLiteral("cut") << from3000 << true << false;
    QTest::newRow("left, then changed, If-Range ignored") << QStringLiteral("cut") << from3000 << true << true;
    QTest::newRow("left by another work's run") << QStringLiteral("other") << QByteArray() << false << false;
    QTest::newRow("made by hand, source unknown") << QStringLiteral("hand") << QByteArray() << false << false;
    QTest::newRow("a link to the user's notes") << QStringLiteral("link") << QByteArray() << false << false;
}

// Only a part that a run left of the same song is carried on; anything else
// is started over, and a link is never written through.
void TestCliDownload::resumesAKeptPartFile()
{
    QFETCH(QString, before);
    QFETCH(QByteArray, range);
    QFETCH(bool, changed);
    QFETCH(bool, ignoresIfRange);
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
        if (!cut && ignoresIfRange)
            return ifRangeIgnored(request, updated && request.path == audio ? newer : *found, "audio/mpeg");
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
    QCOMPARE(run({QStringLiteral("-v"), QStringLiteral("-o"), folder, m_server->base() + QStringLiteral("/s/w0")}), 0);
    QCOMPARE(fileContent(target), changed ? newer : song);
    // -v tells why the part was not carried on.
    QCOMPARE(m_err.contains("另一版本"), ignoresIfRange);
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

void TestCliDownload::reports_data()
{
    QTest::addColumn<QStringList>("arguments"); // {dir}: the folder; {site}: the site's base
    QTest::addColumn<QByteArray>("archive");    // written to {dir}/done.txt first when not empty
    QTest::addColumn<bool>("interrupt");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("saved"); // standard output, one path under {dir} a line
    QTest::addColumn<QStringList>("errHas");
    QTest::addColumn<QStringList>("errLacks");

    const QString w0 = QStringLiteral("{site}/s/w0"), w1 = QStringLiteral("{site}/s/w1");
    const QString w3 = QStringLiteral("{site}/s/w3"), dir = QStringLiteral("{dir}");
    QTest::newRow("quiet: failures and the summary only")
        << QStringList{"-q", "-o", dir, w0, w3} << QByteArray() << false << 1 << QStringList{"晴天 - 林小夏.mp3"}
        << QStringList{"失败 失踪 - 林小夏: 作品不存在或已被删除.. (HTTP 404)", "批量下载完成: 1 个成功, 1 个失败"}
        << QStringList{"完成 {dir}", "\n  {site}/s/w3"};
    QTest::newRow("quiet and all well: not a word")
        << QStringList{"-o", dir, w0, "--quiet"} << QByteArray() << false << 0 << QStringList{"晴天 - 林小夏.mp3"}
        << QStringList{} << QStringList{"完成", "批量"};
    QTest::newRow("normal: a line per saved work")
        << QStringList{"-o", dir, w0} << QByteArray() << false << 0 << QStringList{"晴天 - 林小夏.mp3"}
        << QStringList{"完成 {dir}/晴天 - 林小夏.mp3\n", "批量下载完成: 1 个成功"} << QStringList{};
    QTest::newRow("verbose: skipped works named")
        << QStringList{"-v", "-o", dir, "--archive", "{dir}/done.txt", w0, w1} << QByteArray("520\n") << false << 0
        << QStringList{"夜曲 - 林小夏.mp3"}
        << QStringList{"跳过 晴天 - 林小夏 (520)", "0 个失败, 1 个跳过", "{site}/userdata/userwork/a109/521.mp3)\n"}
        << QStringList{};
    QTest::newRow("template: a folder per singer")
        << QStringList{"-o", dir, "--output", "{singer}/{id} {title}.mp3", w0, w1} << QByteArray() << false << 0
        << QStringList{"林小夏/520 晴天.mp3", "林小夏/521 夜曲.mp3"} << QStringList{} << QStringList{};
    QTest::newRow("template: a taken name gets the id, in its subfolder")
        << QStringList{"-j", "1", "-o", dir, "--output", "{singer}/{title}.mp3", w0, "{site}/s/w4"} << QByteArray()
        << false << 0 << QStringList{"林小夏/晴天 (524).mp3", "林小夏/晴天.mp3"} << QStringList{} << QStringList{};
    QTest::newRow("template: an absolute one stays in the folder")
        << QStringList{"-o", dir, "--output", "/{title}//{id}", w0} << QByteArray() << false << 0
        << QStringList{"晴天/520.mp3"} << QStringList{} << QStringList{};
    QTest::newRow("template: a part that climbs out")
        << QStringList{"-o", dir, "--output", "../../{title}", w0} << QByteArray() << false << 2 << QStringList{}
        << QStringList{"--output: \"..\" cannot be a part of the name"} << QStringList{};
    QTest::newRow("template: a part that is the folder")
        << QStringList{"-o", dir, "--output", "{singer}/./{title}", w0} << QByteArray() << false << 2 << QStringList{}
        << QStringList{"\".\" cannot"} << QStringList{};
    QTest::newRow("template: a field it does not know")
        << QStringList{"-o", dir, "--output", "{album}/{title}.mp3", w0} << QByteArray() << false << 2 << QStringList{}
        << QStringList{"unknown field {album}"} << QStringList{};
    QTest::newRow("template: a folder is no template")
        << QStringList{"--output", dir, w0} << QByteArray() << false << 2 << QStringList{}
        << QStringList{"{title} or {id}", "-o"} << QStringList{};
    QTest::newRow("page text cannot drive the terminal")
        << QStringList{"-v", "-o", dir, "--archive", "{dir}/done.txt", "{site}/s/w7"} << QByteArray("527\n") << false
        << 0 << QStringList{} << QStringList{"跳过  [2J坏 ]0;x  - 林小夏 (527)"} << QStringList{"\x1b", "\a"};
    QTest::newRow("song page of another site: asked there")
        << QStringList{"--retries", "0", "-o", dir, "http://127.0.0.2:9/s/w0"} << QByteArray() << false << 1
        << QStringList{} << QStringList{"失败 http://127.0.0.2:9/s/w0: 网页获取失败"} << QStringList{"--site"};
    QTest::newRow("an empty answer is no song, and not archived")
        << QStringList{"-o", dir, "--archive", "{dir}/done.txt", "{site}/s/w8"} << QByteArray("520\n") << false << 1
        << QStringList{} << QStringList{"失败 空白 - 林小夏: 抱歉!服务器返回的内容是空的.."} << QStringList{};
    QTest::newRow("Ctrl-C: stopped works counted, exit 130")
        << QStringList{"-j", "1", "-o", dir, w0, w1} << QByteArray() << true << 130 << QStringList{}
        << QStringList{"批量下载已停止: 0 个成功, 0 个失败, 0 个跳过, 2 个停止"} << QStringList{"批量下载完成"};
}

void TestCliDownload::reports()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, archive);
    QFETCH(bool, interrupt);
    QFETCH(int, exitCode);
    QFETCH(QStringList, saved);
    QFETCH(QStringList, errHas);
    QFETCH(QStringList, errLacks);
    const auto filled = [this](QString text) {
        return text.replace(QLatin1String("{dir}"), m_folder->path())
            .replace(QLatin1String("{site}"), m_server->base());
    };
    for (QString &word : arguments)
        word = filled(word);
    if (!archive.isEmpty()) {
        QFile file(path(QStringLiteral("done.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(archive) == archive.size());
    }
    if (interrupt)
        m_trickle->storeRelaxed(64);

    QCOMPARE(run(arguments, interrupt), exitCode);
    QStringList paths;
    for (const QString &name : std::as_const(saved)) {
        paths += path(name);
        QVERIFY2(QFile::exists(path(name)), qPrintable(name));
    }
    QStringList out = QString::fromUtf8(m_out).split(QLatin1Char('\n'));
    QCOMPARE(out.takeLast(), QString()); // every path ends its line
    out.sort();
    QCOMPARE(out, paths);
    const QString err = QString::fromUtf8(m_err);
    for (const QString &text : std::as_const(errHas))
        QVERIFY2(err.contains(filled(text)), qPrintable(err));
    for (const QString &text : std::as_const(errLacks))
        QVERIFY2(!err.contains(filled(text)), qPrintable(err));
    if (!archive.isEmpty() && exitCode != 2) // only what was saved is recorded, and only once
        QCOMPARE(fileContent(path(QStringLiteral("done.txt"))).count('\n'), archive.count('\n') + paths.size());
}

void TestCliDownload::liveLinesFitTheTerminal_data()
{
    QTest::addColumn<QString>("setting"); // put before the command in the terminal's shell
    QTest::addColumn<int>("columns");
    QTest::addColumn<bool>("pathsToFile"); // standard output to a file, not the terminal
    QTest::addColumn<int>("kept");         // bytes of the first work left in its .part by an earlier run
    QTest::addColumn<int>("trickle");      // bytes each song is sent in, one piece every 100 ms

    QTest::newRow("30 columns, paths to a file") << QString() << 30 << true << 0 << 32 * 1024;
    QTest::newRow("resumed: only new bytes counted") << QString() << 30 << true << 100000 << 32 * 1024;
    QTest::newRow("30 columns, paths on the terminal") << QString() << 30 << false << 0 << 32 * 1024;
    QTest::newRow("80 columns, paths on the terminal") << QString() << 80 << false << 0 << 32 * 1024;
    QTest::newRow("NO_COLOR: live, not coloured") << QStringLiteral("NO_COLOR=1") << 30 << false << 0 << 32 * 1024;
    // Long enough for a plain progress line.
    QTest::newRow("TERM=dumb: plain lines") << QStringLiteral("TERM=dumb") << 80 << true << 0 << 4 * 1024;
}

// The lines a terminal `columns` wide shows after `shown`, each joined again
// where it wrapped: cursor up, erase below, carriage return and colour
// sequences are followed as a terminal follows them.
static QStringList screenLines(const QString &shown, int columns)
{
    QList<QStringList> rows{QStringList(columns)};
    QList<bool> wrapped{false};
    qsizetype row = 0, column = 0;
    const auto newRow = [&](bool wraps) {
        if (++row == rows.size()) {
            rows.append(QStringList(columns));
            wrapped.append(wraps);
        }
    };
    static const QRegularExpression escape(QStringLiteral("^\\x1b\\[([0-9;]*)([A-Za-z])"));
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const QChar c = shown.at(i);
        if (const QRegularExpressionMatch match = escape.match(QStringView(shown).mid(i)); match.hasMatch()) {
            if (match.captured(2) == QLatin1String("A"))
                row = std::max<qsizetype>(0, row - std::max(1, match.captured(1).toInt()));
            if (match.captured(2) == QLatin1String("J")) {
                for (qsizetype x = column; x < columns; ++x)
                    rows[row][x].clear();
                rows.resize(row + 1);
                wrapped.resize(row + 1);
            }
            i += match.capturedLength() - 1;
        } else if (c == QLatin1Char('\r')) {
            column = 0;
        } else if (c == QLatin1Char('\n')) {
            newRow(false);
        } else {
            const int width = c.unicode() >= 0x1100 ? 2 : 1;
            if (column + width > columns) {
                newRow(true);
                column = 0;
            }
            rows[row][column] = c;
            if (width == 2)
                rows[row][column + 1].clear();
            column += width;
        }
    }
    QStringList lines;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const QString text = rows[r].join(QString());
        if (wrapped[r] && !lines.isEmpty())
            lines.last() += text;
        else
            lines.append(text);
    }
    for (QString &line : lines)
        line = line.trimmed();
    return lines;
}

// Through a pseudo-terminal (script(1)), as a user sees it.
void TestCliDownload::liveLinesFitTheTerminal()
{
    QFETCH(QString, setting);
    QFETCH(int, columns);
    QFETCH(bool, pathsToFile);
    QFETCH(int, kept);
    QFETCH(int, trickle);
    const bool live = setting != QLatin1String("TERM=dumb");
    const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (script.isEmpty())
        QSKIP("script(1) is not installed");
    // Long CJK titles and bodies of several blocks, sent slowly, so that
    // transfer lines are drawn and must be cut.
    SongSite site;
    QHash<QString, QByteArray> songs;
    QStringList paths;
    for (int i = 0; i < 2; ++i) {
        SongPage page;
        page.title = QStringLiteral("很长很长的歌名").repeated(6) + QString::number(i);
        page.audioPath = QStringLiteral("/userdata/userwork/a109/53%1.mp3").arg(i);
        site.page(QStringLiteral("long%1").arg(i), page);
        songs.insert(page.audioPath, mp3(char('p' + i)).repeated(30));
        paths << path(page.title + QStringLiteral(" - 林小夏.mp3"));
    }
    QFile part(paths[0] + QStringLiteral(".part"));
    QVERIFY(kept == 0 || (part.open(QIODevice::WriteOnly) && part.write(songs.begin()->left(kept)) == kept));
    part.close();
    const HttpHandler pages = site.handler(m_server->base());
    m_server->setHandler([pages, songs, trickle](const HttpRequest &request) {
        const auto song = songs.constFind(request.path);
        if (song == songs.cend())
            return pages(request);
        HttpResponse answer = rangedBody(request, *song, "audio/mpeg");
        answer.trickleBytes = trickle;
        answer.trickleMs = 100;
        return answer;
    });
    const QString command =
        QStringLiteral("stty cols %5; %1 CANTORA_SITE_BASE=%2 %3 download -o %4 %2/s/long0 %2/s/long1 %6")
            .arg(setting, m_server->base(), QStringLiteral(CANTORA_CLI), m_folder->path())
            .arg(columns)
            .arg(pathsToFile ? QStringLiteral("> %1/paths.txt").arg(m_folder->path()) : QString());
    QProcess terminal;
    terminal.start(script, {QStringLiteral("-qec"), command, QStringLiteral("/dev/null")});
    QVERIFY(terminal.waitForFinished(60000));
    QCOMPARE(terminal.exitCode(), 0);
    const QString shown = QString::fromUtf8(terminal.readAllStandardOutput());
    QCOMPARE(shown.contains(QLatin1Char('\x1b')), live);
    QCOMPARE(shown.contains(QStringLiteral("\x1b[32m")), setting.isEmpty()); // colour
    QVERIFY2(shown.contains(QStringLiteral("正在批量下载")), qPrintable(shown));
    // The end screen: each path whole on a line of its own when standard
    // output is the terminal, a 完成 line for each, nothing left of the live lines.
    const QStringList screen = screenLines(shown, columns);
    for (const QString &saved : std::as_const(paths)) {
        QCOMPARE(screen.count(saved), pathsToFile ? 0 : 1);
        QCOMPARE(screen.count(QStringLiteral("完成 ") + saved), 1);
    }
    if (pathsToFile)
        QCOMPARE(fileContent(path(QStringLiteral("paths.txt"))).count('\n'), 2);
    for (const QString &line : screen) {
        const bool stale = line.startsWith(QStringLiteral("正在批量下载")) || line.startsWith(QLatin1String("  "));
        QVERIFY2(!live || !stale, qPrintable(screen.join(QLatin1Char('\n'))));
    }
    if (!live)
        return;
    static const QRegularExpression escape(QStringLiteral("\x1b\\[[0-9;]*[A-Za-z]"));
    QString total;
    for (QString line : shown.split(QRegularExpression(QStringLiteral("[\r\n]")))) {
        line.remove(escape);
        if (line.startsWith(QStringLiteral("正在批量下载")))
            total = line;
        if (!line.startsWith(QLatin1String("  ")) && !line.startsWith(QStringLiteral("正在批量下载")))
            continue; // the outcome lines: a path is never cut
        int width = 0;
        for (const QChar c : std::as_const(line))
            width += c.unicode() >= 0x1100 ? 2 : 1;
        QVERIFY2(width < columns, qPrintable(line));
    }
    // The last total counts what the server sent in this run, not what was on disk before.
    qint64 sent = 0;
    for (const HttpRequest &request : m_server->requests()) {
        if (const auto song = songs.constFind(request.path); song != songs.cend())
            sent += song->size() - request.header("range").mid(6).split('-').constFirst().toLongLong();
    }
    QCOMPARE(total.section(QStringLiteral(" .. "), 1).section(QLatin1Char(' '), 0, 1),
             QStringLiteral("%1 KiB").arg(double(sent) / 1024.0, 0, 'f', 1));
}

void TestCliDownload::everyWorkGetsAFileOfItsOwn_data()
{
    QTest::addColumn<QStringList>("pages");
    QTest::addColumn<QStringList>("before"); // what the folder holds before (see place())
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("runs");
    QTest::addColumn<int>("files");   // *.mp3 in the folder after
    QTest::addColumn<int>("fetches"); // MP3 requests over every run

    const QString sunny = QStringLiteral("晴天 - 林小夏.mp3");
    QTest::newRow("same title, same singer")
        << QStringList{"w0", "w4"} << QStringList() << QStringList() << 1 << 2 << 2;
    QTest::newRow("titles equal once cut") << QStringList{"w5", "w6"} << QStringList() << QStringList() << 1 << 2 << 2;
    QTest::newRow("one work queued twice") << QStringList{"w0", "w0"} << QStringList() << QStringList() << 1 << 1 << 1;
    QTest::newRow("a file of the user's")
        << QStringList{"w0"} << QStringList{sunny + "=mine"} << QStringList() << 1 << 2 << 1;
    QTest::newRow("a link at the name") << QStringList{"w0"} << QStringList{"notes.txt=mine", sunny + ">notes.txt"}
                                        << QStringList() << 1 << 2 << 1;
    QTest::newRow("its own tagged file again")
        << QStringList{"w0"} << QStringList() << QStringList{"--tag"} << 2 << 1 << 1;
    QTest::newRow("an untagged file again: skipped")
        << QStringList{"w0"} << QStringList() << QStringList() << 2 << 1 << 1;
    QTest::newRow("--force fetches again into its own file")
        << QStringList{"w0", "w4"} << QStringList() << QStringList{"--force"} << 2 << 2 << 4;
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
    QFETCH(int, fetches);
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
    QByteArray outputs;
    for (int i = 0; i < runs; ++i) {
        QCOMPARE(run(arguments), 0);
        outputs += m_output;
    }
    const QList<HttpRequest> requests = m_server->requests();
    QCOMPARE(std::count_if(requests.cbegin(), requests.cend(),
                           [](const HttpRequest &request) { return request.path.endsWith(QLatin1String(".mp3")); }),
             fetches);

    QSet<QByteArray> saved;
    for (const QByteArray &line : outputs.split('\n')) {
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
    m_trickle->storeRelaxed(2); // about 100 bytes a second
    QProcess cli;
    launch(cli, arguments);
    QTRY_VERIFY_WITH_TIMEOUT(m_server->requestCount() > 0 && m_server->requests().constLast().path == asked, 20000);
    cli.terminate();
    // Far below the page and stall limits the signal used to wait for.
    QVERIFY(cli.waitForFinished(8000));
    // A batch ends with its summary and 143; before it, the signal ends the program.
    QVERIFY(cli.exitStatus() == QProcess::NormalExit
                ? cli.readAllStandardError().contains("停止") && cli.exitCode() == 128 + SIGTERM
                : asked == QLatin1String("/userPage.php"));
}

QTEST_GUILESS_MAIN(TestCliDownload)
#include "tst_cli_download.moc"

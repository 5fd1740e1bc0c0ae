#include "site/httpserver.h"
#include "support/songpages.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

namespace {

const QByteArray kBarePage = "<html><title>无名 - 某人Cantora</title></html>";

struct Run final
{
    int exitCode = -1;
    QString out, err;
};

} // namespace

// The command-line program, run as a user runs it, against a loopback site.
class TestCli final : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void runs_data();
    void runs();
    void lookupJsonHasEveryFactOfItsOwnPage();
    void helpAndManPageNameEveryOption_data();
    void helpAndManPageNameEveryOption();

private:
    void serve(const QByteArray &versionFile, const QByteArray &singerPage);
    Run cli(QStringList arguments);
    QString based(QString text) const { return text.replace(QLatin1String("{base}"), m_server.base()); }

    LoopbackServer m_server;
};

void TestCli::initTestCase()
{
    QVERIFY(m_server.start());
}

// The sample song page as /s/5200109, a page with a title only as /s/bare,
// and the given version file and singer page (each 404 when empty).
void TestCli::serve(const QByteArray &versionFile, const QByteArray &singerPage)
{
    SongSite site;
    site.page(QStringLiteral("5200109"), SongPage{});
    site.file(QStringLiteral("/s/bare"), kBarePage, "text/html; charset=utf-8");
    if (!versionFile.isEmpty())
        site.file(QStringLiteral("/version/main.txt"), versionFile, "text/plain");
    if (!singerPage.isEmpty())
        site.file(QStringLiteral("/userPage.php"), singerPage, "text/html; charset=utf-8");
    m_server.setHandler(site.handler(m_server.base()));
}

Run TestCli::cli(QStringList arguments)
{
    for (QString &word : arguments)
        word = based(word);
    QProcess process;
    process.start(QStringLiteral(CANTORA_CLI_BINARY),
                  QStringList{QStringLiteral("--site"), m_server.base()} + arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

void TestCli::runs_data()
{
    QTest::addColumn<QStringList>("arguments"); // {base} stands for the site's base
    QTest::addColumn<QByteArray>("versionFile");
    QTest::addColumn<QByteArray>("singerPage");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // exact
    QTest::addColumn<QString>("err"); // contained

    const QStringList check{"check"};
    QTest::newRow("check: current among other entries")
        << check << QByteArray("xx:V1.0|kw:V3.3|yy:V2.0|") << QByteArray() << 0 << "欢迎使用Orvandel系列软件 ..\n"
        << "";
    QTest::newRow("check: newer") << check << QByteArray("kw:V3.4|") << QByteArray() << 3
                                  << "发现最新版本![V3.4]\n{base}/forum/\n"
                                  << "";
    QTest::newRow("check: unreadable") << check << QByteArray() << QByteArray() << 4 << ""
                                       << "检测更新失败!请您稍后再试,暂时使用原版 (服务器返回 HTTP 404)";

    QTest::newRow("lookup: a failure does not stop the rest")
        << QStringList{"lookup", "{base}/s/missing", "{base}/s/bare"} << QByteArray() << QByteArray() << 1
        << "网页地址：{base}/s/bare\n用户名：某人\n粉丝数：\n个人简介：\n演唱歌曲：无名\n播放次数：次\n收到礼物：个\n"
           "转发次数：次\n评论数量：次\n头像地址：{base}/img\n音乐地址：\n视频地址：\n音乐ID：\n"
        << "{base}/s/missing: 作品不存在或已被删除.. (服务器返回 HTTP 404)";
    QTest::newRow("lookup: not a song page")
        << QStringList{"lookup", "{base}/S/5200109"} << QByteArray() << QByteArray() << 1 << ""
        << "地址错误,请您检查 ..";
    QTest::newRow("lookup: song page of another site gets a hint")
        << QStringList{"lookup", "http://127.0.0.2:9/s/5200109"} << QByteArray() << QByteArray() << 1 << ""
        << "地址错误,请您检查 ..\ncantora-cli: this song page is not on {base}; to use the site it is on, give "
           "--site http://127.0.0.2:9";
    QTest::newRow("-V is --version") << QStringList{"-V"} << QByteArray() << QByteArray() << 0 << "cantora-cli V3.3\n"
                                     << "";
    QTest::newRow("-V after a command") << QStringList{"sync", "-V"} << QByteArray() << QByteArray() << 0
                                        << "cantora-cli V3.3\n"
                                        << "";
    QTest::newRow("lookup: no address") << QStringList{"lookup", "--json"} << QByteArray() << QByteArray() << 2 << ""
                                        << "lookup:";
    QTest::newRow("unknown command") << QStringList{"fetch"} << QByteArray() << QByteArray() << 2 << ""
                                     << "no such command";

    const QString service = QStringLiteral("{base}/member/personcenter/loadplayurl.php?wid=");
    const QByteArray works = "<li data-id=\"11\">Al,pha</li><li data-id=\"22\">Be\"ta\tx\x1b[2J</li><i data-id=\"33\">";
    const QString singer = QStringLiteral("{base}/userPage.php?uid=7");
    QTest::newRow("harvest: csv quotes what needs it")
        << QStringList{"harvest", "--csv", singer} << QByteArray() << works << 0
        << "序号,音乐ID,音乐名称,音乐地址\r\n1,11,\"Al,pha\"," + service + "11\r\n2,22,\"Be\"\"ta\tx[2J\"," + service +
               "22\r\n"
        << "";
    QTest::newRow("harvest: csv keeps formulas as text")
        << QStringList{"harvest", "--csv", singer} << QByteArray()
        << QByteArray("<li data-id=\"11\">=cmd|' /C calc'!A0</li><li data-id=\"22\">\x01+1</li>"
                      "<li data-id=\"33\">-2</li><li data-id=\"44\">@SUM(A1)</li><li data-id=\"55\">")
        << 0
        << "序号,音乐ID,音乐名称,音乐地址\r\n1,11,'=cmd|' /C calc'!A0," + service + "11\r\n2,22,'+1," + service +
               "22\r\n3,33,'-2," + service + "33\r\n4,44,'@SUM(A1)," + service + "44\r\n"
        << "";
    QTest::newRow("harvest: text keeps a row to a line")
        << QStringList{"harvest", singer} << QByteArray() << works << 0
        << "1\t11\tAl,pha\t" + service + "11\n2\t22\tBe\"ta x [2J\t" + service + "22\n"
        << "";
    QTest::newRow("harvest: json")
        << QStringList{"harvest", "--json", singer} << QByteArray() << works << 0
        << "{\"id\":\"11\",\"number\":1,\"serviceAddress\":\"" + service +
               "11\",\"title\":\"Al,pha\"}\n{\"id\":\"22\",\"number\":2,\"serviceAddress\":\"" + service +
               "22\",\"title\":\"Be\\\"ta\\tx\\u001b[2J\"}\n"
        << "";
    QTest::newRow("harvest: no works") << QStringList{"harvest", singer} << QByteArray() << QByteArray("<p>none</p>")
                                       << 0 << ""
                                       << "当前歌手没有音乐作品或未开通Cantora会员无法获取";
    QTest::newRow("harvest: error page is no list")
        << QStringList{"harvest", singer} << QByteArray() << QByteArray() << 1 << ""
        << "未能获取歌手主页,请稍后再试 .. (HTTP 404)";
    QTest::newRow("harvest: not a singer page")
        << QStringList{"harvest", "{base}/user/7"} << QByteArray() << works << 2 << ""
        << "地址错误,请您检查 ..";
    QTest::newRow("harvest: two formats")
        << QStringList{"harvest", "--csv", "--json", singer} << QByteArray() << works << 2 << ""
        << "at most one";

    // Wrong words are refused before the followed list or any file is touched.
    QTest::newRow("follow: a song page is no singer")
        << QStringList{"follow", "add", singer, "{base}/s/5200109"} << QByteArray() << works << 2 << ""
        << "地址错误,请您检查 ..";
    QTest::newRow("follow: no action") << QStringList{"follow"} << QByteArray() << QByteArray() << 2 << ""
                                       << "add, remove or list";
    QTest::newRow("sync: a rate that is no rate")
        << QStringList{"sync", "--limit-rate", "fast"} << QByteArray() << QByteArray() << 2 << ""
        << "--limit-rate needs a rate such as 500K or 2M";
    QTest::newRow("sync: nothing at once") << QStringList{"sync", "-j", "0"} << QByteArray() << QByteArray() << 2 << ""
                                           << "-j needs a number of 1 or more";
    QTest::newRow("download: a pause below zero")
        << QStringList{"download", "--sleep-requests", "-1", "{base}/s/5200109"} << QByteArray() << QByteArray() << 2
        << ""
        << "--sleep-requests needs a number of seconds";
}

void TestCli::runs()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, versionFile);
    QFETCH(QByteArray, singerPage);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    serve(versionFile, singerPage);

    const Run run = cli(arguments);
    QCOMPARE(run.out, based(out));
    QVERIFY2(run.err.contains(based(err)), qPrintable(run.err));
    QCOMPARE(run.exitCode, exitCode);
}

void TestCli::lookupJsonHasEveryFactOfItsOwnPage()
{
    serve({}, {});
    const Run run = cli({"lookup", "--json", "{base}/s/5200109", "{base}/s/bare"});
    QCOMPARE(run.exitCode, 0);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QJsonObject full = QJsonDocument::fromJson(lines[0].toUtf8()).object();
    const SongPage sample;
    const QString base = m_server.base();
    const QList<QPair<const char *, QString>> expected{
        {"address", base + "/s/5200109"},
        {"singer", sample.singer},
        {"fans", sample.fans},
        {"description", sample.description},
        {"title", sample.title},
        {"plays", sample.plays},
        {"gifts", sample.gifts},
        {"shares", sample.shares},
        {"comments", sample.comments},
        {"avatar", base + sample.avatarPath},
        {"audio", base + sample.audioPath},
        {"video", ""},
        {"workId", "5200109"},
    };
    QCOMPARE(full.size(), expected.size());
    for (const auto &[key, value] : expected)
        QCOMPARE(full.value(QLatin1String(key)).toString(), value);
    // The page after it has none of these facts, and shows none of the first's.
    const QJsonObject bare = QJsonDocument::fromJson(lines[1].toUtf8()).object();
    for (const char *key : {"fans", "description", "plays", "audio", "workId"})
        QCOMPARE(bare.value(QLatin1String(key)).toString(), QString());
}

void TestCli::helpAndManPageNameEveryOption_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("named"); // in the help, and in the man page

    const QStringList global{"--site", "-q", "--quiet", "-v", "--verbose", "-V", "--version", "--help"};
    QTest::newRow("--help") << QStringList{"--help"}
                            << global + QStringLiteral("CANTORA_SITE_BASE CANTORA_IMAGE_HOST CANTORA_VIDEO_HOST "
                                                       "CANTORA_AUDIO_HOST_TEMPLATE CANTORA_UPDATE_BASE "
                                                       "CANTORA_FORUM_URL CANTORA_HOME_URL NO_COLOR TERM COLUMNS")
                                            .split(QLatin1Char(' '));
    const QStringList batch{"-o",        "--output", "{singer}",  "-j",           "--jobs",
                            "--archive", "--tag",    "--retries", "--limit-rate", "--sleep-requests"};
    QTest::newRow("help download") << QStringList{"help", "download"}
                                   << global + batch + QStringList{"--singer", "--playlist"};
    QTest::newRow("help sync") << QStringList{"help", "sync"} << global + batch + QStringList{"--notify"};
    QTest::newRow("help follow") << QStringList{"help", "follow"} << QStringList{"add", "remove", "list"};
    QTest::newRow("download --help") << QStringList{"download", "--help"} << QStringList{"--output", "--site"};
    QTest::newRow("help lookup") << QStringList{"help", "lookup"} << QStringList{"--json", "--site"};
    QTest::newRow("help harvest") << QStringList{"help", "harvest"} << QStringList{"--json", "--csv"};
}

void TestCli::helpAndManPageNameEveryOption()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, named);
    QFile page(QStringLiteral(CANTORA_MAN_PAGE));
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString man = QString::fromUtf8(page.readAll()).replace(QLatin1String("\\-"), QLatin1String("-"));
    const Run run = cli(arguments);
    QCOMPARE(run.exitCode, 0);
    for (const QString &word : std::as_const(named)) {
        QVERIFY2(run.out.contains(word), qPrintable(word));
        QVERIFY2(man.contains(word), qPrintable(word));
    }
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"

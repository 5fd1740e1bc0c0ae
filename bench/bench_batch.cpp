// A whole singer downloaded from the replica site on loopback, three ways in
// the same run, over the same 500 works (singer 1005):
//   - cantora-cli download --singer ... -j 8: singer page, play-address
//     service and song page for every work, then its MP3;
//   - the same download again into the first folder, every work already there;
//   - aria2c -j 8 -i urls.txt: the same 500 MP3 addresses given directly;
//   - one curl process with 8 parallel transfers over those addresses, and a
//     sequential loop of curl runs, one per address.
// Prints the median wall times of the rounds (the curl loop runs once) and the ratio ours/aria2c; then
// the peak resident memory of cantora-cli for 500 and for 5,000 works (singer
// 1004), and the start-up of `cantora-cli lookup` against `curl -s` on one
// song page (hyperfine, median of 10 runs).
//
//   bench_batch [rounds] [--cli PATH] [--port N]      (defaults: 3 rounds, the build's
//                                                      cantora-cli, port 18745)
//
// Needs curl, aria2c, hyperfine and GNU time (/usr/bin/time) on the machine
// (Debian: curl aria2 hyperfine time). A leg whose program is missing is
// skipped and said so.

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr int kWorks = 500;
constexpr int kLargeWorks = 5000;
constexpr int kJobs = 8;
constexpr char kSmallSinger[] = "1005"; // 500 works
constexpr char kLargeSinger[] = "1004"; // 5,000 works
constexpr char kLookupPage[] = "/s/5200109";

struct Run final
{
    bool ok = false;
    double seconds = 0;
    qint64 peakKiB = 0; // when run under /usr/bin/time -v
    int files = 0;      // MP3s in the target folder afterwards
    QString problem;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

bool found(const QString &program)
{
    return !QStandardPaths::findExecutable(program).isEmpty() || QFileInfo(program).isExecutable();
}

// Whole MP3s in `folder`; files still being written (.part) do not count.
int mp3Count(const QString &folder)
{
    int count = 0;
    for (QDirIterator it(folder, {QStringLiteral("*.mp3")}, QDir::Files); it.hasNext(); it.next())
        ++count;
    return count;
}

// Runs a program to its end (or ten minutes) and times it; under GNU time
// when `peak` is asked for, whose report gives the peak resident memory.
Run timed(const QString &program, QStringList arguments, const QString &folder, bool peak = false,
          const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    Run run;
    QProcess process;
    process.setProcessEnvironment(environment);
    QString command = program;
    if (peak) {
        arguments.prepend(program);
        arguments.prepend(QStringLiteral("-v"));
        command = QStringLiteral("/usr/bin/time");
    }
    QElapsedTimer clock;
    clock.start();
    process.start(command, arguments);
    const bool ended = process.waitForFinished(600000);
    run.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
    if (!ended || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        run.problem = QStringLiteral("%1 ended with %2: %3")
                          .arg(QFileInfo(program).fileName())
                          .arg(ended ? process.exitCode() : -1)
                          .arg(errors.right(300).trimmed());
        if (!ended)
            process.kill();
    }
    if (peak) {
        static const QRegularExpression maximum(QStringLiteral("Maximum resident set size \\(kbytes\\): (\\d+)"));
        run.peakKiB = maximum.match(errors).captured(1).toLongLong();
    }
    run.files = folder.isEmpty() ? 0 : mp3Count(folder);
    run.ok = run.problem.isEmpty();
    return run;
}

// Starts the replica site on `port`; true once it says it is serving.
bool startSite(QProcess &site, int port)
{
    site.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    site.start(QStringLiteral(CANTORA_SITE_BINARY), {QStringLiteral("--port"), QString::number(port)});
    return site.waitForStarted() && site.waitForReadyRead(10000) && site.readAllStandardOutput().contains("serving");
}

void printLeg(const char *name, const std::vector<Run> &runs, int expected)
{
    std::vector<double> seconds;
    for (const Run &run : runs) {
        if (!run.ok || run.files != expected) {
            std::printf("  %-34s failed: %s (%d of %d files)\n", name, qPrintable(run.problem), run.files, expected);
            return;
        }
        seconds.push_back(run.seconds);
    }
    const double wall = median(seconds);
    std::printf("  %-34s %7.3f s   %6.1f works/s\n", name, wall, expected / wall);
}

double legMedian(const std::vector<Run> &runs, int expected)
{
    std::vector<double> seconds;
    for (const Run &run : runs) {
        if (!run.ok || run.files != expected)
            return 0.0;
        seconds.push_back(run.seconds);
    }
    return median(seconds);
}

// hyperfine's median for each command, in its order; empty when it failed.
std::optional<std::vector<double>> hyperfineMedians(const QStringList &commands, const QString &json)
{
    QStringList arguments = {QStringLiteral("-N"),
                             QStringLiteral("--runs"),
                             QStringLiteral("10"),
                             QStringLiteral("--warmup"),
                             QStringLiteral("1"),
                             QStringLiteral("--style"),
                             QStringLiteral("none"),
                             QStringLiteral("--export-json"),
                             json};
    arguments += commands;
    QProcess hyperfine;
    hyperfine.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    hyperfine.start(QStringLiteral("hyperfine"), arguments);
    if (!hyperfine.waitForFinished(120000) || hyperfine.exitCode() != 0)
        return std::nullopt;
    QFile report(json);
    if (!report.open(QIODevice::ReadOnly))
        return std::nullopt;
    std::vector<double> medians;
    for (const QJsonValue &result : QJsonDocument::fromJson(report.readAll()).object().value(u"results").toArray())
        medians.push_back(result.toObject().value(u"median").toDouble());
    if (medians.size() != static_cast<size_t>(commands.size()))
        return std::nullopt;
    return medians;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString cli = QStringLiteral(CANTORA_BUILD_DIR "/cli/cantora-cli");
    int port = 18745;
    int rounds = 3;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--cli") && i + 1 < args.size())
            cli = args[++i];
        else if (args[i] == QLatin1String("--port") && i + 1 < args.size())
            port = args[++i].toInt();
        else
            rounds = args[i].toInt();
    }
    if (rounds <= 0 || port <= 0 || port > 65535) {
        std::fprintf(stderr, "usage: bench_batch [rounds] [--cli PATH] [--port N]\n");
        return 2;
    }

    QProcess site;
    if (!startSite(site, port)) {
        std::fprintf(stderr, "the replica site did not start on port %d\n", port);
        return 1;
    }
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(port);
    QTemporaryDir scratch;
    const QString urls = scratch.filePath(QStringLiteral("urls.txt"));
    const QString curlConfig = scratch.filePath(QStringLiteral("curl.conf"));
    {
        // The same addresses the singer's song pages give: works 7000001109 .. 7000500109.
        QFile list(urls);
        QFile config(curlConfig);
        if (!list.open(QIODevice::WriteOnly) || !config.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write into %s\n", qPrintable(scratch.path()));
            return 1;
        }
        for (int n = 1; n <= kWorks; ++n) {
            const QByteArray url = (base + QStringLiteral("/userdata/userwork/109/") + QString::number(7000000 + n) +
                                    QStringLiteral("109.mp3"))
                                       .toUtf8();
            list.write(url + '\n');
            config.write("url = \"" + url + "\"\n");
        }
    }

    const bool haveCli = found(cli);
    const bool haveAria = found(QStringLiteral("aria2c"));
    const bool haveCurl = found(QStringLiteral("curl"));
    const bool haveTime = QFileInfo(QStringLiteral("/usr/bin/time")).isExecutable();
    if (!haveCli)
        std::printf("cantora-cli not found at %s: its legs are skipped\n", qPrintable(cli));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("CANTORA_SITE_BASE"), base);
    const auto download = [&](const char *uid, const QString &folder) {
        return timed(cli,
                     {QStringLiteral("--site"), base, QStringLiteral("download"), QStringLiteral("--singer"),
                      base + QStringLiteral("/userPage.php?uid=") + QLatin1String(uid), QStringLiteral("-j"),
                      QString::number(kJobs), QStringLiteral("-o"), folder},
                     folder, haveTime, environment);
    };

    std::vector<Run> ours, aria, curl, curlParallel;
    int folderNumber = 0;
    const auto freshFolder = [&] {
        const QString folder = scratch.filePath(QStringLiteral("out%1").arg(++folderNumber));
        QDir().mkpath(folder);
        return folder;
    };
    for (int round = 0; round < rounds; ++round) {
        if (haveCli)
            ours.push_back(download(kSmallSinger, freshFolder()));
        if (haveAria) {
            const QString folder = freshFolder();
            aria.push_back(timed(QStringLiteral("aria2c"),
                                 {QStringLiteral("-q"), QStringLiteral("-j"), QString::number(kJobs),
                                  QStringLiteral("--file-allocation=none"), QStringLiteral("-i"), urls,
                                  QStringLiteral("-d"), folder},
                                 folder));
        }
        if (haveCurl) {
            // One curl process, 8 transfers at once: what the site itself can give.
            const QString folder = freshFolder();
            curlParallel.push_back(timed(QStringLiteral("curl"),
                                         {QStringLiteral("-s"), QStringLiteral("-Z"), QStringLiteral("--parallel-max"),
                                          QString::number(kJobs), QStringLiteral("--remote-name-all"),
                                          QStringLiteral("--output-dir"), folder, QStringLiteral("-K"), curlConfig},
                                         folder));
        }
        if (haveCurl && round == 0) { // a minute or more; one round says enough
            const QString folder = freshFolder();
            curl.push_back(timed(QStringLiteral("bash"),
                                 {QStringLiteral("-c"),
                                  QStringLiteral("while read -r u; do curl -s -f -o \"$1/${u##*/}\" \"$u\" || exit 1; "
                                                 "done < \"$2\""),
                                  QStringLiteral("curl-loop"), folder, urls},
                                 folder));
        }
    }

    std::printf("whole singer, %d works from %s, %d transfers at once, median of %d rounds:\n", kWorks,
                qPrintable(base), kJobs, rounds);
    if (haveCli)
        printLeg("cantora-cli download --singer", ours, kWorks);
    if (haveAria)
        printLeg("aria2c -i urls.txt (no lookups)", aria, kWorks);
    if (haveCurl) {
        printLeg("curl -Z, 8 at once (no lookups)", curlParallel, kWorks);
        printLeg("curl, one address after another", curl, kWorks);
    }
    // The same singer again into a folder that holds every work: each is known
    // by the note on its file, so nothing is fetched and no "(id)" copy is made.
    if (haveCli && !ours.empty()) {
        const QString folder = scratch.filePath(QStringLiteral("out1"));
        const Run again = download(kSmallSinger, folder);
        std::printf("  rerun, all %d works already here: %.3f s, %d files after (target under 0.5 s, no copies: %s)\n",
                    kWorks, again.seconds, again.files,
                    again.ok && again.seconds < 0.5 && again.files == kWorks ? "met" : "missed");
    }
    const double ourWall = legMedian(ours, kWorks);
    const double ariaWall = legMedian(aria, kWorks);
    if (ourWall > 0 && ariaWall > 0)
        std::printf("  ratio ours/aria2c %.2f (target at most 1.2: %s)\n", ourWall / ariaWall,
                    ourWall / ariaWall <= 1.2 ? "met" : "missed");

    if (haveCli && haveTime) {
        const Run large = download(kLargeSinger, freshFolder());
        std::vector<qint64> smallPeaks;
        for (const Run &run : ours)
            smallPeaks.push_back(run.peakKiB);
        const qint64 small = smallPeaks.empty() ? 0 : *std::max_element(smallPeaks.begin(), smallPeaks.end());
        if (!large.ok || large.files != kLargeWorks) {
            std::printf("memory: the 5,000-work run failed: %s (%d files)\n", qPrintable(large.problem), large.files);
        } else {
            std::printf("memory: cantora-cli peak RSS %.1f MiB for %d works, %.1f MiB for %d works (%.1f s): "
                        "%+.1f MiB (target within 20 MiB: %s)\n",
                        small / 1024.0, kWorks, large.peakKiB / 1024.0, kLargeWorks, large.seconds,
                        (large.peakKiB - small) / 1024.0, (large.peakKiB - small) <= 20 * 1024 ? "met" : "missed");
        }
    }

    if (found(QStringLiteral("hyperfine")) && haveCurl) {
        const QString page = base + QLatin1String(kLookupPage);
        QStringList commands;
        if (haveCli)
            commands << QStringLiteral("%1 --site %2 lookup %3").arg(cli, base, page);
        commands << QStringLiteral("curl -s %1").arg(page);
        if (const auto medians = hyperfineMedians(commands, scratch.filePath(QStringLiteral("startup.json")))) {
            std::printf("start-up, one song page, median of 10 runs (hyperfine -N):\n");
            for (qsizetype i = 0; i < commands.size(); ++i)
                std::printf("  %-34s %7.1f ms\n", i + 1 == commands.size() ? "curl -s" : "cantora-cli lookup",
                            (*medians)[i] * 1000.0);
        } else {
            std::printf("start-up: hyperfine failed\n");
        }
    }

    site.terminate();
    site.waitForFinished(5000);
    return 0;
}

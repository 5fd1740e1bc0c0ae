// Keeping five followed singers current, from the replica site on loopback:
// five singers of 500 generated works each (1005 to 1009) are followed, then
//   - a first sync fetches all 2,500 works (-j 2, the sync's default): its
//     wall time and its peak resident memory;
//   - a second sync finds nothing new: its wall time, which should stay under
//     a second beyond one singer page per singer.
//
//   bench_sync [--cli PATH] [--port N]   (defaults: the build's cantora-cli, port 18746)

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

#include <sys/resource.h>

namespace {

constexpr int kSingers = 5;
constexpr int kFirstSinger = 1005;

struct Timed final
{
    int exitCode = -1;
    double seconds = 0;
    qint64 peakKiB = 0;
    QByteArray err;
};

Timed run(const QString &cli, const QStringList &arguments, const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    QElapsedTimer clock;
    clock.start();
    process.start(cli, arguments);
    Timed timed;
    if (!process.waitForFinished(1800000))
        process.kill();
    timed.seconds = double(clock.nsecsElapsed()) / 1e9;
    timed.err = process.readAllStandardError();
    timed.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    // The largest of the children waited for so far (Linux counts KiB).
    rusage usage = {};
    getrusage(RUSAGE_CHILDREN, &usage);
    timed.peakKiB = usage.ru_maxrss;
    return timed;
}

int mp3Count(const QString &folder)
{
    int count = 0;
    for (QDirIterator it(folder, {QStringLiteral("*.mp3")}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();
         it.next())
        ++count;
    return count;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList words = app.arguments();
    QString cli = QStringLiteral(CANTORA_BUILD_DIR "/cli/cantora-cli");
    int port = 18746;
    for (qsizetype i = 1; i + 1 < words.size(); ++i) {
        if (words[i] == QLatin1String("--cli"))
            cli = words[++i];
        else if (words[i] == QLatin1String("--port"))
            port = words[++i].toInt();
    }

    QProcess site;
    site.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    site.start(QStringLiteral(CANTORA_SITE_BINARY), {QStringLiteral("--port"), QString::number(port)});
    if (!site.waitForStarted() || !site.waitForReadyRead(10000) || !site.readAllStandardOutput().contains("serving")) {
        std::fprintf(stderr, "bench_sync: the replica site did not start on port %d\n", port);
        return 1;
    }
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(port);
    environment.insert(QStringLiteral("CANTORA_SITE_BASE"), base);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));

    QStringList follow{QStringLiteral("follow"), QStringLiteral("add")};
    for (int i = 0; i < kSingers; ++i)
        follow << base + QStringLiteral("/userPage.php?uid=%1").arg(kFirstSinger + i);
    QProcess add;
    add.setProcessEnvironment(environment);
    add.start(cli, follow);
    add.waitForFinished();

    const QString music = home.filePath(QStringLiteral("Music"));
    const QStringList sync{QStringLiteral("sync"), QStringLiteral("-o"), music};
    const Timed first = run(cli, sync, environment);
    const int files = mp3Count(music);
    const Timed second = run(cli, sync, environment);

    std::printf("cantora-cli sync, %d followed singers x 500 works, replica on loopback, -j 2\n", kSingers);
    std::printf("  first sync:  %6.2f s, %d files, peak RSS %lld KiB (exit %d)\n", first.seconds, files,
                static_cast<long long>(first.peakKiB), first.exitCode);
    std::printf("  second sync: %6.2f s, nothing new (exit %d)\n", second.seconds, second.exitCode);
    if (first.exitCode != 0 || second.exitCode != 0)
        std::fprintf(stderr, "%s\n%s\n", first.err.right(600).constData(), second.err.right(600).constData());
    site.terminate();
    site.waitForFinished();
    return first.exitCode == 0 && second.exitCode == 0 && files == kSingers * 500 ? 0 : 1;
}

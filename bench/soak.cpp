// Soak: repeats lookups, plays, downloads, harvests and double-click lookups
// against the replica site for a long while and reports how the program's
// memory grows. Not part of CI.
// Run: build/bench/soak [minutes=30] [warm-up minutes=3]
// SOAK_ONLY=play,download,harvest limits the rounds to those steps (the
// lookup always runs), to tell which one holds on to memory.
//
// The replica site runs as a process of its own, so the figures are the
// program's alone. Every step runs from the main event loop and returns to it, as a user's
// clicks do, so what the program hands to the loop for later (replies and
// pictures deleted later, say) is released the way it is in real use.

#include "app/downloadpanel.h"
#include "app/form1.h"
#include "app/qtmediadevice.h"
#include "app/songpanel.h"
#include "bench/resident.h"
#include "player/mciinterpreter.h"
#include "support/fakes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

double residentMiB()
{
    return static_cast<double>(residentBytes()) / (1024.0 * 1024.0);
}

bool wanted(const QString &step)
{
    const QString only = qEnvironmentVariable("SOAK_ONLY");
    return only.isEmpty() || only.split(QLatin1Char(',')).contains(step);
}

// A step does its part and says how long to wait before the next one; kAgain
// runs it again shortly (for waits on the window).
constexpr int kAgain = -1;
using Step = std::function<int()>;

class Soak final
{
public:
    Soak(double minutes, double warmUp)
        : m_minutes(minutes)
        , m_warmUp(warmUp)
    {}

    ~Soak()
    {
        m_site.kill();
        m_site.waitForFinished();
    }

    bool start()
    {
        if (!startSite())
            return false;
        // Quiet stand-ins for the desktop, with the real player.
        Platform platform = m_fakes.make();
        platform.mci = std::make_unique<MciInterpreter>([] { return std::make_unique<QtMediaDevice>(); });
        AppConfig config = testConfig(m_base, m_folder.path());
        config.audioHostTemplate = QStringLiteral("127.0.0.%1:") + QString::number(m_port);
        m_window = std::make_unique<Form1>(config, std::move(platform));
        m_window->load();
        if (!m_window->Text1->isEnabled())
            return false;
        buildRound();
        m_clock.start();
        std::printf("minute  rounds  RSS MiB\n");
        schedule(0);
        return true;
    }

    int finish()
    {
        m_window->close();
        const double endRss = residentMiB();
        if (m_warmRss == 0)
            m_warmRss = endRss;
        std::printf("\nrounds %d (lookup%s%s%s), failures %d\n", m_rounds,
                    wanted(QStringLiteral("play")) ? ", play, stop, re-resolve" : "",
                    wanted(QStringLiteral("download")) ? ", download" : "",
                    wanted(QStringLiteral("harvest")) ? ", harvest, double-click" : "", m_failures);
        std::printf("RSS after warm-up %.1f MiB, at the end %.1f MiB, peak %.1f MiB\n", m_warmRss, endRss, m_peakRss);
        std::printf("growth after warm-up %.1f MiB (%.1f%%)\n", endRss - m_warmRss,
                    100.0 * (endRss - m_warmRss) / m_warmRss);
        return m_failures == 0 ? 0 : 2;
    }

private:
    bool startSite()
    {
        {
            QTcpServer probe; // a free port for the site
            if (!probe.listen(QHostAddress::LocalHost, 0))
                return false;
            m_port = probe.serverPort();
        }
        m_base = QStringLiteral("http://127.0.0.1:%1").arg(m_port);
        m_site.start(QStringLiteral(CANTORA_SITE_BINARY),
                     {QStringLiteral("--port"), QString::number(m_port), QStringLiteral("--root"),
                      QStringLiteral(CANTORA_SITE_ROOT)});
        if (!m_site.waitForStarted())
            return false;
        for (int attempt = 0; attempt < 100; ++attempt) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, m_port);
            if (socket.waitForConnected(100))
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    void buildRound()
    {
        Form1 &w = *m_window;
        const QStringList works = {QStringLiteral("5200109"), QStringLiteral("5201109"), QStringLiteral("5202109"),
                                   QStringLiteral("5203109")};
        m_steps.push_back([this, &w, works] {
            const QString id = works.at(m_rounds % works.size());
            w.Text1->setText(m_base + QStringLiteral("/s/") + id);
            w.songPanel().aicAlphaImage3_Click();
            m_failures += w.songRecord().audioAddress.contains(id) ? 0 : 1;
            return 0;
        });
        if (wanted(QStringLiteral("play"))) {
            m_steps.push_back([&w] { return w.Command7->click(), 600; });  // play
            m_steps.push_back([&w] { return w.Command7->click(), 0; });    // stop
            m_steps.push_back([&w] { return w.Command16->click(), 600; }); // re-resolve and play
        }
        if (wanted(QStringLiteral("download"))) {
            m_steps.push_back([this, &w] {
                w.Command2->click(); // the panel with its default path
                w.Command6->click(); // runs to the end
                m_failures += QFile::exists(w.downloadPanel().downloadPath()) ? 0 : 1;
                QFile::remove(w.downloadPanel().downloadPath());
                return 0;
            });
        }
        if (wanted(QStringLiteral("harvest"))) {
            m_steps.push_back([this, &w] {
                // Every fifth round the singer with thousands of works.
                const QString uid = m_rounds % 5 == 4 ? QStringLiteral("1004") : QStringLiteral("1001");
                w.ListView1->clear();
                w.Text2->setText(m_base + QStringLiteral("/userPage.php?uid=") + uid);
                w.Command10->click();
                m_waitStarted = m_clock.elapsed();
                return 0;
            });
            m_steps.push_back([this, &w] {
                if (w.ListView1->topLevelItemCount() > 0 && w.Command10->isEnabled())
                    return 0;
                if (m_clock.elapsed() - m_waitStarted < 10000)
                    return kAgain;
                ++m_failures;
                return 0;
            });
            m_steps.push_back([this, &w] {
                if (QTreeWidgetItem *row = w.ListView1->topLevelItem(m_rounds % 3)) {
                    w.ListView1->setCurrentItem(row);
                    QTest::mouseDClick(w.ListView1->viewport(), Qt::LeftButton, {},
                                       w.ListView1->visualItemRect(row).center());
                }
                return 0;
            });
        }
    }

    void schedule(int ms)
    {
        QTimer::singleShot(ms, m_window.get(), [this] { next(); });
    }

    void next()
    {
        const int wait = m_steps[m_step]();
        if (wait == kAgain) {
            schedule(20);
            return;
        }
        if (++m_step < m_steps.size()) {
            schedule(wait);
            return;
        }
        m_step = 0;
        endRound();
        if (m_clock.elapsed() >= m_minutes * 60000) {
            QCoreApplication::exit(finish());
            return;
        }
        schedule(wait);
    }

    void endRound()
    {
        ++m_rounds;
        const double rss = residentMiB();
        m_peakRss = std::max(m_peakRss, rss);
        if (m_warmRss == 0 && m_clock.elapsed() >= m_warmUp * 60000)
            m_warmRss = rss;
        const qint64 minute = m_clock.elapsed() / 60000;
        if (minute >= m_nextReport) {
            std::printf("%6lld  %6d  %7.1f\n", minute, m_rounds, rss);
            std::fflush(stdout);
            m_nextReport = minute + 1;
        }
    }

    const double m_minutes;
    const double m_warmUp;
    QProcess m_site;
    quint16 m_port = 0;
    QString m_base;
    QTemporaryDir m_folder;
    FakePlatform m_fakes;
    std::unique_ptr<Form1> m_window;
    std::vector<Step> m_steps;
    size_t m_step = 0;
    QElapsedTimer m_clock;
    qint64 m_waitStarted = 0;
    qint64 m_nextReport = 0;
    int m_rounds = 0;
    int m_failures = 0;
    double m_warmRss = 0;
    double m_peakRss = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Soak soak(argc > 1 ? QByteArray(argv[1]).toDouble() : 30.0, argc > 2 ? QByteArray(argv[2]).toDouble() : 3.0);
    QTimer::singleShot(0, &app, [&soak] {
        if (!soak.start()) {
            std::fprintf(stderr, "the replica site or the window did not come up\n");
            QCoreApplication::exit(1);
        }
    });
    return app.exec();
}

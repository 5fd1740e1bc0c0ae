#include "cli/desktopnotifier.h"

#include "cli/stop.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <QVariantMap>

namespace cli {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
// The sender's own wait for an answer, inside the whole notification's limit.
constexpr int kAnswerMs = 3000;
} // namespace

void BusNotifier::notify(const QString &summary, const QString &body)
{
    if (stopRequested())
        return;
    QProcess sender;
    sender.setProgram(QCoreApplication::applicationFilePath());
    sender.setArguments({QLatin1String(kSendNotificationWord), summary, body});
    sender.setStandardOutputFile(QProcess::nullDevice());
    sender.setStandardErrorFile(QProcess::nullDevice());
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&sender, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&sender, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QObject::connect(StopSignal::instance(), &StopSignal::stopRequested, &loop, &QEventLoop::quit);
    limit.start(kTimeLimitMs);
    sender.start();
    if (sender.state() != QProcess::NotRunning)
        loop.exec();
    if (sender.state() != QProcess::NotRunning) {
        sender.kill();
        sender.waitForFinished(1000);
    }
}

int sendNotification(const QString &summary, const QString &body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return 1;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/Notifications"),
                                                       kService, QStringLiteral("Notify"));
    call << QStringLiteral("cantora-cli") << 0u << QStringLiteral("io.github.cantora_helper.CantoraHelper") << summary
         << body << QStringList() << QVariantMap() << -1;
    // Waits for the answer (the bus may start the service first) so the
    // message is out before the program ends; a bus without one answers at once.
    return bus.call(call, QDBus::Block, kAnswerMs).type() == QDBusMessage::ReplyMessage ? 0 : 1;
}

void announceSync(DesktopNotifier &notifier, const SyncNews &news)
{
    QStringList lines;
    if (news.newWorks > 0)
        lines << QStringLiteral("关注的 %1 位歌手有 %2 首新作品已下载").arg(news.singersWithNew).arg(news.newWorks);
    if (!news.firstCause.isEmpty())
        lines << (news.singersFailed > 0 ? QStringLiteral("%1 位歌手同步失败 .. ").arg(news.singersFailed)
                                         : QStringLiteral("同步失败 .. ")) +
                     news.firstCause;
    if (!lines.isEmpty())
        notifier.notify(QStringLiteral("Cantora辅助工具"), lines.join(QLatin1Char('\n')));
}

} // namespace cli

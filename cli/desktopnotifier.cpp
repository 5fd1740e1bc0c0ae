#include "cli/desktopnotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace cli {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
} // namespace

void BusNotifier::notify(const QString &summary, const QString &body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/Notifications"),
                                                       kService, QStringLiteral("Notify"));
    call << QStringLiteral("cantora-cli") << 0u << QStringLiteral("io.github.cantora_helper.CantoraHelper") << summary
         << body << QStringList() << QVariantMap() << -1;
    // Waits for the answer (the bus may start the service first) so the
    // message is out before the program ends; a bus without one answers at once.
    bus.call(call, QDBus::Block, 5000);
}

void announceNewWorks(DesktopNotifier &notifier, int newWorks, int singers)
{
    if (newWorks <= 0)
        return;
    notifier.notify(QStringLiteral("Cantora辅助工具"),
                    QStringLiteral("关注的 %1 位歌手有 %2 首新作品已下载").arg(singers).arg(newWorks));
}

} // namespace cli

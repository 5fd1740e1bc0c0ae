#include "config/appconfig.h"

#include "buildconfig.h"

#include <QCoreApplication>
#include <QUrl>

AppConfig AppConfig::fromBuild()
{
    AppConfig config;
    config.siteBase = QStringLiteral(CANTORA_SITE_BASE);
    config.imageHost = QStringLiteral(CANTORA_IMAGE_HOST);
    config.videoHost = QStringLiteral(CANTORA_VIDEO_HOST);
    config.audioHostTemplate = QStringLiteral(CANTORA_AUDIO_HOST_TEMPLATE);
    config.updateBase = QStringLiteral(CANTORA_UPDATE_BASE);
    config.forumUrl = QStringLiteral(CANTORA_FORUM_URL);
    config.homeUrl = QStringLiteral(CANTORA_HOME_URL);
    config.programFolder = QCoreApplication::applicationDirPath();
    return config;
}

bool AppConfig::hasSongPagePrefix(const QString &address) const
{
    const QString prefix = songPagePrefix();
    if (address.contains(prefix, Qt::CaseSensitive))
        return true;
    const QLatin1String http("http://");
    const QLatin1String https("https://");
    QString other;
    if (prefix.startsWith(http, Qt::CaseInsensitive))
        other = https + prefix.mid(http.size());
    else if (prefix.startsWith(https, Qt::CaseInsensitive))
        other = http + prefix.mid(https.size());
    return !other.isEmpty() && address.contains(other, Qt::CaseSensitive);
}

QString AppConfig::audioHost(const QString &serverNumber) const
{
    const QString host = audioHostTemplate.arg(serverNumber);
    return host.contains(QLatin1String("://")) ? host : QStringLiteral("http://") + host;
}

AppConfig AppConfig::aimedAt(const QString &address) const
{
    const QUrl url(address.trimmed(), QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return *this;
    AppConfig aimed = *this;
    aimed.siteBase = url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo)
                         .toString(QUrl::FullyEncoded);
    return aimed;
}

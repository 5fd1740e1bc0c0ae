#include "cli/options.h"

#include <QUrl>

namespace cli {

namespace {
AppConfig &current()
{
    static AppConfig config;
    return config;
}
} // namespace

const AppConfig &config()
{
    return current();
}

void setConfig(const AppConfig &config)
{
    current() = config;
}

QString otherSiteHint(const QString &address)
{
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    const QUrl site(config().siteBase);
    const bool web = url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
    if (!web || url.host().isEmpty() || !url.path().contains(QLatin1String("/s/")) ||
        config().hasSongPagePrefix(address) ||
        (url.host().compare(site.host(), Qt::CaseInsensitive) == 0 && url.port(80) == site.port(80)))
        return QString();
    const QString base =
        url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo).toString();
    return QStringLiteral("cantora-cli: this song page is not on %1; to use the site it is on, give --site %2 "
                          "(or set CANTORA_SITE_BASE)")
        .arg(config().siteBase, base);
}

} // namespace cli

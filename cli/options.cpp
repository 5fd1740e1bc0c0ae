#include "cli/options.h"

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

AppConfig aimedAt(AppConfig config, const QString &base)
{
    config.siteBase = base;
    config.imageHost = base + QStringLiteral("/img");
    config.videoHost = base + QStringLiteral("/video");
    config.updateBase = base;
    config.forumUrl = base + QStringLiteral("/forum/");
    config.homeUrl = base + QStringLiteral("/");
    return config;
}

} // namespace cli

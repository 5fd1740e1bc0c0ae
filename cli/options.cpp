#include "cli/options.h"

namespace cli {

namespace {
AppConfig &current()
{
    static AppConfig config = AppConfig::fromBuild();
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
    config.updateBase = base;
    config.imageHost = base + QStringLiteral("/img");
    config.videoHost = base + QStringLiteral("/video");
    return config;
}

} // namespace cli

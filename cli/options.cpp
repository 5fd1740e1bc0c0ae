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

} // namespace cli

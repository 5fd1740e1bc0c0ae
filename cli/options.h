#pragma once

#include "config/appconfig.h"

#include <QString>

// What every subcommand is run with.
namespace cli {

// The addresses of the site the run works against: the built-in ones, or
// those of the site named by --site or the CANTORA_* variables.
const AppConfig &config();
void setConfig(const AppConfig &config);

// For a song-page address on another host than the site's: a line that tells
// how to aim the run at that site with --site; empty otherwise.
QString otherSiteHint(const QString &address);

} // namespace cli

#pragma once

#include <QStringList>

// The subcommands that read the site and print what they found. Each takes
// the words after its name and returns the exit status.
namespace cli {

// 0 when the version file names this version, 3 when it names another, 4
// when it cannot be read.
int runCheck(const QStringList &arguments);
// 0 when every address was looked up, 1 when some failed, 2 for bad usage.
int runLookup(const QStringList &arguments);
// 0 when the singer's page was read (with or without works), 1 when it could
// not be, 2 for bad usage or an address that is no singer's page.
int runHarvest(const QStringList &arguments);

} // namespace cli

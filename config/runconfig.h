#pragma once

#include "config/appconfig.h"

#include <QList>
#include <QString>

class QProcessEnvironment;

// The addresses a program runs with, where its user can change them without a
// rebuild: the window and the command line read the same variables.
namespace runconfig {

// One environment variable that replaces addresses built in.
struct Variable final
{
    const char *name;    // "CANTORA_SITE_BASE", ...
    const char *meaning; // one line for help texts
};

// Every variable read, CANTORA_SITE_BASE first.
const QList<Variable> &variables();

// `config` aimed at the whole site at `base` (scheme and host): the site, the
// update server, the image and video hosts and the maker's pages all sit on it.
AppConfig aimedAt(AppConfig config, const QString &base);

// `built` aimed at `siteBase` when it is given, else at CANTORA_SITE_BASE when
// that is set; then each other variable that is set replaces its one address.
// Blank values count as unset; an audio host template without "%1" is ignored.
AppConfig withOverrides(AppConfig built, const QProcessEnvironment &environment, const QString &siteBase = {});

// The build's addresses with this process's environment applied.
AppConfig fromEnvironment(const QString &siteBase = {});

} // namespace runconfig

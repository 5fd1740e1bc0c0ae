#include "config/runconfig.h"

#include <QProcessEnvironment>

namespace runconfig {

namespace {

// A base address as the other addresses are built on it: no blanks around it
// and no slash at its end.
QString asBase(QString value)
{
    value = value.trimmed();
    while (value.endsWith(QLatin1Char('/')))
        value.chop(1);
    return value;
}

struct Field final
{
    Variable variable;
    QString AppConfig::*address; // none for the site base, which aims them all
    bool base;                   // joined with paths, so kept without a trailing slash
};

// CANTORA_SITE_BASE first: every other one replaces what it aimed.
const Field kFields[] = {
    {{"CANTORA_SITE_BASE", "scheme and host of the whole site (song pages, singers, version file, pictures)"},
     nullptr,
     true},
    {{"CANTORA_IMAGE_HOST", "avatar address prefix"}, &AppConfig::imageHost, true},
    {{"CANTORA_VIDEO_HOST", "video host; the player script lies under <host>/player"}, &AppConfig::videoHost, true},
    {{"CANTORA_AUDIO_HOST_TEMPLATE", "host of the numbered MP3 servers, %1 for the number"},
     &AppConfig::audioHostTemplate,
     false},
    {{"CANTORA_UPDATE_BASE", "update server holding /version/main.txt"}, &AppConfig::updateBase, true},
    {{"CANTORA_FORUM_URL", "the maker's forum"}, &AppConfig::forumUrl, false},
    {{"CANTORA_HOME_URL", "the maker's home page"}, &AppConfig::homeUrl, false},
};

} // namespace

const QList<Variable> &variables()
{
    static const QList<Variable> all = [] {
        QList<Variable> names;
        for (const Field &field : kFields)
            names << field.variable;
        return names;
    }();
    return all;
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

AppConfig withOverrides(AppConfig built, const QProcessEnvironment &environment, const QString &siteBase)
{
    QString site = asBase(siteBase);
    if (site.isEmpty())
        site = asBase(environment.value(QStringLiteral("CANTORA_SITE_BASE")));
    AppConfig config = site.isEmpty() ? std::move(built) : aimedAt(std::move(built), site);
    for (const Field &field : kFields) {
        if (!field.address)
            continue;
        const QString raw = environment.value(QLatin1String(field.variable.name)).trimmed();
        const QString value = field.base ? asBase(raw) : raw;
        if (value.isEmpty())
            continue;
        if (field.address == &AppConfig::audioHostTemplate && !value.contains(QLatin1String("%1")))
            continue;
        config.*field.address = value;
    }
    return config;
}

AppConfig fromEnvironment(const QString &siteBase)
{
    return withOverrides(AppConfig::fromBuild(), QProcessEnvironment::systemEnvironment(), siteBase);
}

} // namespace runconfig

#include "config/appconfig.h"

#include "buildconfig.h"

#include <QCoreApplication>

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

#include "app/mediamodule.h"

#include "player/mediadevice.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QStringList>

#include <cstdio>

namespace {

using Factory = MediaDevice *(*)();

// Beside the program (a build run in place), else where installing puts it.
Factory loadFactory()
{
    const QString folder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    const QString name = QStringLiteral(CANTORA_MEDIA_MODULE);
    QStringList tried;
    for (const QString &path : {folder + name, folder + QStringLiteral(CANTORA_MEDIA_MODULE_DIR "/") + name}) {
        // Never unloaded: devices and the player they pass on live in its code.
        QLibrary module(path);
        if (module.load()) {
            if (const auto factory = reinterpret_cast<Factory>(module.resolve("cantora_new_media_device")))
                return factory;
        }
        tried << module.errorString();
    }
    std::fprintf(stderr, "warning: no sound: %s\n", qPrintable(tried.join(QStringLiteral("; "))));
    return nullptr;
}

} // namespace

std::unique_ptr<MediaDevice> newModuleMediaDevice()
{
    static const Factory factory = loadFactory();
    return std::unique_ptr<MediaDevice>(factory ? factory() : nullptr);
}

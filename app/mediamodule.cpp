#include "app/mediamodule.h"

#include "app/modulelibrary.h"
#include "player/mediadevice.h"

#include <cstdio>

namespace {

using Factory = MediaDevice *(*)();

Factory loadFactory()
{
    QString failure;
    const auto factory = reinterpret_cast<Factory>(
        moduleEntry(QStringLiteral(CANTORA_MEDIA_MODULE), "cantora_new_media_device", &failure));
    if (!factory)
        std::fprintf(stderr, "warning: no sound: %s\n", qPrintable(failure));
    return factory;
}

} // namespace

std::unique_ptr<MediaDevice> newModuleMediaDevice()
{
    static const Factory factory = loadFactory();
    return std::unique_ptr<MediaDevice>(factory ? factory() : nullptr);
}

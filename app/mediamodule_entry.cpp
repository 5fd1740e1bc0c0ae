// The sound module's one entry point; the window finds it by name.

#include "app/qtmediadevice.h"
#include "config/moduleabi.h"

extern "C" Q_DECL_EXPORT const char *cantora_module_abi()
{
    return CANTORA_MODULE_ABI;
}

extern "C" Q_DECL_EXPORT MediaDevice *cantora_new_media_device()
{
    return new QtMediaDevice();
}

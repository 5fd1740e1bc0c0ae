// The sound module's one entry point; the window finds it by name.

#include "app/qtmediadevice.h"

extern "C" Q_DECL_EXPORT MediaDevice *cantora_new_media_device()
{
    return new QtMediaDevice();
}

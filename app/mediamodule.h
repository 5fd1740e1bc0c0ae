#pragma once

#include "player/mediadevice.h"

#include <memory>

// A new device from the sound module, which holds Qt Multimedia and its codec
// libraries: the module is loaded on the first call, so nothing of it costs
// start-up time, and stays loaded. Nothing when the module cannot be loaded.
std::unique_ptr<MediaDevice> newModuleMediaDevice();

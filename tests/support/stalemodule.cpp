// A module of another build, in the shape of the program's own: its version
// (when it names one) is not this build's, and nothing else in it may run.

#include <cstdlib>

#define ENTRY extern "C" __attribute__((visibility("default")))

#ifdef STALE_ABI
ENTRY const char *cantora_module_abi()
{
    return STALE_ABI;
}
#endif

ENTRY void cantora_write_tags()
{
    std::abort();
}

ENTRY void *cantora_new_media_device()
{
    std::abort();
}

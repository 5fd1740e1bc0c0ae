#pragma once

#include <QtGlobal>

// The version every module of this program carries, and the program checks
// before it makes any other call into one: the entry points pass Qt and
// program types, so a module of another build (another Qt, other types) would
// be undefined behaviour, and is treated like a missing one.
//
// CANTORA_MODULE_INTERFACE is set by the build from the headers whose types
// the entry points pass; it changes whenever they do.
#define CANTORA_MODULE_ABI_SYMBOL "cantora_module_abi"
#define CANTORA_MODULE_ABI                                                                                             \
    "cantora-helper module; interface " CANTORA_MODULE_INTERFACE "; Qt " QT_VERSION_STR "; compiler " __VERSION__

// Each module defines it: extern "C" const char *cantora_module_abi(void) returning CANTORA_MODULE_ABI.
using ModuleAbiEntry = const char *(*)();

// The one door to the operating system: the Windows operations the installer calls, and no others.
//
// On Windows these are KERNEL32, USER32 and LZ32 themselves. Everywhere else the hosted stand-in in
// platform/hosted/ implements each one with Windows semantics; its header documents every operation
// by what the installer relies on, so the two sides keep one contract.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#include <lzexpand.h>
#else
#include "hosted/winapi_hosted.h"
#endif

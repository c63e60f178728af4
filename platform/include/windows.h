// Umbrella header, as on Windows: the areas of the platform layer that exist.
#pragma once

#include "windef.h"
#if __has_include("winerror.h")
#include "winerror.h"
#endif
#if __has_include("winnls.h")
#include "winnls.h"
#endif
#if __has_include("processenv.h")
#include "processenv.h"
#endif
#if __has_include("fileapi.h")
#include "fileapi.h"
#endif
#if __has_include("libloaderapi.h")
#include "libloaderapi.h"
#endif
#if __has_include("synchapi.h")
#include "synchapi.h"
#endif
#if __has_include("winreg.h")
#include "winreg.h"
#endif
#if __has_include("winuser.h")
#include "winuser.h"
#endif
#if __has_include("wincrypt.h")
#include "wincrypt.h"
#endif
#if __has_include("wingdi.h")
#include "wingdi.h"
#endif

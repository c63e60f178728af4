// Umbrella header, as on Windows: the areas of the platform layer that exist.
#pragma once

#include "windef.h"
#if __has_include("winerror.h")
#include "winerror.h"
#endif
#if __has_include("winnls.h")
#include "winnls.h"
#endif
#if __has_include("winbase.h")
#include "winbase.h"
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

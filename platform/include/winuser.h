// Windows and messages, and message boxes.
#pragma once

#include "windef.h"

// ---- Message boxes ----

// ---- Windows and messages ----

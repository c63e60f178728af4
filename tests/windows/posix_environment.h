// setenv and unsetenv for the tests' Windows build (forced in by tests/CMakeLists.txt): the
// C runtime's _putenv_s changes what getenv and GetEnvironmentVariableA see alike.
#pragma once

#include <stdlib.h>

inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && getenv(name) != nullptr) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }

# Cross-build for Windows (x86_64) with Debian's mingw-w64. The x86_64 tests run under Wine64
# (scripts/windows-test.sh).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(NORVOSMS_WINDOWS_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

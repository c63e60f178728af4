# Cross-build for 32-bit Windows (i686) with Debian's mingw-w64: built and its exports checked;
# its tests do not run here (no 32-bit Wine).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(NORVOSMS_WINDOWS_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

# What the Windows cross-builds share, for the NORVOSMS_WINDOWS_TRIPLET set by the toolchain
# file that includes this one: Debian's mingw-w64 in its posix threads variant (for std::thread
# and std::mutex), and the libraries and headers looked for in its own root only.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${NORVOSMS_WINDOWS_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NORVOSMS_WINDOWS_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${NORVOSMS_WINDOWS_TRIPLET}-windres)
set(CMAKE_OBJDUMP ${NORVOSMS_WINDOWS_TRIPLET}-objdump)
set(CMAKE_NM ${NORVOSMS_WINDOWS_TRIPLET}-nm)

set(CMAKE_FIND_ROOT_PATH /usr/${NORVOSMS_WINDOWS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

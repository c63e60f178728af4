# The Windows build's tests (included by tests/CMakeLists.txt). Every build checks the DLL's
# export table; the test suites run under Wine64, so only the x86_64 build has them (this
# machine's kernel runs no 32-bit programs, so the i686 build is checked by its exports alone).
add_test(NAME windows_dll_exports
  COMMAND ${CMAKE_COMMAND} -DMAP=${CMAKE_SOURCE_DIR}/api/exports/NorvoSMS.map -DDLL=$<TARGET_FILE:NorvoSMS>
          "-DOBJECTS=$<JOIN:$<TARGET_OBJECTS:NorvoSMS>,|>" -DOBJDUMP=${CMAKE_OBJDUMP} -DNM=${CMAKE_NM}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/windows/check_dll_exports.cmake)
set_tests_properties(windows_dll_exports PROPERTIES TIMEOUT 60)

if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
  message(STATUS "Windows ${CMAKE_SYSTEM_PROCESSOR}: only the export table is checked (no 32-bit Wine here)")
  return()
endif()
find_program(NORVOSMS_WINE NAMES wine REQUIRED)
# One Wine prefix per build tree, made by scripts/windows-test.sh (wineboot) before CTest runs.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix
    WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= ${NORVOSMS_WINE})

# GoogleTest from Debian's sources, built with the same toolchain.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

add_library(norvosms_test_support INTERFACE)
norvosms_include_view(TARGET norvosms_test_support SCOPE INTERFACE FOLDERS tests)
target_compile_options(norvosms_test_support INTERFACE
  -include ${CMAKE_CURRENT_SOURCE_DIR}/windows/posix_environment.h)

add_subdirectory(sandbox)
add_subdirectory(windows)
add_subdirectory(xml)
add_subdirectory(xmlrpc)
add_subdirectory(api)
add_subdirectory(updater)
add_subdirectory(wire)

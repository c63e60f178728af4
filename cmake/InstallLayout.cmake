# Where `cmake --install` puts things, and the helpers that give our shared libraries and
# programs their install rules. Components: runtime (the shared libraries), development
# (headers, CMake package, pkg-config file), programs (norvosms, the desktop program, the sandbox).

# The ABI number in the SONAMEs of libNorvoSMS and libNorvoSMSPlatform. Raise it only when the
# exports (api/NorvoSMS.h, api/exports/NorvoSMS.map) or the platform functions their callers use
# change incompatibly, never for a release alone. The two libraries share it so that they always
# change together and ship in one runtime package.
set(NORVOSMS_SOVERSION 1)

# Our headers, <windows.h> among them, in a folder of their own, never in the system's include folder.
set(NORVOSMS_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/norvosms)
set(NORVOSMS_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/NorvoSMS)

# Outside the system's library folders the installed programs and libraries find ours relative
# to themselves, so a prefix can be moved; inside them (packages) they carry no search path.
list(FIND CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES ${CMAKE_INSTALL_FULL_LIBDIR} norvosms_libdir_implicit)
if(norvosms_libdir_implicit LESS 0)
  file(RELATIVE_PATH norvosms_bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
  set(NORVOSMS_PROGRAM_RPATH "$ORIGIN/${norvosms_bin_to_lib}")
  set(NORVOSMS_LIBRARY_RPATH "$ORIGIN")
else()
  set(NORVOSMS_PROGRAM_RPATH "")
  set(NORVOSMS_LIBRARY_RPATH "")
endif()

#   norvosms_shared_library(<target> EXPORT_NAME <name>)   installed, exported as NorvoSMS::<name>
function(norvosms_shared_library target)
  cmake_parse_arguments(L "" "EXPORT_NAME" "" ${ARGN})
  set_target_properties(${target} PROPERTIES
    VERSION ${PROJECT_VERSION} SOVERSION ${NORVOSMS_SOVERSION}
    EXPORT_NAME ${L_EXPORT_NAME} INSTALL_RPATH "${NORVOSMS_LIBRARY_RPATH}")
  add_library(NorvoSMS::${L_EXPORT_NAME} ALIAS ${target})
  install(TARGETS ${target} EXPORT NorvoSMSTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development)
endfunction()

#   norvosms_program(<target>)   installed into bin/
function(norvosms_program target)
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "${NORVOSMS_PROGRAM_RPATH}")
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT programs)
endfunction()

# Debian packages with CPack (run by scripts/package.sh): the runtime libraries, the development
# files, and the programs. Dependencies on other packages come from dpkg-shlibdeps.
set(NORVOSMS_MAINTAINER "NorvoSMS developers <developers@norvosms.invalid>")
set(norvosms_runtime_package libnorvosms${NORVOSMS_SOVERSION})

# Each package carries its copyright file and the (native) changelog, compressed as Debian wants.
set(norvosms_changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
execute_process(COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/packaging/changelog
  OUTPUT_FILE ${norvosms_changelog_gz} RESULT_VARIABLE gzip_result)
if(NOT gzip_result EQUAL 0)
  message(FATAL_ERROR "gzip failed on packaging/changelog")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog)
foreach(pair "runtime|${norvosms_runtime_package}" "development|libnorvosms-dev" "programs|norvosms")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 component)
  list(GET pair 1 package)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${norvosms_changelog_gz}
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endforeach()

# The programs' manual pages, compressed the same way.
foreach(page norvosms norvosms-sandbox NorvoSMS)
  if(page STREQUAL "NorvoSMS" AND NOT NORVOSMS_APP)
    continue()
  endif()
  execute_process(COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/packaging/man/${page}.1
    OUTPUT_FILE ${CMAKE_BINARY_DIR}/packaging/${page}.1.gz RESULT_VARIABLE gzip_result)
  if(NOT gzip_result EQUAL 0)
    message(FATAL_ERROR "gzip failed on packaging/man/${page}.1")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/packaging/man/${page}.1)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
    COMPONENT programs)
endforeach()

# dpkg-shlibdeps learns from this file which package holds our own libraries, so the programs
# and the development package get their dependency on the runtime package from their binaries
# too (packaging/copy_shlibs_local.cmake puts it where dpkg-shlibdeps looks).
file(WRITE ${CMAKE_BINARY_DIR}/packaging/shlibs.local
  "libNorvoSMS ${NORVOSMS_SOVERSION} ${norvosms_runtime_package} (>= ${PROJECT_VERSION})\n"
  "libNorvoSMSPlatform ${NORVOSMS_SOVERSION} ${norvosms_runtime_package} (>= ${PROJECT_VERSION})\n"
  "libNorvoSMSBatch ${NORVOSMS_SOVERSION} ${norvosms_runtime_package} (>= ${PROJECT_VERSION})\n")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME norvosms)
set(CPACK_PACKAGE_VENDOR "NorvoSMS")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${NORVOSMS_MAINTAINER})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development programs)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${NORVOSMS_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/packaging/copy_shlibs_local.cmake)
set(CPACK_NORVOSMS_SHLIBS_LOCAL ${CMAKE_BINARY_DIR}/packaging/shlibs.local)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${norvosms_runtime_package})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# Only the runtime package has shared libraries, so only it gets a shlibs file.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/triggers)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "client library of the NorvoSMS text-messaging service
The NorvoSMS library sends short (SMS) and long (LMS) text messages through
a pool of worker threads that report each outcome to the caller's window,
logs in, runs phone authentication of a sender, reads the account's facts
and address book, and queries sending history and status. Every call is an
XML-RPC call over HTTPS to the service.
.
This package holds libNorvoSMS, libNorvoSMSPlatform (the Windows
operations it uses) and libNorvoSMSBatch, journaled batches on the
library's exports: every recipient recorded in a small SQLite file before
its message goes out, nothing sent twice, each one settled from the
service's own record after a stop, a kill or an outage.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libnorvosms-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
# The batch library's journal is SQLite: its headers do not need SQLite's, but a static link
# through norvosms-batch.pc (Requires.private) does.
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${norvosms_runtime_package} (= ${PROJECT_VERSION}), libsqlite3-dev")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "client library of the NorvoSMS text-messaging service - development files
The header NorvoSMS.h and the Windows-style headers its callers need (in
their own folder, include/norvosms), the batch library's headers with the
notification window's, the CMake package (find_package of NorvoSMS, with
the targets NorvoSMS::NorvoSMS and NorvoSMS::Batch) and the pkg-config
files (norvosms, norvosms-batch) for building programs against the
NorvoSMS libraries.")

set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME norvosms)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION net)
# The sandbox is Python; dpkg-shlibdeps sees only the binaries.
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_DEPENDS "python3, openssl")
set(CPACK_COMPONENT_PROGRAMS_DESCRIPTION "command-line client and desktop program of the NorvoSMS text-messaging service
norvosms sends SMS and LMS messages, one or a batch from a file, and reads
the account's facts, address book and sending history from the command
line. NorvoSMS is the desktop login form with saved credentials and the
update check. norvosms-sandbox starts a local stand-in for the service
(demo account included), so both can be tried without an account.")

include(CPack)

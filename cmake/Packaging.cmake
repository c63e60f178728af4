# The CMake package, the pkg-config file and the Debian packages (scripts/package.sh).
include(CMakePackageConfigHelpers)

install(EXPORT NorvoSMSTargets NAMESPACE NorvoSMS:: DESTINATION ${NORVOSMS_INSTALL_CMAKEDIR}
  COMPONENT development)
configure_package_config_file(cmake/NorvoSMSConfig.cmake.in ${CMAKE_BINARY_DIR}/NorvoSMSConfig.cmake
  INSTALL_DESTINATION ${NORVOSMS_INSTALL_CMAKEDIR})
# 1.x callers keep working with any later 1.y: the SONAME holds the same promise.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/NorvoSMSConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/NorvoSMSConfig.cmake ${CMAKE_BINARY_DIR}/NorvoSMSConfigVersion.cmake
  DESTINATION ${NORVOSMS_INSTALL_CMAKEDIR} COMPONENT development)

# norvosms.pc for the library, norvosms-batch.pc for the batch library (Linux only, beside it).
foreach(pc_name norvosms norvosms-batch)
  install(CODE "
    set(PC_NAME \"${pc_name}\")
    set(PC_TEMPLATE \"${CMAKE_SOURCE_DIR}/cmake/${pc_name}.pc.in\")
    set(PC_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
    set(CMAKE_INSTALL_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
    set(NORVOSMS_INSTALL_INCLUDEDIR \"${NORVOSMS_INSTALL_INCLUDEDIR}\")
    set(PROJECT_VERSION \"${PROJECT_VERSION}\")
    include(\"${CMAKE_SOURCE_DIR}/cmake/WritePkgConfig.cmake\")
    " COMPONENT development)
endforeach()

include(cmake/DebianPackages.cmake)

# Run by `cmake --install`: writes PC_NAME.pc for the prefix being installed into, so the file
# is right for --prefix and for packages alike. Expects PC_NAME, PC_TEMPLATE, PC_LIBDIR and the
# template's variables to be set.
set(NORVOSMS_PC_PREFIX ${CMAKE_INSTALL_PREFIX})
set(pc_file $ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${PC_LIBDIR}/pkgconfig/${PC_NAME}.pc)
configure_file(${PC_TEMPLATE} ${pc_file} @ONLY)
message(STATUS "Installing: ${pc_file}")

# CPack runs this after staging each package's files. dpkg-shlibdeps reads debian/shlibs.local in
# the folder it runs in (the package's staging folder): the programs learn there which package
# holds our libraries. The runtime package needs no entry (its libraries depend on each other
# only), and the development package has no binaries and must not ship the file.
file(GLOB_RECURSE staged LIST_DIRECTORIES true ${CPACK_TEMPORARY_DIRECTORY}/*)
foreach(folder ${CPACK_TEMPORARY_DIRECTORY} ${staged})
  get_filename_component(name ${folder} NAME)
  if(IS_DIRECTORY ${folder} AND name STREQUAL "programs")
    file(MAKE_DIRECTORY ${folder}/debian)
    file(COPY_FILE ${CPACK_NORVOSMS_SHLIBS_LOCAL} ${folder}/debian/shlibs.local)
  endif()
endforeach()

# CPack runs this after staging each package's files: dpkg-shlibdeps reads debian/shlibs.local
# in the folder it runs in, which is the package's staging folder.
file(GLOB staged LIST_DIRECTORIES true ${CPACK_TEMPORARY_DIRECTORY} ${CPACK_TEMPORARY_DIRECTORY}/*)
foreach(folder ${staged})
  if(IS_DIRECTORY ${folder})
    file(MAKE_DIRECTORY ${folder}/debian)
    file(COPY_FILE ${NORVOSMS_SHLIBS_LOCAL} ${folder}/debian/shlibs.local)
  endif()
endforeach()

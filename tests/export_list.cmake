# Shared by the export checks of the shared library and of the DLL (cmake -P scripts).
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/ExportList.cmake)

# The exports of the version script MAP, sorted, into OUT.
function(norvosms_map_globals map out)
  norvosms_map_exports(${map} names)
  list(SORT names)
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

# Stops the script unless the two sorted lists are the same; says what was exported.
function(norvosms_expect_exports actual expected)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "exported: ${actual}\nexpected: ${expected}")
  endif()
  message(STATUS "exports: ${actual}")
endfunction()

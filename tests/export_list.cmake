# Shared by the export checks of the shared library and of the DLL (cmake -P scripts).

# The names after "global:" in the version script MAP (comments dropped), sorted, into OUT.
function(norvosms_map_globals map out)
  file(READ ${map} text)
  string(REGEX REPLACE "/\\*[^*]*\\*/" "" text "${text}")
  string(REGEX MATCH "global:([^}]*)local:" globals "${text}")
  string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_@]*" names "${CMAKE_MATCH_1}")
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

# Reads the one hand-kept export list, the version script api/exports/NorvoSMS.map (usable from
# CMake scripts run with -P as well as from the build).

# The names after "global:" in the version script MAP (comments dropped), in the file's order.
function(norvosms_map_exports map out)
  file(READ ${map} text)
  string(REGEX REPLACE "/\\*[^*]*\\*/" "" text "${text}")
  if(NOT text MATCHES "global:([^}]*)local:")
    message(FATAL_ERROR "${map} has no global: list")
  endif()
  string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_@]*" names "${CMAKE_MATCH_1}")
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

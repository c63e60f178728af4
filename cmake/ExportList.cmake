# Reads the one hand-kept export list, the version script api/exports/NorvoSMS.map, and the
# decorated names the objects give its exports (usable from CMake scripts run with -P as well as
# from the build). The DLL's module-definition writer and the export checks both use these.

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

# The first group of REGEX in each line a tool prints (the command is the rest of the arguments);
# stops the script when the tool fails.
function(norvosms_tool_matches out regex)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE text RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed")
  endif()
  string(REPLACE "\n" ";" lines "${text}")
  set(found "")
  foreach(line ${lines})
    if(line MATCHES "${regex}")
      list(APPEND found "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# The names among EXPORTS that the objects ("a.obj|b.obj", read with the toolchain's NM) define
# as i686 stdcall functions, decorated as the compiler decorated them ("_Name@bytes" gives
# "Name@bytes": the argument bytes only the compiler knows for sure). None on x86_64.
function(norvosms_decorated_exports nm objects exports out)
  string(REPLACE "|" ";" objects "${objects}")
  norvosms_tool_matches(stdcall "^[0-9a-fA-F]+ T _([A-Za-z_][A-Za-z0-9_]*@[0-9]+)$" ${nm} --defined-only ${objects})
  set(decorated "")
  foreach(name ${stdcall})
    string(REGEX REPLACE "@[0-9]+$" "" plain "${name}")
    list(FIND exports ${plain} known)
    if(known GREATER_EQUAL 0)
      list(APPEND decorated "${name}")
    endif()
  endforeach()
  set(${out} "${decorated}" PARENT_SCOPE)
endfunction()

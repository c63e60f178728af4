# Writes NorvoSMS.dll's module-definition file from the version script, so that the export list
# is kept in one place. x86_64 has one calling convention and no decoration: each export under
# its plain name. On i686 each stdcall export is also exported under the decorated name the
# compiler gave its function (its argument bytes, which only the compiler knows for sure), read
# from the objects about to be linked.
#   cmake -DMAP=NorvoSMS.map -DOUT=NorvoSMS.def "-DOBJECTS=a.obj|b.obj" -DNM=nm -P write_module_definition.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/ExportList.cmake)
norvosms_map_exports(${MAP} exports)

string(REPLACE "|" ";" objects "${OBJECTS}")
execute_process(COMMAND ${NM} --defined-only ${objects} OUTPUT_VARIABLE nm_text RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${objects}")
endif()
string(REPLACE "\n" ";" nm_lines "${nm_text}")
foreach(line ${nm_lines})
  # A stdcall function of i686: "_Name@bytes", the C prefix "_" dropped.
  if(line MATCHES "^[0-9a-fA-F]+ T _([A-Za-z_][A-Za-z0-9_]*)(@[0-9]+)$")
    set(decorated_${CMAKE_MATCH_1} "${CMAKE_MATCH_1}${CMAKE_MATCH_2}")
  endif()
endforeach()

set(text "; Made by the build from api/exports/NorvoSMS.map: edit that list, not this file.\n")
string(APPEND text "LIBRARY NorvoSMS.dll\nEXPORTS\n")
foreach(name ${exports})
  if(DEFINED decorated_${name})
    string(APPEND text "    ${name} = ${decorated_${name}}\n    ${decorated_${name}}\n")
  else()
    string(APPEND text "    ${name}\n")
  endif()
endforeach()
# Rewritten only when it changes, so that an unchanged list does not look new.
set(old "")
if(EXISTS ${OUT})
  file(READ ${OUT} old)
endif()
if(NOT old STREQUAL text)
  file(WRITE ${OUT} "${text}")
endif()

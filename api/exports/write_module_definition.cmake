# Writes NorvoSMS.dll's module-definition file from the version script, so that the export list
# is kept in one place. x86_64 has one calling convention and no decoration: each export under
# its plain name. On i686 each stdcall export is also exported under the decorated name the
# compiler gave its function (its argument bytes, which only the compiler knows for sure), read
# from the objects about to be linked.
#   cmake -DMAP=NorvoSMS.map -DOUT=NorvoSMS.def "-DOBJECTS=a.obj|b.obj" -DNM=nm -P write_module_definition.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/ExportList.cmake)
norvosms_map_exports(${MAP} exports)

norvosms_decorated_exports(${NM} "${OBJECTS}" "${exports}" decorated)
foreach(name_bytes ${decorated})
  string(REGEX REPLACE "@[0-9]+$" "" name "${name_bytes}")
  set(decorated_${name} "${name_bytes}")
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

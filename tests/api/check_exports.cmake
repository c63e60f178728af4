# The dynamic symbol table of the library holds exactly the globals of its version script.
#   cmake -DMAP=NorvoSMS.map -DLIB=libNorvoSMS.so -P check_exports.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../export_list.cmake)
norvosms_map_globals(${MAP} expected)

execute_process(COMMAND nm -D --defined-only ${LIB} OUTPUT_VARIABLE nm_text RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIB}")
endif()
string(REPLACE "\n" ";" nm_lines "${nm_text}")
set(actual "")
foreach(line ${nm_lines})
  if(line MATCHES "^[0-9a-fA-F]* [A-Za-z] ([^ ]+)$")
    list(APPEND actual ${CMAKE_MATCH_1})
  endif()
endforeach()
list(SORT actual)
norvosms_expect_exports("${actual}" "${expected}")

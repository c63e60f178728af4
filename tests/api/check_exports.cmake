# The dynamic symbol table of the library holds exactly the globals of its version script.
#   cmake -DMAP=NorvoSMS.map -DLIB=libNorvoSMS.so -P check_exports.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../export_list.cmake)
norvosms_map_globals(${MAP} expected)

norvosms_tool_matches(actual "^[0-9a-fA-F]* [A-Za-z] ([^ ]+)$" nm -D --defined-only ${LIB})
list(SORT actual)
norvosms_expect_exports("${actual}" "${expected}")

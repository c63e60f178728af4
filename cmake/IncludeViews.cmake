# Sources spell their includes from the top of the tree ("api/api_client.h", "xml/xml_node.h"),
# but no target sees the whole tree. Each library gets an include view in the build tree: a
# folder of symbolic links to its own source folder (or to single public headers) under the same
# names. A target sees a folder only when it links the library that owns it, so an include that
# crosses the layering the wrong way (api/ including app/) fails to compile.
#
#   norvosms_include_view(TARGET <target> SCOPE PUBLIC|PRIVATE|INTERFACE
#                         [FOLDERS <folder>...] [FILES <header>...])
# FOLDERS and FILES are paths relative to the top of the source tree.
function(norvosms_include_view)
  cmake_parse_arguments(V "" "TARGET;SCOPE" "FOLDERS;FILES" ${ARGN})
  if(NOT TARGET ${V_TARGET})
    message(FATAL_ERROR "norvosms_include_view: no target ${V_TARGET}")
  endif()
  set(view ${CMAKE_BINARY_DIR}/include-views/${V_TARGET})
  foreach(entry ${V_FOLDERS} ${V_FILES})
    set(source ${CMAKE_SOURCE_DIR}/${entry})
    if(NOT EXISTS ${source})
      message(FATAL_ERROR "norvosms_include_view(${V_TARGET}): ${entry} does not exist")
    endif()
    set(link ${view}/${entry})
    get_filename_component(parent ${link} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    if(IS_SYMLINK ${link})
      file(READ_SYMLINK ${link} current)
    else()
      set(current "")
    endif()
    if(NOT current STREQUAL source)
      file(REMOVE ${link})
      file(CREATE_LINK ${source} ${link} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${V_TARGET} ${V_SCOPE} $<BUILD_INTERFACE:${view}>)
endfunction()

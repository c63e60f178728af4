# The program's bitmaps: painted at build time by a small Qt tool, written as 24-bit BMP files
# and compiled into norvosms_app with Qt's resource system (":/bitmaps/<id>.bmp").
# Included from app/CMakeLists.txt once norvosms_app exists.
find_package(Qt6 REQUIRED COMPONENTS Gui)

add_executable(norvosms_bitmap_painter
  ${CMAKE_CURRENT_LIST_DIR}/bitmap_painter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bmp_writer.cpp
  ${CMAKE_SOURCE_DIR}/app/skin.cpp)
norvosms_warnings(norvosms_bitmap_painter)
norvosms_include_view(TARGET norvosms_bitmap_painter SCOPE PRIVATE FOLDERS app)
target_include_directories(norvosms_bitmap_painter PRIVATE ${CMAKE_SOURCE_DIR}/platform/include)
target_link_libraries(norvosms_bitmap_painter PRIVATE Qt6::Gui)

set(norvosms_bitmap_ids 165 166 167 168 170 305 306 307 308 309 310)
set(norvosms_bitmap_dir ${CMAKE_CURRENT_BINARY_DIR}/bitmaps)
set(norvosms_bitmap_files "")
foreach(id ${norvosms_bitmap_ids})
  list(APPEND norvosms_bitmap_files ${norvosms_bitmap_dir}/${id}.bmp)
endforeach()

# Offscreen, so no display is needed; leak checks off because the tool may run sanitized.
add_custom_command(OUTPUT ${norvosms_bitmap_files}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
          $<TARGET_FILE:norvosms_bitmap_painter> ${norvosms_bitmap_dir}
  DEPENDS norvosms_bitmap_painter
  COMMENT "Painting the program's bitmaps"
  VERBATIM)
set_source_files_properties(${norvosms_bitmap_files} PROPERTIES GENERATED TRUE)

qt_add_resources(norvosms_app norvosms_bitmaps
  PREFIX /bitmaps
  BASE ${norvosms_bitmap_dir}
  FILES ${norvosms_bitmap_files})

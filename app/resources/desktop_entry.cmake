# The desktop program's menu entry and its icon, made at build time from the program's own OK
# button bitmap (painted by bitmaps.cmake). Included from app/CMakeLists.txt.
add_executable(norvosms_icon_maker ${CMAKE_CURRENT_LIST_DIR}/icon_maker.cpp)
norvosms_warnings(norvosms_icon_maker)
target_link_libraries(norvosms_icon_maker PRIVATE Qt6::Gui)

set(norvosms_icon_sizes 48 128)
set(norvosms_icon_files "")
foreach(size ${norvosms_icon_sizes})
  set(icon ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}/norvosms.png)
  add_custom_command(OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:norvosms_icon_maker> ${norvosms_bitmap_dir}/165.bmp ${icon} ${size}
    DEPENDS norvosms_icon_maker ${norvosms_bitmap_dir}/165.bmp
    COMMENT "Making the ${size}x${size} icon"
    VERBATIM)
  list(APPEND norvosms_icon_files ${icon})
  install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    COMPONENT programs)
endforeach()
add_custom_target(norvosms_icons ALL DEPENDS ${norvosms_icon_files})

install(FILES ${CMAKE_CURRENT_LIST_DIR}/norvosms.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
  COMPONENT programs)

find_package(Qt6 6.2 REQUIRED COMPONENTS Widgets PrintSupport)
add_library(nereid_display_gui STATIC
    ${CMAKE_CURRENT_LIST_DIR}/ana_wnd.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ana_control_bar.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ana_view.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ana_view_layout.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ana_view_menus.cpp
    ${CMAKE_CURRENT_LIST_DIR}/plot_painter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/channel_bar.cpp
    ${CMAKE_CURRENT_LIST_DIR}/question.cpp
    ${CMAKE_CURRENT_LIST_DIR}/name_file_dlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recording_control.cpp)
set_target_properties(nereid_display_gui PROPERTIES AUTOMOC ON)
nereid_share_precompiled_headers(nereid_display_gui qt_libraries)
target_include_directories(nereid_display_gui PUBLIC ${NEREID_INCLUDE_ROOT})
target_link_libraries(nereid_display_gui PUBLIC nereid_display_model nereid_recorder
    nereid_link_dialogs Qt6::Widgets Qt6::PrintSupport)

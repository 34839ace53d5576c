find_package(Qt6 6.2 REQUIRED COMPONENTS Widgets PrintSupport)
set(CMAKE_AUTOMOC ON)

# The connection dialogs: "CONNECT" with its modem section, and the "Phone List Editor".
add_library(nereid_link_dialogs STATIC
    ${NEREID_INCLUDE_ROOT}/link/dialogs/connect_dialog.cpp
    ${NEREID_INCLUDE_ROOT}/link/dialogs/phone_list_editor.cpp
    ${NEREID_INCLUDE_ROOT}/link/dialogs/message_box.cpp)
target_include_directories(nereid_link_dialogs PUBLIC ${NEREID_INCLUDE_ROOT})
target_link_libraries(nereid_link_dialogs PUBLIC nereid_telephony Qt6::Widgets)
nereid_share_precompiled_headers(nereid_link_dialogs qt_libraries)

# The main window and everything it opens itself; the executable adds only main().
add_library(nereid_shell STATIC
    ${CMAKE_CURRENT_LIST_DIR}/main_frame.cpp
    ${CMAKE_CURRENT_LIST_DIR}/main_frame_commands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/modem_controller.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recording_controller.cpp
    ${CMAKE_CURRENT_LIST_DIR}/menu_set.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tellus_status_bar.cpp
    ${CMAKE_CURRENT_LIST_DIR}/display_settings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/queued_intake_events.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sheet_routes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/about_dialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/system_info.cpp
    ${CMAKE_CURRENT_LIST_DIR}/drive_list.cpp
    ${CMAKE_CURRENT_LIST_DIR}/folder_panel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/translate_dialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/translate_runner.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mseed_settings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sheet_context_of.cpp
    ${CMAKE_CURRENT_LIST_DIR}/serve_control.cpp)
target_include_directories(nereid_shell PUBLIC ${NEREID_INCLUDE_ROOT})
target_link_libraries(nereid_shell PUBLIC nereid_link_dialogs nereid_core Qt6::Widgets
    Qt6::PrintSupport)
# The instrument sheets, which show their messages through the connection dialogs' boxes.
if(TARGET nereid_instrument_gui)
    target_link_libraries(nereid_instrument_gui PUBLIC nereid_link_dialogs)
    target_link_libraries(nereid_shell PUBLIC nereid_instrument_gui)
endif()
target_compile_definitions(nereid_shell PRIVATE NEREID_VERSION="${PROJECT_VERSION}")
nereid_share_precompiled_headers(nereid_shell qt_libraries)

add_executable(TellusW32 ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(TellusW32 PRIVATE nereid_shell)
set_target_properties(TellusW32 PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
if(TARGET nereid_display_gui)
    target_link_libraries(nereid_shell PUBLIC nereid_display_gui)
endif()
# The DataLink side of "Serve SeedLink": its settings dialog.
target_sources(nereid_shell PRIVATE ${CMAKE_CURRENT_LIST_DIR}/serve_settings_dialog.cpp)

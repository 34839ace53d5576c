# Qt Test programs of the main window and its dialogs, on the offscreen platform.
nereid_gui_test(shell_main_frame_test ${CMAKE_CURRENT_LIST_DIR}/main_frame_test.cpp)
nereid_gui_test(shell_connect_test ${CMAKE_CURRENT_LIST_DIR}/connect_test.cpp)
nereid_gui_test(shell_modem_test ${CMAKE_CURRENT_LIST_DIR}/modem_test.cpp)
nereid_gui_test(shell_translate_test ${CMAKE_CURRENT_LIST_DIR}/translate_test.cpp)

# Built beside TellusW32 (build/shell), so that it finds the build's wavexport as the program
# does from the build tree, with no folder configured.
if(TARGET wavexport AND TARGET TellusW32)
    nereid_gui_test(shell_seisan_recording_test ${CMAKE_CURRENT_LIST_DIR}/seisan_recording_test.cpp)
    set_target_properties(shell_seisan_recording_test PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY $<TARGET_FILE_DIR:TellusW32>)
    target_compile_definitions(shell_seisan_recording_test PRIVATE
        NEREID_WAVEXPORT_PATH="$<TARGET_FILE:wavexport>")
    add_dependencies(shell_seisan_recording_test wavexport)
endif()

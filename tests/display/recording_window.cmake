if(TARGET nereid AND TARGET wavexport)
    nereid_gui_test(display_recording_window_test
        ${CMAKE_CURRENT_LIST_DIR}/recording_window_test.cpp)
    target_compile_definitions(display_recording_window_test PRIVATE
        NEREID_CLI_PATH="$<TARGET_FILE:nereid>"
        NEREID_WAVEXPORT_PATH="$<TARGET_FILE:wavexport>")
    add_dependencies(display_recording_window_test nereid wavexport)
endif()

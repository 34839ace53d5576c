# Qt Test programs of the main window and its dialogs, on the offscreen platform.
function(nereid_gui_test name)
    add_executable(${name} ${ARGN})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE nereid_shell Qt6::Test Threads::Threads)
    target_include_directories(${name} PRIVATE ${NEREID_INCLUDE_ROOT} ${CMAKE_CURRENT_LIST_DIR})
    target_compile_definitions(${name} PRIVATE
        NEREID_SIM_PATH="$<TARGET_FILE:nereid-sim>"
        NEREID_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/screenshots")
    add_dependencies(${name} nereid-sim)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
        LABELS gui
        TIMEOUT 240)
endfunction()

nereid_gui_test(shell_main_frame_test ${CMAKE_CURRENT_LIST_DIR}/main_frame_test.cpp)
nereid_gui_test(shell_connect_test ${CMAKE_CURRENT_LIST_DIR}/connect_test.cpp)
nereid_gui_test(shell_modem_test ${CMAKE_CURRENT_LIST_DIR}/modem_test.cpp)
nereid_gui_test(shell_translate_test ${CMAKE_CURRENT_LIST_DIR}/translate_test.cpp)

# Qt Test programs of the main window and its dialogs, on the offscreen platform.
nereid_gui_test(shell_main_frame_test ${CMAKE_CURRENT_LIST_DIR}/main_frame_test.cpp)
nereid_gui_test(shell_connect_test ${CMAKE_CURRENT_LIST_DIR}/connect_test.cpp)
nereid_gui_test(shell_modem_test ${CMAKE_CURRENT_LIST_DIR}/modem_test.cpp)
nereid_gui_test(shell_translate_test ${CMAKE_CURRENT_LIST_DIR}/translate_test.cpp)

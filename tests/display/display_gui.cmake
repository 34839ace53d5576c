# Qt Test programs of the analysis window and the recording setup, on the offscreen platform.
nereid_gui_test(display_analysis_window_test ${CMAKE_CURRENT_LIST_DIR}/analysis_window_test.cpp)
include(${CMAKE_CURRENT_LIST_DIR}/recording_window.cmake OPTIONAL)
nereid_gui_test(display_analysis_truth_test ${CMAKE_CURRENT_LIST_DIR}/analysis_truth_test.cpp)
nereid_gui_test(display_analysis_clock_test ${CMAKE_CURRENT_LIST_DIR}/analysis_clock_test.cpp)

nereid_core_test(nereid_recorder_test
    ${CMAKE_CURRENT_LIST_DIR}/file_recorder_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recorder_tools_test.cpp
)

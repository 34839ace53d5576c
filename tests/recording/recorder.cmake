nereid_core_test(nereid_recorder_test
    ${CMAKE_CURRENT_LIST_DIR}/file_recorder_test.cpp
)

nereid_core_test(nereid_recorder_test
    ${CMAKE_CURRENT_LIST_DIR}/file_recorder_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_recorder_failure_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recorder_tools_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recorder_intake_test.cpp
)
if(TARGET nereid AND TARGET nereid-sim AND TARGET wavexport)
    nereid_integration_test(nereid_record_test
        ${CMAKE_CURRENT_LIST_DIR}/recorder_e2e_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/recorder_mseed_e2e_test.cpp)
endif()

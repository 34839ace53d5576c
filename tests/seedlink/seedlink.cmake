nereid_core_test(nereid_seedlink_test
    ${CMAKE_CURRENT_LIST_DIR}/command_parser_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/record_ring_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/session_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/server_test.cpp
)

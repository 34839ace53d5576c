nereid_core_test(nereid_seedlink_test
    ${CMAKE_CURRENT_LIST_DIR}/command_parser_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/record_ring_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ring_file_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/session_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/server_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/stream_feed_test.cpp
)
if(TARGET nereid AND TARGET nereid-sim AND TARGET wavexport)
    nereid_integration_test(nereid_serve_test ${CMAKE_CURRENT_LIST_DIR}/serve_e2e_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/serve_ring_test.cpp)
endif()

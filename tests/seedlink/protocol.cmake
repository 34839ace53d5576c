# The protocol as the field's clients speak it: conversations of libslink 3 and 4, SeedLink
# 4.0, the WebSocket transport and many clients at once.
nereid_core_test(nereid_seedlink_protocol_test
    ${CMAKE_CURRENT_LIST_DIR}/conversation_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/websocket_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/server_limits_test.cpp
)

# An independent client: seisplotjs from npm (tests/seedlink/node, installed with 'npm ci'),
# run by Node against nereid serve on the simulator.
find_program(NEREID_NODE node)
if(NEREID_NODE AND TARGET nereid AND TARGET nereid-sim)
    add_test(NAME nereid_seisplotjs_client
        COMMAND ${CMAKE_CURRENT_LIST_DIR}/node/run_seisplotjs_check.sh
            $<TARGET_FILE:nereid-sim> $<TARGET_FILE:nereid> ${NEREID_NODE})
    set_tests_properties(nereid_seisplotjs_client PROPERTIES LABELS "core;integration" TIMEOUT 120)
endif()

# Unit tests of the simulator's pieces.
nereid_core_test(sim_unit_test
    ${CMAKE_CURRENT_LIST_DIR}/frame_channel_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/command_processor_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/drive_store_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hlcp_file_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/options_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/modem_front_end_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recorder_calendar_test.cpp
)
target_link_libraries(sim_unit_test PRIVATE nereid_sim)

# The PC's link core against the simulator program.
if(TARGET nereid AND TARGET wavexport)
    nereid_integration_test(sim_link_test ${CMAKE_CURRENT_LIST_DIR}/sim_link_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/sim_link_stream_test.cpp)
else()
    # The other programs are not in this tree yet; the simulator alone is enough here.
    add_executable(sim_link_test ${CMAKE_CURRENT_LIST_DIR}/sim_link_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/sim_link_stream_test.cpp)
    target_link_libraries(sim_link_test PRIVATE nereid_core GTest::gtest GTest::gtest_main Threads::Threads)
    target_include_directories(sim_link_test PRIVATE ${NEREID_INCLUDE_ROOT})
    target_compile_definitions(sim_link_test PRIVATE NEREID_SIM_PATH="$<TARGET_FILE:nereid-sim>")
    add_dependencies(sim_link_test nereid-sim)
    gtest_discover_tests(sim_link_test PROPERTIES LABELS "core;integration" DISCOVERY_TIMEOUT 60)
endif()

nereid_core_test(transaction_test ${CMAKE_CURRENT_LIST_DIR}/transaction_test.cpp)
nereid_core_test(receiver_thread_test ${CMAKE_CURRENT_LIST_DIR}/receiver_thread_test.cpp)
nereid_core_test(direct_search_test ${CMAKE_CURRENT_LIST_DIR}/direct_search_test.cpp)
nereid_core_test(line_watch_test ${CMAKE_CURRENT_LIST_DIR}/line_watch_test.cpp)
nereid_core_test(channel_rebuild_test ${CMAKE_CURRENT_LIST_DIR}/channel_rebuild_test.cpp)

# Against the simulator program.
if(TARGET nereid-sim)
    if(TARGET nereid AND TARGET wavexport)
        nereid_integration_test(session_sim_test ${CMAKE_CURRENT_LIST_DIR}/session_sim_test.cpp)
    else()
        # Not every program of the tree exists yet; the simulator is all this test needs.
        add_executable(session_sim_test ${CMAKE_CURRENT_LIST_DIR}/session_sim_test.cpp)
        target_link_libraries(session_sim_test PRIVATE nereid_core GTest::gtest GTest::gtest_main Threads::Threads)
        target_include_directories(session_sim_test PRIVATE ${NEREID_INCLUDE_ROOT})
        target_compile_definitions(session_sim_test PRIVATE NEREID_SIM_PATH="$<TARGET_FILE:nereid-sim>")
        add_dependencies(session_sim_test nereid-sim)
        gtest_discover_tests(session_sim_test PROPERTIES LABELS "core;integration" DISCOVERY_TIMEOUT 60)
    endif()
endif()

# Answers among the data frames of a recorder that streams when the PC connects.
if(TARGET nereid-sim AND TARGET nereid AND TARGET wavexport)
    nereid_integration_test(busy_line_test ${CMAKE_CURRENT_LIST_DIR}/busy_line_test.cpp)
endif()

# The main window on such a line (offscreen).
if(NOT NEREID_CORE_ONLY AND COMMAND nereid_gui_test)
    nereid_gui_test(busy_line_gui_test ${CMAKE_CURRENT_LIST_DIR}/busy_line_gui_test.cpp)
endif()

# The nereid tool against nereid-sim.
if(TARGET nereid AND TARGET nereid-sim)
    if(TARGET wavexport)
        nereid_integration_test(cli_test ${CMAKE_CURRENT_LIST_DIR}/cli_test.cpp)
    else()
        # Not every program of the tree exists yet; the simulator and the tool are enough here.
        add_executable(cli_test ${CMAKE_CURRENT_LIST_DIR}/cli_test.cpp)
        target_link_libraries(cli_test PRIVATE nereid_core GTest::gtest GTest::gtest_main Threads::Threads util)
        target_include_directories(cli_test PRIVATE ${NEREID_INCLUDE_ROOT})
        target_compile_definitions(cli_test PRIVATE
            NEREID_SIM_PATH="$<TARGET_FILE:nereid-sim>" NEREID_CLI_PATH="$<TARGET_FILE:nereid>")
        add_dependencies(cli_test nereid-sim nereid)
        gtest_discover_tests(cli_test PROPERTIES LABELS "core;integration" DISCOVERY_TIMEOUT 60)
    endif()
    target_link_libraries(cli_test PRIVATE util)
endif()

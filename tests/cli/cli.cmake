# The nereid tool against nereid-sim.
nereid_integration_test(cli_test ${CMAKE_CURRENT_LIST_DIR}/cli_test.cpp)
target_link_libraries(cli_test PRIVATE util)

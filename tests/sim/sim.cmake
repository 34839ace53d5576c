nereid_integration_test(sim_link_test ${CMAKE_CURRENT_LIST_DIR}/sim_link_test.cpp)

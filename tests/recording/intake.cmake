nereid_core_test(intake_test ${CMAKE_CURRENT_LIST_DIR}/intake_test.cpp)

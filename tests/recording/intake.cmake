# The real-time intake and the channel table it writes.
nereid_core_test(intake_test
    ${CMAKE_CURRENT_LIST_DIR}/intake_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/channel_table_test.cpp)

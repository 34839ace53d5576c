nereid_core_test(transaction_test ${CMAKE_CURRENT_LIST_DIR}/transaction_test.cpp)
nereid_core_test(receiver_thread_test ${CMAKE_CURRENT_LIST_DIR}/receiver_thread_test.cpp)
nereid_core_test(direct_search_test ${CMAKE_CURRENT_LIST_DIR}/direct_search_test.cpp)

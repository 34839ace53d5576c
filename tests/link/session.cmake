nereid_core_test(transaction_test ${CMAKE_CURRENT_LIST_DIR}/transaction_test.cpp)

nereid_fuzzer(fuzz_datalink ${CMAKE_CURRENT_LIST_DIR}/fuzz_datalink.cpp)

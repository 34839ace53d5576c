nereid_fuzzer(fuzz_seedlink ${CMAKE_CURRENT_LIST_DIR}/fuzz_seedlink.cpp)

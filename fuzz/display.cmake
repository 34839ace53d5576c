nereid_fuzzer(fuzz_settings ${CMAKE_CURRENT_LIST_DIR}/fuzz_settings.cpp)

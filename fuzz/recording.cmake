nereid_fuzzer(fuzz_readers ${CMAKE_CURRENT_LIST_DIR}/fuzz_readers.cpp)
nereid_fuzzer(fuzz_translator ${CMAKE_CURRENT_LIST_DIR}/fuzz_translator.cpp)
nereid_fuzzer(fuzz_intake ${CMAKE_CURRENT_LIST_DIR}/fuzz_intake.cpp)
nereid_fuzzer(fuzz_steim2 ${CMAKE_CURRENT_LIST_DIR}/fuzz_steim2.cpp)

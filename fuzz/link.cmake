nereid_fuzzer(fuzz_frames ${CMAKE_CURRENT_LIST_DIR}/fuzz_frames.cpp)
nereid_fuzzer(fuzz_receive_ring ${CMAKE_CURRENT_LIST_DIR}/fuzz_receive_ring.cpp)

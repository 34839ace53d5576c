nereid_fuzzer(fuzz_telephony ${CMAKE_CURRENT_LIST_DIR}/fuzz_telephony.cpp)
target_link_libraries(fuzz_telephony PRIVATE nereid_telephony)

nereid_fuzzer(fuzz_page_models ${CMAKE_CURRENT_LIST_DIR}/fuzz_page_models.cpp)
nereid_fuzzer(fuzz_upload ${CMAKE_CURRENT_LIST_DIR}/fuzz_upload.cpp)

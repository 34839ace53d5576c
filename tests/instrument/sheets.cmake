# The page models and the sheet machinery (core), and the sheets on the offscreen platform.
nereid_core_test(instrument_status_models_test
    ${CMAKE_CURRENT_LIST_DIR}/status_models_test.cpp)

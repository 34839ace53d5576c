# The page models and the sheet machinery (core), and the sheets on the offscreen platform.
nereid_core_test(instrument_status_models_test
    ${CMAKE_CURRENT_LIST_DIR}/status_models_test.cpp)
nereid_core_test(instrument_sheet_machinery_test
    ${CMAKE_CURRENT_LIST_DIR}/sheet_machinery_test.cpp)
if(NOT NEREID_CORE_ONLY)
    nereid_gui_test(instrument_status_sheet_test ${CMAKE_CURRENT_LIST_DIR}/status_sheet_test.cpp)
endif()

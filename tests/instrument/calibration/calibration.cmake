# Calibration: the models (core); the pages and sheets of Calibration and Internal Recording,
# which share their adapters (GUI).
nereid_core_test(calibration_model_test ${CMAKE_CURRENT_LIST_DIR}/calibration_model_test.cpp)
# nereid cal and nereid ir against the simulator (the file lies with the cli tests).
if(TARGET nereid AND TARGET nereid-sim AND TARGET wavexport)
    nereid_integration_test(calibration_commands_test
        ${CMAKE_SOURCE_DIR}/tests/cli/calibration_commands_test.cpp)
endif()
if(NOT NEREID_CORE_ONLY AND TARGET nereid_instrument_gui)
    nereid_gui_test(calibration_pages_test ${CMAKE_CURRENT_LIST_DIR}/calibration_pages_test.cpp)
    target_link_libraries(calibration_pages_test PRIVATE nereid_instrument_gui)
endif()
if(NOT NEREID_CORE_ONLY AND TARGET nereid_instrument_gui)
    nereid_gui_test(calibration_sheets_test ${CMAKE_CURRENT_LIST_DIR}/calibration_sheets_test.cpp)
endif()

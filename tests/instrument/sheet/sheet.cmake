# The page models and the sheet machinery (core), and the sheets on the offscreen platform.
nereid_core_test(instrument_status_models_test
    ${CMAKE_CURRENT_LIST_DIR}/status_models_test.cpp)
nereid_core_test(instrument_sheet_machinery_test
    ${CMAKE_CURRENT_LIST_DIR}/sheet_machinery_test.cpp)
if(NOT NEREID_CORE_ONLY)
    nereid_gui_test(instrument_status_sheet_test ${CMAKE_CURRENT_LIST_DIR}/status_sheet_test.cpp)
    nereid_gui_test(instrument_command_sheet_test
        ${CMAKE_CURRENT_LIST_DIR}/command_sheet_test.cpp)
endif()
nereid_core_test(instrument_command_models_test
    ${CMAKE_CURRENT_LIST_DIR}/command_models_test.cpp)
# nereid status and nereid order against the simulator (the file lies with the cli tests).
if(TARGET nereid AND TARGET nereid-sim AND TARGET wavexport)
    nereid_integration_test(cli_sheet_commands_test
        ${CMAKE_SOURCE_DIR}/tests/cli/sheet_commands_test.cpp)
endif()

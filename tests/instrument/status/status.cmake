# The Status sheet: its models (core) and the sheet on the offscreen platform.
nereid_core_test(instrument_status_models_test
    ${CMAKE_CURRENT_LIST_DIR}/status_models_test.cpp)
if(NOT NEREID_CORE_ONLY)
    nereid_gui_test(instrument_status_sheet_test ${CMAKE_CURRENT_LIST_DIR}/status_sheet_test.cpp)
endif()
# nereid status and nereid order against the simulator (the file lies with the cli tests).
if(TARGET nereid AND TARGET nereid-sim AND TARGET wavexport)
    nereid_integration_test(cli_sheet_commands_test
        ${CMAKE_SOURCE_DIR}/tests/cli/sheet_commands_test.cpp)
endif()

# The Command sheet: its models (core) and the sheet on the offscreen platform.
nereid_core_test(instrument_command_models_test
    ${CMAKE_CURRENT_LIST_DIR}/command_models_test.cpp)
if(NOT NEREID_CORE_ONLY)
    nereid_gui_test(instrument_command_sheet_test
        ${CMAKE_CURRENT_LIST_DIR}/command_sheet_test.cpp)
endif()

# Calibration and internal recording: models (core) and sheets (GUI).
nereid_core_test(drive_names_test ${CMAKE_CURRENT_LIST_DIR}/drive_names_test.cpp)
nereid_core_test(calibration_model_test ${CMAKE_CURRENT_LIST_DIR}/calibration_model_test.cpp)
nereid_core_test(internal_recording_model_test
    ${CMAKE_CURRENT_LIST_DIR}/internal_recording_model_test.cpp)
# nereid cal and nereid ir against the simulator.
if(TARGET nereid AND TARGET nereid-sim AND TARGET wavexport)
    nereid_integration_test(calibration_commands_test
        ${CMAKE_CURRENT_LIST_DIR}/../cli/calibration_commands_test.cpp)
endif()
if(TARGET nereid AND TARGET nereid-sim AND TARGET wavexport)
    nereid_integration_test(internal_recording_sim_test
        ${CMAKE_CURRENT_LIST_DIR}/internal_recording_sim_test.cpp)
endif()
if(NOT NEREID_CORE_ONLY AND TARGET nereid_instrument_gui)
    nereid_gui_test(calibration_pages_test ${CMAKE_CURRENT_LIST_DIR}/calibration_pages_test.cpp)
    target_link_libraries(calibration_pages_test PRIVATE nereid_instrument_gui)
endif()
if(NOT NEREID_CORE_ONLY AND TARGET nereid_instrument_gui)
    nereid_gui_test(calibration_sheets_test ${CMAKE_CURRENT_LIST_DIR}/calibration_sheets_test.cpp)
endif()

# Internal recording: the setup models (core) and the setup against the simulator.
nereid_core_test(internal_recording_model_test
    ${CMAKE_CURRENT_LIST_DIR}/internal_recording_model_test.cpp)
if(TARGET nereid AND TARGET nereid-sim AND TARGET wavexport)
    nereid_integration_test(internal_recording_sim_test
        ${CMAKE_CURRENT_LIST_DIR}/internal_recording_sim_test.cpp)
endif()

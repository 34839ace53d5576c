# Configuration sheet models; the record test reads its records from the simulator's state.
nereid_core_test(config_pages_test ${CMAKE_CURRENT_LIST_DIR}/config_pages_test.cpp)
nereid_core_test(config_record_test ${CMAKE_CURRENT_LIST_DIR}/config_record_test.cpp)
target_link_libraries(config_record_test PRIVATE nereid_sim)
nereid_core_test(config_settings_test ${CMAKE_CURRENT_LIST_DIR}/config_settings_test.cpp)
if(TARGET nereid AND TARGET nereid-sim AND TARGET wavexport)
    nereid_integration_test(config_cli_test ${CMAKE_CURRENT_LIST_DIR}/config_cli_test.cpp)
    target_link_libraries(config_cli_test PRIVATE util)
endif()

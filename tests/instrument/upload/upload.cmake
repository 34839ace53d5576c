# File upload: the transfer engine against a recorder double behind the real link.
nereid_core_test(upload_engine_test ${CMAKE_CURRENT_LIST_DIR}/upload_engine_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload_engine_pairing_test.cpp)

# nereid ls, get and rm against the simulator, clean and over a faulty line.
nereid_integration_test(upload_cli_test ${CMAKE_CURRENT_LIST_DIR}/upload_cli_test.cpp)

# The "File Upload" dialog against the simulator, offscreen.
if(NOT NEREID_CORE_ONLY)
    nereid_gui_test(upload_dialog_test ${CMAKE_CURRENT_LIST_DIR}/upload_dialog_test.cpp)
    target_link_libraries(upload_dialog_test PRIVATE nereid_instrument_gui)
endif()

# The transfer engine against nereid-sim playing a drive that answers every first request late.
nereid_integration_test(upload_slow_recorder_test
    ${CMAKE_CURRENT_LIST_DIR}/upload_slow_recorder_test.cpp)

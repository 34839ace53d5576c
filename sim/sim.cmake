add_library(nereid_sim STATIC
    ${CMAKE_CURRENT_LIST_DIR}/answer_encoder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/command_processor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/drive_store.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fault_injector.cpp
    ${CMAKE_CURRENT_LIST_DIR}/frame_channel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hlcp_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/instrument_state.cpp
    ${CMAKE_CURRENT_LIST_DIR}/line_endpoint.cpp
    ${CMAKE_CURRENT_LIST_DIR}/modem_front_end.cpp
    ${CMAKE_CURRENT_LIST_DIR}/options.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rate_codes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recorder_calendar.cpp
    ${CMAKE_CURRENT_LIST_DIR}/signal_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sim_engine.cpp
    ${CMAKE_CURRENT_LIST_DIR}/stream_generator.cpp
    ${CMAKE_CURRENT_LIST_DIR}/transfer.cpp
)
target_include_directories(nereid_sim PUBLIC ${NEREID_INCLUDE_ROOT})
# A peer of the program, as a recorder is: it shares the frame format on the wire and nothing
# else, so that a fault in the program's own code cannot hide behind the same fault here.
target_link_libraries(nereid_sim PUBLIC nereid_frame_codec)

add_executable(nereid-sim ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(nereid-sim PRIVATE nereid_sim)
set_target_properties(nereid-sim PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/sim)

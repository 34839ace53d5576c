# The frame format on the wire, alone: the simulator shares it and nothing else.
add_library(nereid_frame_codec STATIC ${CMAKE_CURRENT_LIST_DIR}/frame_codec.cpp)
target_include_directories(nereid_frame_codec PUBLIC ${NEREID_INCLUDE_ROOT})

add_library(nereid_link STATIC
    ${CMAKE_CURRENT_LIST_DIR}/instrument_link.cpp
    ${CMAKE_CURRENT_LIST_DIR}/command_builder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/answer_records.cpp
    ${CMAKE_CURRENT_LIST_DIR}/serial_link.cpp
    ${CMAKE_CURRENT_LIST_DIR}/serial_link_frames.cpp
    ${CMAKE_CURRENT_LIST_DIR}/port_probe.cpp)
target_include_directories(nereid_link PUBLIC ${NEREID_INCLUDE_ROOT})
target_link_libraries(nereid_link PUBLIC nereid_frame_codec Threads::Threads)

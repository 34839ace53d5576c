# One test program per link module; the pseudo-terminal tests need openpty (libutil).
foreach(module frame_codec command_builder answer_records serial_link serial_link_open receive_ring
        port_probe)
    set(source ${CMAKE_CURRENT_LIST_DIR}/${module}_test.cpp)
    if(EXISTS ${source})
        nereid_core_test(link_${module}_test ${source})
        target_link_libraries(link_${module}_test PRIVATE util)
    endif()
endforeach()

add_library(nereid_recorder STATIC
    ${CMAKE_CURRENT_LIST_DIR}/file_recorder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_recorder_files.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recorder_file_names.cpp
    ${CMAKE_CURRENT_LIST_DIR}/shared_buffer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/clock_update.cpp
    ${CMAKE_CURRENT_LIST_DIR}/converter_launcher.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recording_setup.cpp
)
target_include_directories(nereid_recorder PUBLIC ${NEREID_INCLUDE_ROOT})
target_link_libraries(nereid_recorder PUBLIC nereid_formats Threads::Threads)
if(TARGET nereid_session)
    target_link_libraries(nereid_recorder PUBLIC nereid_session)
endif()

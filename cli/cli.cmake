add_executable(nereid
    ${CMAKE_CURRENT_LIST_DIR}/main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/connect.cpp
    ${CMAKE_CURRENT_LIST_DIR}/probe_command.cpp
    ${CMAKE_CURRENT_LIST_DIR}/stream_command.cpp
    ${CMAKE_CURRENT_LIST_DIR}/record_command.cpp
    ${CMAKE_CURRENT_LIST_DIR}/translate_command.cpp
    ${CMAKE_CURRENT_LIST_DIR}/info_command.cpp
)
target_include_directories(nereid PRIVATE ${NEREID_INCLUDE_ROOT})
target_link_libraries(nereid PRIVATE nereid_core Threads::Threads)
set_target_properties(nereid PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/cli)

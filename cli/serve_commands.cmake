target_sources(nereid PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/serve_command.cpp
    ${CMAKE_CURRENT_LIST_DIR}/serve_service.cpp
    ${CMAKE_CURRENT_LIST_DIR}/serve_options.cpp
    ${CMAKE_CURRENT_LIST_DIR}/channel_list.cpp
)

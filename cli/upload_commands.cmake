# nereid ls, get and rm: the recorder's files.
target_sources(nereid PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/upload_session.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ls_command.cpp
    ${CMAKE_CURRENT_LIST_DIR}/get_command.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rm_command.cpp)

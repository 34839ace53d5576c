target_sources(nereid PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/config_command.cpp
    ${CMAKE_CURRENT_LIST_DIR}/clock_command.cpp
    ${CMAKE_CURRENT_LIST_DIR}/transaction_wait.cpp
)

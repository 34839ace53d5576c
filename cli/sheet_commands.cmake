# nereid status and nereid order: the Status and Command sheets' pages on the command line.
target_sources(nereid PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/sheet_session.cpp
    ${CMAKE_CURRENT_LIST_DIR}/status_command.cpp
    ${CMAKE_CURRENT_LIST_DIR}/order_command.cpp)

add_library(nereid_session STATIC
    ${CMAKE_CURRENT_LIST_DIR}/transaction.cpp
    ${CMAKE_CURRENT_LIST_DIR}/receiver_thread.cpp
    ${CMAKE_CURRENT_LIST_DIR}/direct_search.cpp
    ${CMAKE_CURRENT_LIST_DIR}/line_watch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/channel_rebuild.cpp
    ${NEREID_INCLUDE_ROOT}/recording/stream_list.cpp
    ${NEREID_INCLUDE_ROOT}/recording/channel_table.cpp
    ${NEREID_INCLUDE_ROOT}/recording/intake.cpp
)
target_include_directories(nereid_session PUBLIC ${NEREID_INCLUDE_ROOT})
target_link_libraries(nereid_session PUBLIC nereid_link nereid_formats Threads::Threads)

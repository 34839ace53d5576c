target_sources(nereid PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/datalink_options.cpp
)

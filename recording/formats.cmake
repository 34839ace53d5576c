add_library(nereid_formats STATIC
    ${CMAKE_CURRENT_LIST_DIR}/calendar.cpp
    ${CMAKE_CURRENT_LIST_DIR}/bcd_time.cpp
)
target_include_directories(nereid_formats PUBLIC ${NEREID_INCLUDE_ROOT})

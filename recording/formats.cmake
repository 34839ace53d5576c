add_library(nereid_formats STATIC
    ${CMAKE_CURRENT_LIST_DIR}/calendar.cpp
    ${CMAKE_CURRENT_LIST_DIR}/bcd_time.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fixed_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dadisp_format.cpp
    ${CMAKE_CURRENT_LIST_DIR}/css_format.cpp
    ${CMAKE_CURRENT_LIST_DIR}/channel_writer.cpp
)
target_include_directories(nereid_formats PUBLIC ${NEREID_INCLUDE_ROOT})

nereid_core_test(nereid_formats_test
    ${CMAKE_CURRENT_LIST_DIR}/calendar_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dadisp_format_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/css_format_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/seisan_format_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hlcp_translator_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/data_file_reader_test.cpp
)

nereid_core_test(nereid_formats_test
    ${CMAKE_CURRENT_LIST_DIR}/calendar_test.cpp
)

# The sheet machinery and the drive-name table (core).
nereid_core_test(instrument_sheet_machinery_test
    ${CMAKE_CURRENT_LIST_DIR}/sheet_machinery_test.cpp)
nereid_core_test(drive_names_test ${CMAKE_CURRENT_LIST_DIR}/drive_names_test.cpp)

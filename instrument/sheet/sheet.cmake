# The Status and Command sheets, the sheet machinery every sheet shares, and their page models.
list(APPEND NEREID_INSTRUMENT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/page_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/entry_check.cpp
    ${CMAKE_CURRENT_LIST_DIR}/page_ids.cpp
    ${CMAKE_CURRENT_LIST_DIR}/drive_status_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/status_models.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sheet_cycle.cpp
    ${CMAKE_CURRENT_LIST_DIR}/page_sets.cpp
    ${CMAKE_CURRENT_LIST_DIR}/help_topics.cpp
    ${CMAKE_CURRENT_LIST_DIR}/command_models.cpp)
list(APPEND NEREID_INSTRUMENT_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/result_indicator.cpp
    ${CMAKE_CURRENT_LIST_DIR}/help_viewer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sheet_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/property_sheet.cpp
    ${CMAKE_CURRENT_LIST_DIR}/status_pages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/status_sheet.cpp
    ${CMAKE_CURRENT_LIST_DIR}/command_pages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/command_sheet.cpp)

# The sheet machinery every sheet shares: the page model base, page identifiers and sets, the
# send-and-wait cycle, help topics, entry checks and the drive-name table (toolkit-free); the
# sheet and page bases, the result indicator and the help window (Qt).
list(APPEND NEREID_INSTRUMENT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/model/page_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/entry_check.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/page_ids.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/sheet_cycle.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/page_sets.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/help_topics.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/drive_names.cpp)
list(APPEND NEREID_INSTRUMENT_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/result_indicator.cpp
    ${CMAKE_CURRENT_LIST_DIR}/help_viewer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sheet_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/property_sheet.cpp)

# The Status sheet: its page models (toolkit-free) and its pages (Qt).
list(APPEND NEREID_INSTRUMENT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/model/drive_status_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/status_models.cpp)
list(APPEND NEREID_INSTRUMENT_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/status_pages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/status_sheet.cpp)

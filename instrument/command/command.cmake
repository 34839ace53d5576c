# The Command sheet: its page models (toolkit-free) and its pages (Qt).
list(APPEND NEREID_INSTRUMENT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/model/command_models.cpp)
list(APPEND NEREID_INSTRUMENT_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/command_pages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/command_sheet.cpp)

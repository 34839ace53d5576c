# The Internal Recording sheet: the setup record, its six page models and the page adapter
# (toolkit-free); the pages and the sheet (Qt).
list(APPEND NEREID_INSTRUMENT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/model/ir_fields.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/ir_station_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/ir_continuous_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/ir_event_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/ir_window_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/ir_soh_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/ir_status_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/ir_setup_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/ir_sheet_models.cpp)
list(APPEND NEREID_INSTRUMENT_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ir_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_station_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_continuous_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_event_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_window_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_soh_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_sheet.cpp)

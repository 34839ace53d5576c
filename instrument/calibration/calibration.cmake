# The Calibration sheet: the calibration signal, entry checks, page model and the page adapter
# (toolkit-free); the pages and the sheet (Qt).
list(APPEND NEREID_INSTRUMENT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/model/cal_signal.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/cal_entry.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/cal_page_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/cal_sheet_models.cpp)
list(APPEND NEREID_INSTRUMENT_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/cal_shared_spin.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cal_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cali_sheet.cpp)

# Calibration runs and the internal recording setup: page models (core) and their sheets (Qt).
list(APPEND NEREID_INSTRUMENT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/drive_names.cpp
)
list(APPEND NEREID_INSTRUMENT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/cal_signal.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cal_entry.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cal_page_model.cpp
)
list(APPEND NEREID_INSTRUMENT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ir_fields.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_station_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_continuous_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_event_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_window_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_soh_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_status_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_setup_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cal_sheet_models.cpp
)
list(APPEND NEREID_INSTRUMENT_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/cal_shared_spin.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cal_page.cpp
)
list(APPEND NEREID_INSTRUMENT_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ir_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_station_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_continuous_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_event_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_window_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_soh_page.cpp
)
list(APPEND NEREID_INSTRUMENT_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/cali_sheet.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_sheet.cpp
)

# Calibration runs and the internal recording setup: page models (core) and their sheets (Qt).
list(APPEND NEREID_INSTRUMENT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/drive_names.cpp
)
list(APPEND NEREID_INSTRUMENT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/cal_signal.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cal_entry.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cal_page_model.cpp
)

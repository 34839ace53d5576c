# Calibration runs and the internal recording setup: page models (core) and their sheets (Qt).
list(APPEND NEREID_INSTRUMENT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/drive_names.cpp
)

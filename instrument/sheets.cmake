# The Status and Command sheets, the sheet machinery every sheet shares, and their page models.
list(APPEND NEREID_INSTRUMENT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/page_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/page_ids.cpp
    ${CMAKE_CURRENT_LIST_DIR}/drive_status_model.cpp)

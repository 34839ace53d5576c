# File upload: the transfer engine and the listing model (toolkit-free).
list(APPEND NEREID_INSTRUMENT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/upload_entry.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload_estimate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload_engine.cpp)
list(APPEND NEREID_INSTRUMENT_SOURCES ${CMAKE_CURRENT_LIST_DIR}/upload_worker.cpp)
# The "File Upload" dialog.
list(APPEND NEREID_INSTRUMENT_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/upload_dialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload_animation.cpp)

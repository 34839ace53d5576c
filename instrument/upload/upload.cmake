# File upload: the transfer engine, its worker thread and the listing model (toolkit-free).
list(APPEND NEREID_INSTRUMENT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/upload_entry.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload_estimate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload_sequence.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload_owed_answers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload_file_writer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload_engine.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload_worker.cpp)
# The "File Upload" dialog.
list(APPEND NEREID_INSTRUMENT_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/upload_dialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload_local_pane.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload_animation.cpp)

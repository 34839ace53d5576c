# File upload: the listing, the transfer engine and its worker thread (toolkit-free); the
# "File Upload" dialog (Qt).
list(APPEND NEREID_INSTRUMENT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/model/upload_entry.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/upload_estimate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/upload_sequence.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/upload_owed_answers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/upload_file_writer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/upload_engine.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/upload_engine_line.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/upload_engine_answers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/upload_worker.cpp)
list(APPEND NEREID_INSTRUMENT_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/upload_dialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload_dialog_recorder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload_local_pane.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload_animation.cpp)

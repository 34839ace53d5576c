# The Configuration sheet: the record, its page models, its text forms and the settings file
# (toolkit-free); the page widgets and the sheet (Qt).
list(APPEND NEREID_INSTRUMENT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/model/config_rates.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/port_settings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/com_page_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/communication_page_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/cha_page_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/channel_page_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/time_page_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/trigger_page_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/config_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/config_page_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/config_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/config_fields.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/config_settings.cpp)
list(APPEND NEREID_INSTRUMENT_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/config_page.h
    ${CMAKE_CURRENT_LIST_DIR}/com_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cha_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/communication_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/channel_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/time_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/trigger_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/config_sheet.cpp)

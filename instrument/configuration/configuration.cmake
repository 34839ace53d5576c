# Configuration sheet: the record and page models (toolkit-free).
list(APPEND NEREID_INSTRUMENT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/config_rates.cpp
    ${CMAKE_CURRENT_LIST_DIR}/port_settings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/com_page_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/communication_page_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cha_page_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/channel_page_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/time_page_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/trigger_page_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/config_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/config_page_model.cpp
)
list(APPEND NEREID_INSTRUMENT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/config_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/config_fields.cpp
    ${CMAKE_CURRENT_LIST_DIR}/config_settings.cpp
)
# The Configuration sheet's page widgets.
list(APPEND NEREID_INSTRUMENT_GUI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/config_page.h
    ${CMAKE_CURRENT_LIST_DIR}/com_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cha_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/communication_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/channel_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/time_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/trigger_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/config_sheet.cpp
)

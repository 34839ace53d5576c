nereid_core_test(telephony_test
    ${CMAKE_CURRENT_LIST_DIR}/hayes_dialler_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/phone_directory_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/modem_session_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/modem_relay_test.cpp)
target_link_libraries(telephony_test PRIVATE nereid_telephony)

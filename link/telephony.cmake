# Toolkit-free telephony pieces: the Hayes dialler, the modem line,
# the modem connection start and the phone directory. No Qt here.
add_library(nereid_telephony STATIC
    ${NEREID_INCLUDE_ROOT}/link/hayes_dialler.cpp
    ${NEREID_INCLUDE_ROOT}/link/tty_modem_line.cpp
    ${NEREID_INCLUDE_ROOT}/link/modem_relay.cpp
    ${NEREID_INCLUDE_ROOT}/link/phone_directory.cpp
    ${NEREID_INCLUDE_ROOT}/link/modem_session.cpp)
target_include_directories(nereid_telephony PUBLIC ${NEREID_INCLUDE_ROOT})
target_link_libraries(nereid_telephony PUBLIC nereid_core)

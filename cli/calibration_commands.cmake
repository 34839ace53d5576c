# nereid cal and nereid ir: calibration runs and the internal recording setup.
target_sources(nereid PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/setup_session.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cal_command.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_keys.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_values.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ir_command.cpp
)

add_executable(wavexport
    ${CMAKE_CURRENT_LIST_DIR}/main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/converter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/folder_files.cpp
    ${CMAKE_CURRENT_LIST_DIR}/merge_check.cpp
)
target_link_libraries(wavexport PRIVATE nereid_core)
target_include_directories(wavexport PRIVATE ${NEREID_INCLUDE_ROOT})

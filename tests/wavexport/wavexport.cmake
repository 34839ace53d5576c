# One program standing in for the SEISAN tools pdasei, dirf and seisei (see its head comment).
add_executable(seisan_standin ${CMAKE_CURRENT_LIST_DIR}/seisan_standin.cpp)
target_link_libraries(seisan_standin PRIVATE nereid_core)
target_include_directories(seisan_standin PRIVATE ${NEREID_INCLUDE_ROOT})

set(WAVEXPORT_TEST_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/wavexport_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/merge_check_test.cpp
    ${NEREID_INCLUDE_ROOT}/wavexport/converter.cpp
    ${NEREID_INCLUDE_ROOT}/wavexport/folder_files.cpp
    ${NEREID_INCLUDE_ROOT}/wavexport/merge_check.cpp)

if(TARGET nereid-sim AND TARGET nereid AND TARGET wavexport)
    nereid_integration_test(wavexport_test ${WAVEXPORT_TEST_SOURCES})
    target_compile_definitions(wavexport_test PRIVATE
        NEREID_STANDIN_PATH="$<TARGET_FILE:seisan_standin>")
    add_dependencies(wavexport_test seisan_standin)
endif()

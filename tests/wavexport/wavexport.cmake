if(TARGET nereid-sim AND TARGET nereid AND TARGET wavexport)
    nereid_integration_test(wavexport_test
        ${CMAKE_CURRENT_LIST_DIR}/wavexport_test.cpp
        ${NEREID_INCLUDE_ROOT}/wavexport/converter.cpp)
elseif(TARGET wavexport)
    # The simulator or the nereid tool is not in this tree yet: the same test without them.
    add_executable(wavexport_test
        ${CMAKE_CURRENT_LIST_DIR}/wavexport_test.cpp
        ${NEREID_INCLUDE_ROOT}/wavexport/converter.cpp)
    target_link_libraries(wavexport_test PRIVATE nereid_core GTest::gtest GTest::gtest_main
                                                 Threads::Threads)
    target_include_directories(wavexport_test PRIVATE ${NEREID_INCLUDE_ROOT})
    target_compile_definitions(wavexport_test PRIVATE
        NEREID_WAVEXPORT_PATH="$<TARGET_FILE:wavexport>"
        NEREID_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}")
    add_dependencies(wavexport_test wavexport)
    gtest_discover_tests(wavexport_test PROPERTIES LABELS "core;integration" DISCOVERY_TIMEOUT 60)
endif()

# The station page of nereid serve --http: its HTTP answers in the core, and the page itself in
# headless Chromium (Debian's chromium, driven over the DevTools protocol by web/check with the
# npm packages of web/). The browser check's screenshot goes to build/screenshots, which
# 'scripts/dev.sh screenshots' copies into docs/.
nereid_core_test(nereid_station_page_test ${CMAKE_CURRENT_LIST_DIR}/http_pages_test.cpp)

find_program(NEREID_CHROMIUM NAMES chromium chromium-browser)
if(NEREID_NODE AND NEREID_CHROMIUM AND TARGET nereid_web AND TARGET nereid-sim)
    add_test(NAME nereid_station_page_browser
        COMMAND ${PROJECT_SOURCE_DIR}/web/check/run_page_check.sh
            $<TARGET_FILE:nereid-sim> $<TARGET_FILE:nereid> ${NEREID_NODE} ${NEREID_CHROMIUM}
            ${CMAKE_BINARY_DIR}/screenshots/web-page.png)
    set_tests_properties(nereid_station_page_browser PROPERTIES
        LABELS "core;integration;web" TIMEOUT 90)
    if(NEREID_SANITIZE)
        # AddressSanitizer holds freed blocks in quarantine (up to 256 MB): the service's
        # resident size then says nothing about leaks, which LeakSanitizer checks instead.
        set_tests_properties(nereid_station_page_browser PROPERTIES
            ENVIRONMENT "NEREID_RSS_SLACK_KB=300000")
    endif()
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/screenshots)
endif()

# nereid serve --http against the simulator: the status document, the shared port, a lost line.
if(TARGET nereid AND TARGET nereid-sim AND TARGET wavexport)
    nereid_integration_test(nereid_serve_page_test ${CMAKE_CURRENT_LIST_DIR}/serve_page_e2e_test.cpp)
endif()

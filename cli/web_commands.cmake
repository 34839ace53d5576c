# nereid serve --http: the station page's status document, its Status-page poller, and the
# page's files built beside the program (web/: seisplotjs from npm, bundled by esbuild from
# the same lock file, so that the browser loads nothing from elsewhere).
target_sources(nereid PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/serve_web.cpp
    ${CMAKE_CURRENT_LIST_DIR}/serve_status.cpp
    ${CMAKE_CURRENT_LIST_DIR}/serve_health.cpp
)
include(${CMAKE_CURRENT_LIST_DIR}/../web/web.cmake)

# The station page's files, put into "web" beside the nereid program: the page, its style
# and one script bundled from web/src/app.js with seisplotjs and its dependencies (esbuild from
# web/node_modules, which `npm ci` in web/ installs; scripts/dev.sh does). Without them the
# program still serves /status.json, and the page's address says the files are missing.
set(NEREID_WEB_SOURCE ${CMAKE_CURRENT_LIST_DIR})
set(NEREID_WEB_OUT ${CMAKE_BINARY_DIR}/cli/web)
set(NEREID_ESBUILD ${NEREID_WEB_SOURCE}/node_modules/.bin/esbuild)
if(EXISTS ${NEREID_ESBUILD})
    file(GLOB NEREID_WEB_SCRIPTS CONFIGURE_DEPENDS ${NEREID_WEB_SOURCE}/src/*.js)
    add_custom_command(
        OUTPUT ${NEREID_WEB_OUT}/app.js ${NEREID_WEB_OUT}/index.html ${NEREID_WEB_OUT}/style.css
        COMMAND ${CMAKE_COMMAND} -E make_directory ${NEREID_WEB_OUT}
        COMMAND ${NEREID_ESBUILD} ${NEREID_WEB_SOURCE}/src/app.js --bundle --format=esm
                --minify --log-level=warning --outfile=${NEREID_WEB_OUT}/app.js
        COMMAND ${CMAKE_COMMAND} -E copy ${NEREID_WEB_SOURCE}/index.html
                ${NEREID_WEB_SOURCE}/style.css ${NEREID_WEB_OUT}/
        DEPENDS ${NEREID_WEB_SCRIPTS} ${NEREID_WEB_SOURCE}/index.html
                ${NEREID_WEB_SOURCE}/style.css ${NEREID_WEB_SOURCE}/package-lock.json
        COMMENT "Bundling the station page (seisplotjs) into ${NEREID_WEB_OUT}"
        VERBATIM)
    add_custom_target(nereid_web ALL DEPENDS ${NEREID_WEB_OUT}/app.js)
    add_dependencies(nereid nereid_web)
    set(NEREID_WEB_BUILT ON)
else()
    message(STATUS "web/node_modules is missing ('npm ci' in web/): the station page is not built")
    set(NEREID_WEB_BUILT OFF)
endif()

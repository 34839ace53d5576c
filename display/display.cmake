# display/model: the toolkit-free display data (decimation, spectra, labels, the layout file),
# part of the core and of the sanitizer build. display/: the analysis window and the recording
# setup dialog (Qt).
find_package(PkgConfig REQUIRED)
pkg_check_modules(FFTW3F REQUIRED IMPORTED_TARGET fftw3f)

add_library(nereid_display_model STATIC
    ${CMAKE_CURRENT_LIST_DIR}/model/tables.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/decimation.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/spectrum.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/plot_labels.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/analysis_settings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/header_info.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/ring_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/auto_range.cpp
    ${CMAKE_CURRENT_LIST_DIR}/model/time_axis.cpp)
target_include_directories(nereid_display_model PUBLIC ${NEREID_INCLUDE_ROOT})
target_link_libraries(nereid_display_model PUBLIC nereid_formats PkgConfig::FFTW3F)

if(NOT NEREID_CORE_ONLY)
    include(${CMAKE_CURRENT_LIST_DIR}/display_gui.cmake OPTIONAL)
endif()

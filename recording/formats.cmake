add_library(nereid_formats STATIC
    ${CMAKE_CURRENT_LIST_DIR}/calendar.cpp
    ${CMAKE_CURRENT_LIST_DIR}/bcd_time.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fixed_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dadisp_format.cpp
    ${CMAKE_CURRENT_LIST_DIR}/css_format.cpp
    ${CMAKE_CURRENT_LIST_DIR}/seisan_format.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ascii_format.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hlcp_format.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rate_codes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/channel_writer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/staged_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/background_appender.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sample_decoders.cpp
    ${CMAKE_CURRENT_LIST_DIR}/translate_layouts.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hlcp_translator.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mapped_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/regular_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_channel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/seisan_reader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/seisan_samples.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sample_walk.cpp
    ${CMAKE_CURRENT_LIST_DIR}/data_file_reader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/seisan_merge.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mseed_packer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mseed_packer_pool.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mseed_writer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mseed_reader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/steim2_records.cpp
    ${CMAKE_CURRENT_LIST_DIR}/steim2_records_pack.cpp
    ${CMAKE_CURRENT_LIST_DIR}/steim2_encode_baseline.cpp
)
target_include_directories(nereid_formats PUBLIC ${NEREID_INCLUDE_ROOT})
# miniSEED records come from libmseed 2 (Debian's libmseed-dev; its pkg-config name is "mseed").
find_package(PkgConfig REQUIRED)
pkg_check_modules(MSEED REQUIRED IMPORTED_TARGET mseed)
target_link_libraries(nereid_formats PUBLIC PkgConfig::MSEED Threads::Threads)
# The sample walks and the Steim-2 encoder work through long runs of numbers: worth the vectoriser's full
# cost model, which -O2 keeps to the very cheapest loops.
set_source_files_properties(
    ${CMAKE_CURRENT_LIST_DIR}/file_channel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/seisan_samples.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sample_walk.cpp
    ${CMAKE_CURRENT_LIST_DIR}/steim2_encode_baseline.cpp
    PROPERTIES COMPILE_OPTIONS "$<$<CXX_COMPILER_ID:GNU>:-fvect-cost-model=dynamic>")

# The Steim-2 encoder again for AVX2, chosen when the program starts on a processor that has
# it: eight differences a step where the baseline takes four, and one instruction to swap
# bytes where SSE2 takes eight.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    target_sources(nereid_formats PRIVATE ${CMAKE_CURRENT_LIST_DIR}/steim2_encode_avx2.cpp)
    target_compile_definitions(nereid_formats PUBLIC NEREID_STEIM2_AVX2=1)
    set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/steim2_encode_avx2.cpp
        PROPERTIES COMPILE_OPTIONS "-mavx2;$<$<CXX_COMPILER_ID:GNU>:-fvect-cost-model=dynamic>")
endif()

# Shared precompiled headers. The test framework and the toolkit's widget headers were parsed
# again by every file that used them, which was most of the build's time; now each group of
# targets with the same compile options parses them once, in a small holder target of the
# group, and the group's targets reuse that. A holder has the kind of its group (executable
# or library), because GCC keeps -fPIE and -fPIC headers apart.
#
# GCC only: clang refuses a precompiled header built with other -D options, and the
# sanitizer build gains nothing it needs from it. GCC also refuses a header built with a -D
# the user lacks, so a holder links only what every target of its group links.
option(NEREID_PCH "Share precompiled headers between targets (GCC)" ON)
set(NEREID_PCH_ENABLED OFF)
if(NEREID_PCH AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set(NEREID_PCH_ENABLED ON)
endif()

set(NEREID_STD_PCH_HEADERS <algorithm> <array> <atomic> <chrono> <cstdint> <cstring>
    <filesystem> <functional> <map> <memory> <mutex> <optional> <sstream> <string>
    <thread> <vector>)

# nereid_define_pch_group(GROUP EXECUTABLE|LIBRARY LINKS lib... HEADERS header...)
function(nereid_define_pch_group group kind)
    if(NOT NEREID_PCH_ENABLED)
        return()
    endif()
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "LINKS;HEADERS")
    set(holder nereid_pch_${group})
    if(kind STREQUAL "EXECUTABLE")
        add_executable(${holder} ${NEREID_INCLUDE_ROOT}/cmake/pch_holder_main.cpp)
    else()
        add_library(${holder} OBJECT ${NEREID_INCLUDE_ROOT}/cmake/pch_holder_main.cpp)
    endif()
    target_link_libraries(${holder} PRIVATE ${arg_LINKS})
    target_precompile_headers(${holder} PRIVATE ${arg_HEADERS})
endfunction()

function(nereid_share_precompiled_headers target group)
    if(NEREID_PCH_ENABLED AND TARGET nereid_pch_${group})
        target_precompile_headers(${target} REUSE_FROM nereid_pch_${group})
    endif()
endfunction()

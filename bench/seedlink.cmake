# The SeedLink soak: a plain program (not a Google Benchmark), run by scripts/soak-serve.sh.
add_executable(serve_soak ${CMAKE_CURRENT_LIST_DIR}/serve_soak.cpp)
target_include_directories(serve_soak PRIVATE ${NEREID_INCLUDE_ROOT})
target_link_libraries(serve_soak PRIVATE nereid_core Threads::Threads)

add_executable(translate_memory_bench ${CMAKE_CURRENT_LIST_DIR}/translate_memory_bench.cpp)
target_link_libraries(translate_memory_bench PRIVATE benchmark::benchmark nereid_core)
target_include_directories(translate_memory_bench PRIVATE ${NEREID_INCLUDE_ROOT})
# The program under measurement is the real `nereid translate`, run as a child.
target_compile_definitions(translate_memory_bench PRIVATE NEREID_CLI_PATH="$<TARGET_FILE:nereid>")
add_dependencies(translate_memory_bench nereid)

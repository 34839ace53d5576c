add_executable(info_bench ${CMAKE_CURRENT_LIST_DIR}/info_bench.cpp)
target_link_libraries(info_bench PRIVATE benchmark::benchmark nereid_core)
target_include_directories(info_bench PRIVATE ${NEREID_INCLUDE_ROOT})
# The program under measurement is the real `nereid`, run as a child beside `cat`.
target_compile_definitions(info_bench PRIVATE NEREID_CLI_PATH="$<TARGET_FILE:nereid>")
add_dependencies(info_bench nereid)

add_executable(formats_bench ${CMAKE_CURRENT_LIST_DIR}/formats_bench.cpp)
target_link_libraries(formats_bench PRIVATE benchmark::benchmark nereid_core)
target_include_directories(formats_bench PRIVATE ${NEREID_INCLUDE_ROOT})

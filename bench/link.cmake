add_executable(link_bench ${CMAKE_CURRENT_LIST_DIR}/link_bench.cpp)
target_link_libraries(link_bench PRIVATE benchmark::benchmark nereid_core)
target_include_directories(link_bench PRIVATE ${NEREID_INCLUDE_ROOT})
target_link_libraries(link_bench PRIVATE util) # openpty

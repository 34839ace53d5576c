add_executable(recorder_bench ${CMAKE_CURRENT_LIST_DIR}/recorder_bench.cpp)
target_link_libraries(recorder_bench PRIVATE benchmark::benchmark nereid_core)
target_include_directories(recorder_bench PRIVATE ${NEREID_INCLUDE_ROOT})

add_executable(session_bench ${CMAKE_CURRENT_LIST_DIR}/session_bench.cpp)
target_link_libraries(session_bench PRIVATE benchmark::benchmark nereid_core)
target_include_directories(session_bench PRIVATE ${NEREID_INCLUDE_ROOT})

# The library checks and the playlist file on 32,767 songs, against their baselines.
add_executable(bench_checks ${CMAKE_CURRENT_LIST_DIR}/bench_checks.cpp)
target_link_libraries(bench_checks PRIVATE corvanel_app mkipod_core benchmark::benchmark)

# The download client against curl from the same local server.
add_executable(bench_download ${CMAKE_CURRENT_LIST_DIR}/bench_download.cpp)
target_link_libraries(bench_download PRIVATE corvanel_update benchmark::benchmark)

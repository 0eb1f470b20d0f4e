add_executable(bench_spectrum ${CMAKE_CURRENT_LIST_DIR}/bench_spectrum.cpp)
target_link_libraries(bench_spectrum PRIVATE corvanel_playback benchmark::benchmark)

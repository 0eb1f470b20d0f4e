add_executable(bench_analyser ${CMAKE_CURRENT_LIST_DIR}/bench_analyser.cpp)
target_link_libraries(bench_analyser PRIVATE corvanel_playback_ui benchmark::benchmark)

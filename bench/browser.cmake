add_executable(bench_browser ${CMAKE_CURRENT_LIST_DIR}/bench_browser.cpp)
target_link_libraries(bench_browser PRIVATE corvanel_app mkipod_core benchmark::benchmark)

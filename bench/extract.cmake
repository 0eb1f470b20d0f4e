# Extraction against cp -r of the same files, and the window's longest stall during it.
add_executable(bench_extract ${CMAKE_CURRENT_LIST_DIR}/bench_extract.cpp)
target_link_libraries(bench_extract PRIVATE corvanel_extract_ui)

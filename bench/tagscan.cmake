# The tag scan against ffprobe and a bare read loop on 32,767 tagged files, and the loading
# window's longest stall while it scans.
add_executable(bench_tagscan ${CMAKE_CURRENT_LIST_DIR}/bench_tagscan.cpp)
target_link_libraries(bench_tagscan PRIVATE corvanel_app mkipod_core)

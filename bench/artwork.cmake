# Covers: decoding one, the player panel on song changes, and the load of a library with covers.
add_executable(bench_artwork ${CMAKE_CURRENT_LIST_DIR}/bench_artwork.cpp)
target_link_libraries(bench_artwork PRIVATE corvanel_itunesdb corvanel_skin mkipod_core benchmark::benchmark
                                            Qt6::Widgets)

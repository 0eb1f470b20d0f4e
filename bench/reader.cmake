# The iTunesDB reader against libgpod's parser, and the whole load on a large iPod.
pkg_check_modules(READER_LIBGPOD REQUIRED IMPORTED_TARGET libgpod-1.0)
add_executable(bench_reader ${CMAKE_CURRENT_LIST_DIR}/bench_reader.cpp)
target_link_libraries(bench_reader PRIVATE corvanel_itunesdb mkipod_core PkgConfig::READER_LIBGPOD benchmark::benchmark)
set_target_properties(bench_reader PROPERTIES AUTOMOC OFF)

# The nano 6G/7G SQLite library reader against the iTunesDB walk of the same library.
add_executable(bench_sqlite ${CMAKE_CURRENT_LIST_DIR}/bench_sqlite.cpp)
target_link_libraries(bench_sqlite PRIVATE corvanel_itunesdb mkipod_core benchmark::benchmark)
set_target_properties(bench_sqlite PROPERTIES AUTOMOC OFF)

# The nano 6G/7G SQLite library reader over arbitrary database bytes.
add_executable(fuzz_sqlite ${CMAKE_CURRENT_LIST_DIR}/fuzz_sqlite.cpp)
target_link_libraries(fuzz_sqlite PRIVATE corvanel_itunesdb)
target_link_options(fuzz_sqlite PRIVATE -fsanitize=fuzzer)

# The ArtworkDB reader and the .ithmb decoder over arbitrary bytes.
add_executable(fuzz_artworkdb ${CMAKE_CURRENT_LIST_DIR}/fuzz_artworkdb.cpp)
target_link_libraries(fuzz_artworkdb PRIVATE corvanel_itunesdb)
target_link_options(fuzz_artworkdb PRIVATE -fsanitize=fuzzer)

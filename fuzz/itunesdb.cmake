# The iTunesDB walk, the On-The-Go reader, the compressed database (inflate, then the walk), the
# shuffle's song list and the Play Counts reader over arbitrary bytes.
# Extra corpus at run time: the real iPod files in ../shared/fixtures/ipod.
foreach(target fuzz_itunesdb fuzz_otg fuzz_itunescdb fuzz_itunessd fuzz_playcounts)
  add_executable(${target} ${CMAKE_CURRENT_LIST_DIR}/${target}.cpp)
  target_link_libraries(${target} PRIVATE corvanel_itunesdb)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
endforeach()
find_package(ZLIB REQUIRED)
target_link_libraries(fuzz_itunescdb PRIVATE ZLIB::ZLIB)

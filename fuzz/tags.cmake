# One song file for the tag scan: libavformat opening arbitrary bytes with the scan's options,
# then the tag mapping.
add_executable(fuzz_tags ${CMAKE_CURRENT_LIST_DIR}/fuzz_tags.cpp)
target_link_libraries(fuzz_tags PRIVATE corvanel_itunesdb)
target_link_options(fuzz_tags PRIVATE -fsanitize=fuzzer)
set_target_properties(fuzz_tags PROPERTIES AUTOMOC OFF)

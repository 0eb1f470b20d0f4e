# The sound engine over arbitrary bytes given as a sound file: load, a little playback, a seek, free.
add_executable(fuzz_audio ${CMAKE_CURRENT_LIST_DIR}/fuzz_audio.cpp)
target_link_libraries(fuzz_audio PRIVATE corvanel_playback)
target_link_options(fuzz_audio PRIVATE -fsanitize=fuzzer)
set_target_properties(fuzz_audio PROPERTIES AUTOMOC OFF)

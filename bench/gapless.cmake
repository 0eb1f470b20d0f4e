# Continuous play without gaps: the joint of two halves of a sine; time to first sound of a long AAC song.
add_executable(bench_gapless ${CMAKE_CURRENT_LIST_DIR}/bench_gapless.cpp)
target_link_libraries(bench_gapless PRIVATE corvanel_playback mkipod_core benchmark::benchmark)
set_target_properties(bench_gapless PROPERTIES AUTOMOC OFF)

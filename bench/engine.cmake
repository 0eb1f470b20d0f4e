# The sound engine: time to first sound against a whole-file decode, memory over a long song, mixer cost.
find_library(BENCH_ENGINE_LAME mp3lame REQUIRED)
find_path(BENCH_ENGINE_LAME_INCLUDE lame/lame.h REQUIRED)
add_executable(bench_engine ${CMAKE_CURRENT_LIST_DIR}/bench_engine.cpp)
target_include_directories(bench_engine SYSTEM PRIVATE ${BENCH_ENGINE_LAME_INCLUDE})
target_link_libraries(bench_engine PRIVATE corvanel_playback mkipod_core ${BENCH_ENGINE_LAME} benchmark::benchmark)
set_target_properties(bench_engine PROPERTIES AUTOMOC OFF)

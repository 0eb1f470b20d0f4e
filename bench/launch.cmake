# The real program's launch on the demo iPod and on a 32,767-song iPod, side by side.
add_executable(bench_launch ${CMAKE_CURRENT_LIST_DIR}/bench_launch.cpp)
target_link_libraries(bench_launch PRIVATE mkipod_core Qt6::Core)
add_dependencies(bench_launch corvanel)

# The check-up's own header readings (a database's checksum fields, the Play Counts header)
# over arbitrary bytes. Built from the check-up's own source.
add_executable(fuzz_checkup ${CMAKE_CURRENT_LIST_DIR}/fuzz_checkup.cpp ${PROJECT_SOURCE_DIR}/src/checkup/DatabaseHeader.cpp)
target_include_directories(fuzz_checkup PRIVATE ${PROJECT_SOURCE_DIR}/src/checkup ${PROJECT_SOURCE_DIR}/src/device
  ${PROJECT_SOURCE_DIR}/src/itunesdb)
target_link_libraries(fuzz_checkup PRIVATE Qt6::Core)
target_link_options(fuzz_checkup PRIVATE -fsanitize=fuzzer)
set_target_properties(fuzz_checkup PROPERTIES AUTOMOC OFF)

# The Preferences structure check and state words, the power-save write, and the SysInfo rows,
# over arbitrary file contents and lengths. Built from the parsers' own sources.
add_executable(fuzz_device ${CMAKE_CURRENT_LIST_DIR}/fuzz_device.cpp
  ${PROJECT_SOURCE_DIR}/src/device/PreferencesFile.cpp ${PROJECT_SOURCE_DIR}/src/device/SysInfo.cpp
  ${PROJECT_SOURCE_DIR}/src/device/IpodFolder.cpp)
target_include_directories(fuzz_device PRIVATE ${PROJECT_SOURCE_DIR}/src/device)
target_link_libraries(fuzz_device PRIVATE corvanel_library Qt6::Core)
target_link_options(fuzz_device PRIVATE -fsanitize=fuzzer)
set_target_properties(fuzz_device PROPERTIES AUTOMOC OFF)

# SysInfo's fields, the SysInfoExtended property list and the model they name, over arbitrary
# bytes. Built from the readers' own sources.
add_executable(fuzz_sysinfo ${CMAKE_CURRENT_LIST_DIR}/fuzz_sysinfo.cpp
  ${PROJECT_SOURCE_DIR}/src/device/IpodModel.cpp ${PROJECT_SOURCE_DIR}/src/device/IpodModelTable.cpp
  ${PROJECT_SOURCE_DIR}/src/device/SysInfo.cpp ${PROJECT_SOURCE_DIR}/src/device/IpodFolder.cpp)
target_include_directories(fuzz_sysinfo PRIVATE ${PROJECT_SOURCE_DIR}/src/device)
target_link_libraries(fuzz_sysinfo PRIVATE corvanel_library Qt6::Core)
target_link_options(fuzz_sysinfo PRIVATE -fsanitize=fuzzer)
set_target_properties(fuzz_sysinfo PROPERTIES AUTOMOC OFF)

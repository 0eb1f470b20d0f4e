# The download protocol's response reading, the SOCKS reply handling and the update listing.
# Built from the protocol's own sources: they need nothing but Qt Core.
set(fuzz_protocol_sources
  ${PROJECT_SOURCE_DIR}/src/update/DownloadProtocol.cpp ${PROJECT_SOURCE_DIR}/src/update/DownloadProtocolSocks.cpp
  ${PROJECT_SOURCE_DIR}/src/update/DownloadProtocol.h ${PROJECT_SOURCE_DIR}/src/platform/NumberText.cpp
  ${PROJECT_SOURCE_DIR}/src/update/UpdateListing.cpp ${PROJECT_SOURCE_DIR}/src/update/UpdateListing.h)
foreach(target fuzz_http fuzz_socks fuzz_listing)
  add_executable(${target} ${CMAKE_CURRENT_LIST_DIR}/${target}.cpp ${fuzz_protocol_sources})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/update ${PROJECT_SOURCE_DIR}/src/platform)
  target_link_libraries(${target} PRIVATE Qt6::Core)
  target_compile_definitions(${target} PRIVATE
    CORVANEL_UPDATE_HOST="${CORVANEL_UPDATE_HOST}"
    CORVANEL_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    CORVANEL_VERSION_MINOR=${PROJECT_VERSION_MINOR}
    CORVANEL_VERSION_PATCH=${PROJECT_VERSION_PATCH})
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
endforeach()

# The download client's response reading, the SOCKS reply handling and the update listing.
# Built from the client's own sources: they need nothing but Qt Core and Network.
file(GLOB fuzz_client_sources ${PROJECT_SOURCE_DIR}/src/update/DataConnection*.cpp)
foreach(target fuzz_http fuzz_socks fuzz_listing)
  add_executable(${target} ${CMAKE_CURRENT_LIST_DIR}/${target}.cpp
    ${fuzz_client_sources} ${PROJECT_SOURCE_DIR}/src/update/DataConnection.h
    ${PROJECT_SOURCE_DIR}/src/update/UpdateListing.cpp ${PROJECT_SOURCE_DIR}/src/update/UpdateListing.h)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/update)
  target_link_libraries(${target} PRIVATE Qt6::Core Qt6::Network)
  target_compile_definitions(${target} PRIVATE
    CORVANEL_UPDATE_HOST="${CORVANEL_UPDATE_HOST}"
    CORVANEL_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    CORVANEL_VERSION_MINOR=${PROJECT_VERSION_MINOR}
    CORVANEL_VERSION_PATCH=${PROJECT_VERSION_PATCH})
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
endforeach()

# The hosted build: the installer over our POSIX stand-in, the codec, the packer, tests and benchmarks.
enable_testing()
find_package(GTest REQUIRED)

add_subdirectory(szdd)
add_subdirectory(platform/hosted)
add_subdirectory(installer ${CMAKE_BINARY_DIR}/core)
add_subdirectory(tools)
add_subdirectory(tests)
if(EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
  add_subdirectory(bench)
endif()

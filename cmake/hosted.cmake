# The hosted build: the installer over our POSIX stand-in, the codec, the packer, tests and benchmarks.
enable_testing()
find_package(GTest REQUIRED)

add_subdirectory(szdd)
add_subdirectory(package)
add_subdirectory(system)
add_subdirectory(installer ${CMAKE_BINARY_DIR}/installer_code)  # build/hosted/installer is the program
add_subdirectory(platform/hosted)
add_subdirectory(tools)
add_subdirectory(tests)
add_subdirectory(bench)
add_subdirectory(tools/iconmaker)

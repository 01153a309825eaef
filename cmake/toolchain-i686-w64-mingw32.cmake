# Cross toolchain: MinGW-w64 for 32-bit x86 Windows, the product's target.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUENDOLIN_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)

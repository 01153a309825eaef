# Cross toolchain: MinGW-w64 for 64-bit Windows, for end-to-end runs under wine64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUENDOLIN_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)

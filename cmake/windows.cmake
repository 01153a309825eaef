# The Windows build: the installer without C runtime, its icon, the demo screen saver, the demo
# package, the tests that check the images and the end-to-end runs under Wine.
enable_language(RC)
enable_testing()

set(QUENDOLIN_HOST_TOOLS "${CMAKE_SOURCE_DIR}/build/hosted" CACHE PATH
    "Build tree of the hosted preset, which holds mkpackage and iconmaker")
set(QUENDOLIN_SAVER "" CACHE FILEPATH
    "Screen saver (.scr) to pack into the package; empty: the demo screen saver built here")

set(QUENDOLIN_MKPACKAGE ${QUENDOLIN_HOST_TOOLS}/mkpackage)
set(QUENDOLIN_ICONMAKER ${QUENDOLIN_HOST_TOOLS}/iconmaker)
foreach(tool ${QUENDOLIN_MKPACKAGE} ${QUENDOLIN_ICONMAKER})
  if(NOT EXISTS ${tool})
    message(FATAL_ERROR "${tool} is missing: build the hosted preset first (scripts/build.sh does)")
  endif()
endforeach()

# Only the libraries named by each target; CMake's default list would offer eleven more.
set(CMAKE_C_STANDARD_LIBRARIES "")
set(CMAKE_CXX_STANDARD_LIBRARIES "")
add_compile_options(-fno-exceptions -fno-rtti)

if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
  message(FATAL_ERROR "The installer is a 32-bit Windows program: configure with the win32 preset")
endif()
set(QUENDOLIN_PE_FORMAT pei-i386)
set(QUENDOLIN_ENTRY _QuendolinStart)  # 32-bit C symbols carry a leading underscore

# The Windows operations of the installer: KERNEL32, USER32 and LZ32, nothing else.
add_library(platform INTERFACE)
# LZ32 first: KERNEL32 exports the LZ operations too, and the first library named wins.
target_link_libraries(platform INTERFACE lz32 user32 kernel32)

add_subdirectory(package)
add_subdirectory(system)
add_subdirectory(installer)
# The installer's code runs without C runtime: nothing may assume one.
foreach(code installer_code product_name package_code system_code)
  target_compile_options(${code} PRIVATE -ffreestanding)
endforeach()

# The icon of the installer and of the demo screen saver.
set(QUENDOLIN_ICON ${CMAKE_BINARY_DIR}/generated/quendolin.ico)
add_custom_command(OUTPUT ${QUENDOLIN_ICON}
  COMMAND ${QUENDOLIN_ICONMAKER} ${QUENDOLIN_ICON}
  DEPENDS ${QUENDOLIN_ICONMAKER}
  COMMENT "Drawing the icon")
add_custom_target(icon DEPENDS ${QUENDOLIN_ICON})
set_source_files_properties(${CMAKE_SOURCE_DIR}/resources/installer.rc ${CMAKE_SOURCE_DIR}/saver/saver.rc
  PROPERTIES OBJECT_DEPENDS ${QUENDOLIN_ICON})
# The resource compiler reads the manifest too; CMake does not see it in the script.
set_property(SOURCE ${CMAKE_SOURCE_DIR}/resources/installer.rc APPEND PROPERTY OBJECT_DEPENDS
  ${CMAKE_SOURCE_DIR}/resources/installer.manifest)

# installer.exe: our own entry calls WinMain; libgcc supplies only the stack probe ___chkstk_ms,
# which frames of a page or more (the marker scan's 4096-byte block) need on Windows.
add_executable(installer WIN32
  ${CMAKE_SOURCE_DIR}/platform/windows/startup.cpp
  ${CMAKE_SOURCE_DIR}/platform/windows/memory.cpp
  ${CMAKE_SOURCE_DIR}/resources/installer.rc)
target_compile_options(installer PRIVATE -ffreestanding)
target_include_directories(installer PRIVATE ${CMAKE_BINARY_DIR}/generated)
link_installer(installer product_name platform)
target_link_libraries(installer PRIVATE gcc)
target_link_options(installer PRIVATE -nostdlib -nostartfiles -Wl,-e,${QUENDOLIN_ENTRY})
set_target_properties(installer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_dependencies(installer icon)

add_subdirectory(saver)

# The demo package: the installer with the screen saver appended.
if(QUENDOLIN_SAVER)
  set(QUENDOLIN_PAYLOAD ${QUENDOLIN_SAVER})
else()
  set(QUENDOLIN_PAYLOAD $<TARGET_FILE:saver>)
endif()
set(QUENDOLIN_PACKAGE ${CMAKE_BINARY_DIR}/${QUENDOLIN_PRODUCT_NAME}-Setup.exe)
add_custom_command(OUTPUT ${QUENDOLIN_PACKAGE}
  COMMAND ${QUENDOLIN_MKPACKAGE} pack $<TARGET_FILE:installer> ${QUENDOLIN_PAYLOAD} -o ${QUENDOLIN_PACKAGE}
  DEPENDS installer saver ${QUENDOLIN_MKPACKAGE} ${QUENDOLIN_SAVER}
  COMMENT "Packing ${QUENDOLIN_PRODUCT_NAME}-Setup.exe")
add_custom_target(setup_package ALL DEPENDS ${QUENDOLIN_PACKAGE})

add_subdirectory(tests/windows)
add_subdirectory(tests/wine)

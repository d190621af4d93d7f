# Native side: GoogleTest from Debian, and the Windows build as an external
# project whose tests are included in this tree's ctest run.
find_package(GTest REQUIRED)
include(ExternalProject)
if(NOT VRO_WITH_WIN32)
    return()
endif()

set(VRO_WIN32_BUILD ${CMAKE_BINARY_DIR}/win32)
ExternalProject_Add(win32
    SOURCE_DIR ${VRO_ROOT}
    BINARY_DIR ${VRO_WIN32_BUILD}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${VRO_ROOT}/cmake/mingw-i686.cmake
               -DCMAKE_BUILD_TYPE=Release
               -DVRO_NATIVE_BUILD=${CMAKE_BINARY_DIR}
    CMAKE_GENERATOR Ninja
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    USES_TERMINAL_BUILD ON)

file(WRITE ${CMAKE_BINARY_DIR}/win32-tests.cmake "subdirs(\"${VRO_WIN32_BUILD}\")\n")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_BINARY_DIR}/win32-tests.cmake)

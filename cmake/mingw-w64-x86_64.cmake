# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 compilers. The
# posix flavour: Qt's threads need its std::thread and std::mutex.
#
# Libraries, headers and CMake packages are looked up in the MinGW sysroot and
# in WAREHOUSE_WINDOWS_PREFIX (where scripts/build-windows installs what it
# builds), never in the build machine's own /usr.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)
set(CMAKE_AR ${mingw_triple}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${mingw_triple}-gcc-ranlib-posix CACHE FILEPATH "")

# Carried into try_compile projects, which see only the toolchain file.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES WAREHOUSE_WINDOWS_PREFIX)
if(NOT WAREHOUSE_WINDOWS_PREFIX AND DEFINED ENV{WAREHOUSE_WINDOWS_PREFIX})
    set(WAREHOUSE_WINDOWS_PREFIX $ENV{WAREHOUSE_WINDOWS_PREFIX})
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple} ${WAREHOUSE_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

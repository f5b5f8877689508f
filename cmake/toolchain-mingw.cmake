# Cross-compiling for Windows with mingw-w64. BRISK_MINGW_ARCH picks the
# architecture: i686 (the launcher and the 32-bit add-in, run in a win32 Wine
# prefix) or x86_64 (the 64-bit add-in, run in a win64 prefix).
if(NOT BRISK_MINGW_ARCH)
  set(BRISK_MINGW_ARCH i686)
endif()
# try_compile projects read this file again and need the choice too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES BRISK_MINGW_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${BRISK_MINGW_ARCH})
set(BRISK_MINGW_TRIPLET ${BRISK_MINGW_ARCH}-w64-mingw32)

# The compilers' thread model. posix, the default, has std::thread and
# std::mutex, which GoogleTest, the tools and the stand-ins need. win32 is for
# the shipping launcher (preset win32-release), which starts its threads
# itself and uses neither: under posix, libstdc++'s exception and static
# initialisation support link the POSIX thread emulation (winpthreads, about
# 24 KiB) into the image.
set(BRISK_MINGW_THREADS posix CACHE STRING "Thread model of the mingw-w64 compilers: posix or win32")
if(NOT BRISK_MINGW_THREADS MATCHES "^(posix|win32)$")
  message(FATAL_ERROR "BRISK_MINGW_THREADS is posix or win32, not '${BRISK_MINGW_THREADS}'")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES BRISK_MINGW_THREADS)
set(CMAKE_C_COMPILER ${BRISK_MINGW_TRIPLET}-gcc-${BRISK_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${BRISK_MINGW_TRIPLET}-g++-${BRISK_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${BRISK_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BRISK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(ZLIB_USE_STATIC_LIBS ON)
if(BRISK_MINGW_ARCH STREQUAL "x86_64")
  set(BRISK_WINEARCH win64)
else()
  set(BRISK_WINEARCH win32)
endif()

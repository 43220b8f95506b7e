# Cross toolchain: Windows executables from Linux with MinGW-w64, for either
# processor. Two cache variables, set by the presets, choose the compilers:
#   OSPREL_ARCH     x86_64 (64-bit programs) or i686 (32-bit programs)
#   OSPREL_THREADS  win32: what users get. Its runtime calls nothing newer
#                   than Windows XP. posix: the tests. GoogleTest needs
#                   std::mutex, which only this thread model has, but its
#                   runtime (winpthreads) imports Vista-only functions such as
#                   GetTickCount64 into every C++ program it links.
# Test executables run under Wine (see wine-run.sh).
set(OSPREL_ARCH x86_64 CACHE STRING "Target processor: x86_64 or i686")
set(OSPREL_THREADS win32 CACHE STRING "MinGW-w64 thread model: win32 or posix")
# try_compile projects read this file again; they must pick the same compilers.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES OSPREL_ARCH OSPREL_THREADS)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${OSPREL_ARCH})

set(triple ${OSPREL_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER   ${triple}-gcc-${OSPREL_THREADS})
set(CMAKE_CXX_COMPILER ${triple}-g++-${OSPREL_THREADS})
set(CMAKE_RC_COMPILER  ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)

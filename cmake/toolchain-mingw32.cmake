# Cross build for 32-bit Windows (i686) with Debian's mingw-w64 compilers
# (g++-mingw-w64-i686-posix): the same sources and settings as the 64-bit
# build (toolchain-mingw64.cmake). Compiled only: wine64 on this machine
# runs 64-bit programs.
set(KALVO_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw64.cmake)
set(CMAKE_SYSTEM_PROCESSOR i686)

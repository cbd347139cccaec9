# Cross build for 64-bit Windows with Debian's mingw-w64 compilers (the
# posix-thread variants, g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-win64 -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake
# The GCC runtime (libgcc, libstdc++, winpthread) is linked statically into
# every DLL and EXE, so the programs need only system DLLs of Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
if(NOT KALVO_MINGW_TRIPLET)
  set(KALVO_MINGW_TRIPLET x86_64-w64-mingw32)
endif()

set(CMAKE_C_COMPILER ${KALVO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KALVO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KALVO_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${KALVO_MINGW_TRIPLET}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${KALVO_MINGW_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${KALVO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -static: libwinpthread too (the posix compilers use it for std::thread and
# std::mutex); our own libraries are linked through their import libraries.
set(_kalvo_static "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_kalvo_static}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_kalvo_static}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_kalvo_static}")
unset(_kalvo_static)

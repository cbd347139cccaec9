# The Windows build (cross-compiled with mingw-w64, see
# cmake/toolchain-mingw64.cmake): what differs from the Linux build.
#
# - Every DLL and EXE lands in one directory (bin/ of the build tree), so
#   programs and tests find the DLLs beside them, also under wine.
# - The engine and the tables library are XBASE32.dll and MIXTABLE.dll with
#   import libraries (libXBASE32.dll.a, libMIXTABLE.dll.a).
# - Left out (no mingw builds of their dependencies on Debian): the Python
#   modules (Boost.Python), the Qt wizard (KalvoINSTALL is the console
#   front), the payload of data-set packages and setup.exe (libarchive),
#   the benchmarks (Google Benchmark, SQLite), the fuzz targets (libFuzzer)
#   and the demo data set (generated at build time by a program of the
#   build). XML parsing (libxml2) answers failure.
# - GoogleTest is built from Debian's sources (/usr/src/googletest).
# - Tests run under wine through CMAKE_CROSSCOMPILING_EMULATOR.

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib)
# cpack packs what is built (the tests need not all be).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# DLLs export every symbol of their own objects (the tests reach internal
# functions, as on Linux), none of the static runtime they carry. Users of
# XBASE32 and MIXTABLE import the public API through XBASE32_API and
# MIXTABLE_API; the platform layer's globals exist once, in its DLL.
string(APPEND CMAKE_SHARED_LINKER_FLAGS
  " -Wl,--export-all-symbols -Wl,--exclude-libs,ALL")

set(KALVO_BENCH OFF CACHE BOOL "" FORCE)
set(KALVO_FUZZ OFF CACHE BOOL "" FORCE)
set(KALVO_SANITIZE OFF CACHE BOOL "" FORCE)
set(KALVO_WIZARD OFF CACHE BOOL "" FORCE)
set(XBASE32_PYTHON OFF CACHE BOOL "" FORCE)
set(MIXTABLE_PYTHON OFF CACHE BOOL "" FORCE)

# No debug information (the zip is stripped anyway, and no debugger runs
# under wine here): the cross build takes half the time.
set(CMAKE_C_FLAGS_RELWITHDEBINFO "-O2 -DNDEBUG")
set(CMAKE_CXX_FLAGS_RELWITHDEBINFO "-O2 -DNDEBUG")

# Win32 API level: Windows 7 (GetTickCount64, SRWLOCK, CreateFile2 absent).
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 WIN32_LEAN_AND_MEAN
  NOMINMAX __USE_MINGW_ANSI_STDIO=1)

# The wine runner for tests and build steps that run a program of the build.
if(CMAKE_CROSSCOMPILING)
  find_program(KALVO_WINE NAMES wine64 wine PATHS /usr/lib/wine
    NO_CMAKE_FIND_ROOT_PATH)
  if(NOT KALVO_WINE)
    message(WARNING "wine not found: the tests cannot run on this machine")
    set(KALVO_WINE wine64)
  endif()
  set(KALVO_WINEPREFIX ${PROJECT_BINARY_DIR}/wineprefix)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.sh.in
    ${PROJECT_BINARY_DIR}/wine-run.sh @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                     GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_BINARY_DIR}/wine-run.sh)
endif()

# Tests not built on Windows yet, with the reason (POSIX_ONLY in a
# kalvo_test() call says the same beside the call).
set(KALVO_POSIX_ONLY_TESTS
  # The POSIX implementation of the platform layer (Windows runs
  # platform_portable_test and platform_win32_*_test instead).
  platform_path_test platform_dir_test platform_text_test
  platform_env_test platform_process_test
  # They replace the global operator new to fail allocations: on Windows
  # the replacement reaches only the test program, not the allocations made
  # inside XBASE32.dll and MIXTABLE.dll.
  xbase32_open_alloc_test mixtable_mask_alloc_test mixtable_dsp_levels_test
)

# 32 bits: the whole tree uses the 8-byte time_t of 32-bit MSVC callers
# (mingw-w64 would default to 4 bytes there; see mixtable/CMakeLists.txt).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_compile_definitions(__MINGW_USE_VC2005_COMPAT)
endif()

# Test programs that name no drive letter (their files live in their own
# temporary directories): they run beside the programs that take turns on
# c:\ (see kalvo_test()).
set(KALVO_DRIVE_FREE_TESTS
  xbase32_ntx_test xbase32_memo_test xbase32_share_test xbase32_crash_test
  xbase32_relation_test xbase32_filter_test expr_test)

# Tests under wine are slower (every file call and process start passes
# through the wine server).
set(KALVO_TEST_TIMEOUT 1200)

# CLI11 is header-only: the tools take Debian's copy (libcli11-dev) from a
# directory of its own, not the host's whole /usr/include.
if(EXISTS /usr/include/CLI/CLI.hpp)
  file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/cli11)
  file(CREATE_LINK /usr/include/CLI ${PROJECT_BINARY_DIR}/cli11/CLI SYMBOLIC)
  include_directories(SYSTEM ${PROJECT_BINARY_DIR}/cli11)
endif()

# GoogleTest from Debian's sources, as static libraries inside the tests.
function(kalvo_add_googletest)
  set(BUILD_SHARED_LIBS OFF)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(CMAKE_POSITION_INDEPENDENT_CODE OFF)
  add_subdirectory(${KALVO_GTEST_SOURCE_DIR}
    ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endfunction()
set(KALVO_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
  "GoogleTest sources built for the Windows tests")

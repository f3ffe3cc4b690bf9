# Cross-compiling for 64-bit Windows with Debian's mingw-w64, the compilers
# with posix threads (std::thread and std::mutex need them):
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake ...
# ZORVIK_WINDOWS_PREFIX names the folder of the cross-built libraries
# (scripts/windows-deps); pkg-config and find_package look only there.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZORVIK_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZORVIK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZORVIK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZORVIK_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${ZORVIK_MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${ZORVIK_MINGW_TRIPLET}-ranlib CACHE FILEPATH "")

# Kept for try_compile and every sub-build that reads this file again.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZORVIK_WINDOWS_PREFIX)
if(NOT ZORVIK_WINDOWS_PREFIX AND DEFINED ENV{ZORVIK_WINDOWS_PREFIX})
  set(ZORVIK_WINDOWS_PREFIX $ENV{ZORVIK_WINDOWS_PREFIX})
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${ZORVIK_MINGW_TRIPLET} ${ZORVIK_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The host's .pc files describe Linux libraries: only the prefix's are read.
if(ZORVIK_WINDOWS_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} ${ZORVIK_WINDOWS_PREFIX}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()

# Programs built here run under wine, for the tests and for the build steps
# that run what was just built.
find_program(ZORVIK_WINE wine)
if(ZORVIK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZORVIK_WINE})
endif()

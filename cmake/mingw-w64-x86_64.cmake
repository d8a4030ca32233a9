# Cross-compiling for 64-bit Windows with mingw-w64 (posix thread model),
# everything linked statically so the programs need only Windows' own DLLs.
# The programs and tests run here under Wine.
#
# QUORIN_WINDOWS_PREFIX names the prefix holding the cross-built
# dependencies (tools/windows/build-deps.sh); pkg-config reads only there.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUORIN_MINGW x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${QUORIN_MINGW}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${QUORIN_MINGW}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${QUORIN_MINGW}-windres REQUIRED)

if(NOT QUORIN_WINDOWS_PREFIX)
  set(QUORIN_WINDOWS_PREFIX "$ENV{QUORIN_WINDOWS_PREFIX}")
endif()
set(QUORIN_WINDOWS_PREFIX "${QUORIN_WINDOWS_PREFIX}" CACHE PATH "Prefix of the cross-built dependencies")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUORIN_WINDOWS_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${QUORIN_MINGW} ${QUORIN_WINDOWS_PREFIX})
set(CMAKE_PREFIX_PATH ${QUORIN_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static libraries only, and static .pc data (private requirements included).
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
set(ENV{PKG_CONFIG_LIBDIR} "${QUORIN_WINDOWS_PREFIX}/lib/pkgconfig:${QUORIN_WINDOWS_PREFIX}/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(PKG_CONFIG_ARGN --static)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine (ctest and gtest_discover_tests go through it).
find_program(QUORIN_WINE NAMES wine wine64)
if(QUORIN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORIN_WINE})
endif()

# Cross build for 64-bit Windows with mingw-w64 (Debian package
# g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The posix threads variant of the compiler: GoogleTest and std::thread need
# its threads, the win32 variant has none. Test programs run under wine
# (CMAKE_CROSSCOMPILING_EMULATOR), also when CTest asks them for their tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MARVEX_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MARVEX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MARVEX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MARVEX_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MARVEX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(MARVEX_WINE NAMES wine wine64)
if(MARVEX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MARVEX_WINE})
endif()

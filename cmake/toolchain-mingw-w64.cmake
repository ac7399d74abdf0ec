# Cross build for 64-bit Windows with the MinGW-w64 compiler (Debian's
# g++-mingw-w64-x86-64-posix). The POSIX-threads flavour is the one whose
# std::thread and std::mutex work; the C and C++ runtimes are linked
# statically, so the .exe files run on a bare Windows (or under Wine) without
# extra DLLs.
#
#   cmake -S . -B build-win -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake \
#     -DVELMORA_GUI=OFF -DVELMORA_BENCH=OFF
#
# With Wine installed, CTest and the test programs' discovery run the .exe
# files through it (CMAKE_CROSSCOMPILING_EMULATOR).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_velmora_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_velmora_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_velmora_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_velmora_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_velmora_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Wine's 64-bit loader lives in Wine's library folder, not on the PATH.
find_program(VELMORA_WINE NAMES wine64 wine
  PATHS /usr/lib/wine /usr/lib/x86_64-linux-gnu/wine /usr/local/lib/wine NO_DEFAULT_PATH)
if(NOT VELMORA_WINE)
  find_program(VELMORA_WINE NAMES wine64 wine)
endif()
if(VELMORA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELMORA_WINE})
endif()

# Cross build of the native 32-bit Windows programs with Debian's mingw-w64.
#   cmake -S . -B build/mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake
# Tests run under Wine through the cross-compiling emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(VEXARO_MINGW_TRIPLE i686-w64-mingw32)
# The -posix compilers: std::thread and std::mutex need the POSIX thread model.
set(CMAKE_C_COMPILER ${VEXARO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEXARO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VEXARO_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VEXARO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A static runtime: the programs run with no DLL beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Windows 10 API level (long paths, per-monitor DPI, dynamic time zones);
# wide-character Win32 calls throughout.
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)

find_program(VEXARO_WINE wine)
if(VEXARO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VEXARO_WINE})
endif()

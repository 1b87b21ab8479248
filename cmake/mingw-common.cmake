# What both mingw-w64 toolchain files share; each sets VEXARO_MINGW_TRIPLE,
# CMAKE_SYSTEM_PROCESSOR and the Wine loader that runs its programs first.
set(CMAKE_SYSTEM_NAME Windows)

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

# Tests run under Wine through the cross-compiling emulator. The loader can
# be named with -DVEXARO_WINE=...; the test stage names the one it chose.
if(VEXARO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VEXARO_WINE})
endif()

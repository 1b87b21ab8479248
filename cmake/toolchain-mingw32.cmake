# Cross build of the native 32-bit Windows programs with Debian's mingw-w64.
#   cmake -S . -B build/mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake
# Tests run under Wine's 32-bit loader (package wine32).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VEXARO_MINGW_TRIPLE i686-w64-mingw32)
# The wrapper `wine` starts the 32-bit loader whenever wine32 is installed.
find_program(VEXARO_WINE NAMES wine PATHS /usr/lib/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

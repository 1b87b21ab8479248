# Cross build of the native 64-bit Windows programs with Debian's mingw-w64.
#   cmake -S . -B build/mingw64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake
# Tests run under Wine's 64-bit loader (package wine64), named by its full
# path: the wrapper `wine` would pick the 32-bit one where wine32 is installed.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VEXARO_MINGW_TRIPLE x86_64-w64-mingw32)
find_program(VEXARO_WINE NAMES wine64 PATHS /usr/lib/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# The native 32-bit Windows build: cross-built with mingw-w64, its tests run
# under Wine in a prefix of its own below the build folder.
set -eu
. "$VEXARO_ROOT/scripts/lib.sh"
build=build/mingw
configure_and_build "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw32.cmake" \
  -DCMAKE_BUILD_TYPE=Release

export WINEPREFIX="$root/$build/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko download prompt: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
# The results must not depend on the machine's zone or language.
export TZ=UTC LANG=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY

# One wine server for the whole run instead of one per test.
mkdir -p "$WINEPREFIX"
wineserver -k 2>/dev/null || true
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
wineboot -i >/dev/null 2>&1

# A virtual display: consoles of the tests' own and the window need one.
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir "$root/$build" --output-on-failure -j "$jobs"

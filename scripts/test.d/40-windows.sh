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

mkdir -p "$WINEPREFIX"
wineserver -k 2>/dev/null || true
wineboot -i >/dev/null 2>&1
# A virtual desktop: Wine draws the window frames itself, with no window
# manager to wait for.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1
# Japanese text: the status line's face and the system's Japanese faces are
# drawn with Noto Sans CJK.
for face in "ＭＳ Ｐゴシック" "ＭＳ ゴシック" "MS PGothic" "MS Gothic" "MS UI Gothic"; do
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v "$face" \
    /d "Noto Sans CJK JP" /f >/dev/null 2>&1
done
# One wine server for the whole run, started afresh so that the settings
# above hold.
wineserver -k 2>/dev/null || true
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT

# A virtual display: consoles of the tests' own and the window need one.
# The Wine desktop is started first, its output sent elsewhere: a test that
# started it would hand it the output pipe that ctest waits on.
xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  wine explorer /desktop=Default,1280x1024 >/dev/null 2>&1 &
  desktop=$!
  wine cmd /c exit >/dev/null 2>&1
  status=0
  ctest --test-dir "$1" --output-on-failure -j "$2" || status=$?
  kill "$desktop" 2>/dev/null || true
  exit "$status"' sh "$root/$build" "$jobs"

# The package: both programs and the README, the programs needing no DLL
# beside them (only the system's own).
(cd "$root/$build" && cpack --config CPackConfig.cmake -B package >/dev/null)
package=$(ls "$root/$build"/package/Vexaro-*-win32.zip)
contents=$(cmake -E tar tf "$package")
for name in Vexaro.exe vexaro-list.exe README.md; do
  echo "$contents" | grep -q "/$name\$" || { echo "$package lacks $name" >&2; exit 1; }
done
for program in "$root/$build/ui/win32/Vexaro.exe" "$root/$build/cli/vexaro-list.exe"; do
  foreign=$(i686-w64-mingw32-objdump -p "$program" | sed -n 's/^\tDLL Name: //p' |
    grep -viE '^(kernel32|user32|gdi32|shell32|ole32|comctl32|advapi32|msvcrt|version)\.dll$' || true)
  [ -z "$foreign" ] || { echo "$program needs $foreign" >&2; exit 1; }
done
echo "Package: $package" >&2

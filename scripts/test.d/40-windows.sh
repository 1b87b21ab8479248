# The native Windows programs, cross-built with mingw-w64 in two widths:
# 32-bit in build/mingw, 64-bit in build/mingw64. Both are always built,
# checked without running them and packed (Vexaro-<version>-win32.zip and
# -win64.zip); the tests of one of them run under Wine, in a prefix of its
# own below its build folder:
# - 32-bit where the machine runs 32-bit programs and Wine's 32-bit loader,
# - else 64-bit, under Wine's 64-bit loader called by its full path (the
#   wrappers wine, wineboot and winepath pick the 32-bit loader whenever
#   wine32 is installed, even where it cannot start).
# VEXARO_WINDOWS=32 or 64 asks for one mode (an error where it cannot run);
# auto, the default, takes what the machine can run. What the machine lacks
# is said in one line and never fails the stage.
set -eu
. "$VEXARO_ROOT/scripts/lib.sh"

wine32=/usr/lib/wine/wine
wine64=/usr/lib/wine/wine64

# starts LOADER: true when that Wine loader runs here (it only prints its
# version); else false with the reason in $why.
starts() {
  [ -x "$1" ] || { why="$1 is not installed"; return 1; }
  why=$("$1" --version 2>&1) && return 0
  why=$(printf '%s' "$why" | head -n 1 | sed 's/.*: //')
  return 1
}

choice=${VEXARO_WINDOWS:-auto}
case $choice in
  32 | 64 | auto) ;;
  *) echo "VEXARO_WINDOWS=$choice: use 32, 64 or auto" >&2; exit 2 ;;
esac

mode=none
no32=
if [ "$choice" != 64 ]; then
  if ! runs_32bit_programs; then
    no32="32-bit programs do not run here ($why)"
  elif ! starts "$wine32"; then
    no32="Wine's 32-bit loader does not start ($why)"
  else
    mode=32
    because="32-bit programs run here"
    [ "$choice" = auto ] || because="VEXARO_WINDOWS=32"
  fi
  if [ "$choice" = 32 ] && [ "$mode" = none ]; then
    echo "VEXARO_WINDOWS=32, but $no32" >&2
    exit 1
  fi
fi
if [ "$mode" = none ] && [ "$choice" != 32 ]; then
  if starts "$wine64"; then
    mode=64
    because=${no32:-VEXARO_WINDOWS=64}
  elif [ "$choice" = 64 ]; then
    echo "VEXARO_WINDOWS=64, but Wine's 64-bit loader does not start ($why)" >&2
    exit 1
  else
    no64="Wine's 64-bit loader does not start ($why)"
  fi
fi

# build_windows DIR WIDTH TESTS [LOADER]: configures and builds DIR with the
# toolchain of that width, the tests ON or OFF.
build_windows() {
  configure_and_build "$1" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw$2.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DVEXARO_BUILD_TESTS="$3" ${4:+"-DVEXARO_WINE=$4"}
}

case $mode in
  32)
    echo "Windows tests: 32-bit, under Wine's 32-bit loader ($because); the 64-bit build is checked without running it" >&2
    build_windows build/mingw 32 ON "$wine32"
    build_windows build/mingw64 64 OFF
    tested=build/mingw
    export WINE="$wine32" WINESERVER=/usr/lib/wine/wineserver
    ;;
  64)
    echo "Windows tests: 64-bit, under Wine's 64-bit loader ($because); the 32-bit build is checked without running it" >&2
    build_windows build/mingw 32 OFF
    build_windows build/mingw64 64 ON "$wine64"
    tested=build/mingw64
    export WINE="$wine64" WINESERVER=/usr/lib/wine/wineserver64 WINEARCH=win64
    ;;
  none)
    # The tests are still compiled: only running them needs Wine.
    echo "Windows tests: not run: $no32, and $no64; both builds are checked without running them" >&2
    build_windows build/mingw 32 OFF
    build_windows build/mingw64 64 ON
    tested=
    ;;
esac

# check_programs DIR WIDTH: the programs of the build folder DIR are Windows
# programs of that width (PE32 or PE32+), import only the system's own DLLs,
# and carry their version record and a manifest that names their processor
# and declares them aware of long paths.
check_programs() {
  case $2 in
    32) triple=i686-w64-mingw32 format=pei-i386 magic='010b' ;;
    64) triple=x86_64-w64-mingw32 format=pei-x86-64 magic='020b' ;;
  esac
  for program in "$root/$1/ui/win32/Vexaro.exe" "$root/$1/cli/vexaro-list.exe"; do
    "$triple-objdump" -f "$program" | grep -q "file format $format\$" ||
      { echo "$program is not a $2-bit Windows program ($format)" >&2; exit 1; }
    headers=$("$triple-objdump" -p "$program")
    echo "$headers" | grep -qE "^Magic[[:space:]]+$magic" ||
      { echo "$program lacks the optional header magic $magic" >&2; exit 1; }
    foreign=$(echo "$headers" | sed -n 's/^\tDLL Name: //p' |
      grep -viE '^(kernel32|user32|gdi32|shell32|ole32|comctl32|advapi32|msvcrt|version)\.dll$' || true)
    [ -z "$foreign" ] || { echo "$program needs $foreign" >&2; exit 1; }
  done
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$root/$1/CMakeCache.txt")
  case $2 in
    32) architecture=x86 ;;
    64) architecture=amd64 ;;
  esac
  for program in "$root/$1/ui/win32/Vexaro.exe" "$root/$1/cli/vexaro-list.exe"; do
    resources=$("$triple-windres" -i "$program" -O rc)
    echo "$resources" | grep -q "^ *FILEVERSION $(echo "$version" | sed 's/\./, /g')" ||
      { echo "$program has no version resource for $version" >&2; exit 1; }
    echo "$resources" | grep -q "VALUE \"OriginalFilename\", \"$(basename "$program")\"" ||
      { echo "$program: its version record names another file" >&2; exit 1; }
    # windres shows the manifest as quoted lines of text; the quotes inside
    # it come doubled.
    manifest=$(echo "$resources" | sed -n '/RT_MANIFEST\|^1 24/,/^END/p' | sed 's/""/"/g')
    echo "$manifest" | grep -q "processorArchitecture=\"$architecture\"" ||
      { echo "$program: its manifest does not name the processor $architecture" >&2; exit 1; }
    echo "$manifest" | grep -q '<longPathAware[^>]*>true</longPathAware>' ||
      { echo "$program: its manifest does not declare long paths" >&2; exit 1; }
  done
}
check_programs build/mingw 32
check_programs build/mingw64 64

if [ -n "$tested" ]; then
  export WINEPREFIX="$root/$tested/wineprefix"
  export WINEDEBUG=-all
  # No Mono or Gecko download prompt: nothing here needs them.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  # The results must not depend on the machine's zone or language.
  export TZ=UTC LANG=C.UTF-8
  unset DISPLAY WAYLAND_DISPLAY

  mkdir -p "$WINEPREFIX"
  "$WINESERVER" -k 2>/dev/null || true
  "$WINE" wineboot -i >/dev/null 2>&1 ||
    { echo "Wine could not make its prefix $WINEPREFIX (wineboot status $?)" >&2; exit 1; }
  # A virtual desktop: Wine draws the window frames itself, with no window
  # manager to wait for.
  "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1
  # Japanese text: the status line's face and the system's Japanese faces are
  # drawn with Noto Sans CJK.
  for face in "ＭＳ Ｐゴシック" "ＭＳ ゴシック" "MS PGothic" "MS Gothic" "MS UI Gothic"; do
    "$WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v "$face" \
      /d "Noto Sans CJK JP" /f >/dev/null 2>&1
  done
  # One wine server for the whole run, started afresh so that the settings
  # above hold.
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -p
  trap '"$WINESERVER" -k 2>/dev/null || true' EXIT

  # A virtual display: consoles of the tests' own and the window need one.
  # The Wine desktop is started first, its output sent elsewhere: a test that
  # started it would hand it the output pipe that ctest waits on.
  xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
    "$WINE" explorer /desktop=Default,1280x1024 >/dev/null 2>&1 &
    desktop=$!
    "$WINE" cmd /c exit >/dev/null 2>&1
    status=0
    ctest --test-dir "$1" --output-on-failure -j "$2" || status=$?
    kill "$desktop" 2>/dev/null || true
    exit "$status"' sh "$root/$tested" "$jobs"
fi

# The packages: both programs, the README and the licence, nothing else; the
# programs need no DLL beside them (only the system's own). The two texts
# are for Windows editors: CR LF line ends, and the README in UTF-8 with a
# byte order mark, which older Notepads need to read it as UTF-8.
unpacked=$root/build/windows-zips
for width in 32 64; do
  build=build/mingw${width%32}
  package=$(make_windows_zip "$build")
  case $package in
    */Vexaro-*-win$width.zip) ;;
    *) echo "$build packs '$package', not a win$width ZIP" >&2; exit 1 ;;
  esac
  names=$(cmake -E tar tf "$package" | grep -v '/$' | sed 's|.*/||' | LC_ALL=C sort | tr '\n' ' ')
  [ "$names" = "LICENSE.txt README.txt Vexaro.exe vexaro-list.exe " ] ||
    { echo "$package holds $names" >&2; exit 1; }
  rm -rf "$unpacked" && mkdir -p "$unpacked" && (cd "$unpacked" && cmake -E tar xf "$package")
  for text in README.txt LICENSE.txt; do
    file=$(find "$unpacked" -name "$text")
    # Every line ends with CR LF: no LF without its CR, and a CR LF at the end.
    [ "$(tr -cd '\n' <"$file" | wc -c)" -eq "$(grep -c "$(printf '\r')\$" "$file")" ] &&
      [ "$(tail -c 2 "$file" | od -An -c | tr -d ' ')" = '\r\n' ] ||
      { echo "$package: $text has lines that do not end with CR LF" >&2; exit 1; }
  done
  [ "$(head -c 3 "$(find "$unpacked" -name README.txt)" | od -An -tx1 | tr -d ' ')" = efbbbf ] ||
    { echo "$package: README.txt does not begin with the UTF-8 byte order mark" >&2; exit 1; }
  grep -q "MIT License" "$(find "$unpacked" -name LICENSE.txt)" ||
    { echo "$package: LICENSE.txt is not the MIT License" >&2; exit 1; }
  echo "Package: $package" >&2
done

# Shared by scripts/run, scripts/test and the stages in scripts/test.d.
root=${VEXARO_ROOT:-$(cd "$(dirname "$0")/.." && pwd)}
export VEXARO_ROOT="$root"
jobs=$(nproc 2>/dev/null || echo 2)

# use_utf8_locale: the C.UTF-8 locale unless the one in force is UTF-8
# already. Window titles reach xdotool and xwininfo in the locale's
# encoding; in the C locale of a bare system (no LANG) a Japanese title
# cannot be converted and is never found.
use_utf8_locale() {
  [ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8
}

# configure DIR [cmake options...]
configure() {
  dir=$1
  shift
  cmake -S "$root" -B "$root/$dir" -G Ninja "$@" >/dev/null
}

# configure_and_build DIR [cmake options...]
configure_and_build() {
  configure "$@"
  cmake --build "$root/$1" -j "$jobs"
}

# runs_32bit_programs: true when the kernel runs a 32-bit x86 program; else
# false with the reason in $why. The probe is a 96-byte ELF32 program made
# on the spot (it only exits with status 42), so the answer needs no 32-bit
# package and no guess from version numbers: some kernels have IA-32
# emulation turned off and refuse it with "Exec format error".
runs_32bit_programs() {
  mkdir -p "$root/build"
  probe=$root/build/.probe-i386.$$
  # ELF header: 32-bit, little-endian, executable, i386, entry 0x08048054,
  # one program header at offset 52.
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' >"$probe"
  printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000' >>"$probe"
  printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000' >>"$probe"
  # The one segment: the whole file at 0x08048000, readable and executable.
  printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010' >>"$probe"
  printf '\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000' >>"$probe"
  # mov eax, 1 (exit); mov ebx, 42; int 0x80
  printf '\270\001\000\000\000\273\052\000\000\000\315\200' >>"$probe"
  chmod +x "$probe"
  status=0
  why=$("$probe" 2>&1) || status=$?
  rm -f "$probe"
  [ "$status" -ne 42 ] || return 0
  # The shell's own words before the system's message are left out.
  why=$(printf '%s' "${why:-exit status $status}" | head -n 1 | sed 's/.*: //')
  return 1
}

# make_windows_zip DIR: the Windows ZIP of the build folder DIR (below the
# root), made afresh with its CPack configuration; prints the ZIP's path.
make_windows_zip() {
  rm -rf "$root/$1/package"
  (cd "$root/$1" && cpack --config CPackConfig.cmake -B package >/dev/null)
  ls "$root/$1"/package/Vexaro-*-win*.zip
}

# make_windows_msi DIR WIDTH OUT [VERSION]: the Windows installer of the
# build folder DIR (below the root), of that width (32 or 64), made with
# wixl from the files the ZIP holds; written to OUT as
# Vexaro-<version>-win<width>.msi and its path printed. VERSION stands in
# for the project's version (the test's upgrade builds a newer one).
# The files are staged in DIR/msi-files-<version>.
make_windows_msi() {
  msi_version=${4:-$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$root/$1/CMakeCache.txt")}
  staged=$root/$1/msi-files-$msi_version
  rm -rf "$staged"
  cmake --install "$root/$1" --prefix "$staged" --strip >/dev/null || return 1
  case $2 in
    32) msi_arch=x86 ;;
    64) msi_arch=x64 ;;
  esac
  mkdir -p "$3"
  msi=$(cd "$3" && pwd)/Vexaro-$msi_version-win$2.msi
  # wixl finds the files named in the descriptor in the folder it runs in.
  (cd "$staged" && wixl -a "$msi_arch" -D Version="$msi_version" -D Width="$2" -o "$msi" \
    "$root/packaging/windows/vexaro.wxs") >&2 || return 1
  echo "$msi"
}

# Shared by scripts/run, scripts/test and the stages in scripts/test.d.
root=${VEXARO_ROOT:-$(cd "$(dirname "$0")/.." && pwd)}
export VEXARO_ROOT="$root"
jobs=$(nproc 2>/dev/null || echo 2)

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

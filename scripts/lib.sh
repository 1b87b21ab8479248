# Shared by scripts/run, scripts/test and the stages in scripts/test.d.
root=${VEXARO_ROOT:-$(cd "$(dirname "$0")/.." && pwd)}
export VEXARO_ROOT="$root"
jobs=$(nproc 2>/dev/null || echo 2)

# configure_and_build DIR [cmake options...]
configure_and_build() {
  dir=$1
  shift
  cmake -S "$root" -B "$root/$dir" -G Ninja "$@" >/dev/null
  cmake --build "$root/$dir" -j "$jobs"
}

#!/bin/sh
# Times vexaro-list against bfs and GNU find on the benchmark trees, side by
# side in one run, and prints medians, ratios and peak memory.
#
#   bench/run.sh [--loaded] [--runs N] [--dir DIR] [--files N] [--folders N] [--flat N] [--compare BIN]
#   bench/run.sh --cold [--runs N] [--dir DIR] [--files N] [--folders N] [--compare BIN]
#
# Warm: also vexaro-list with one reading thread (-j 1), and a check that
# one core (taskset -c 0) gives the same bytes.
# Loaded: the warm runs of vexaro-list and the names-only floor while 4 busy
# processes (nice 0, each ending by itself) compete for the processors, as
# on a desktop with a build or a spinning browser tab.
# --compare BIN: another vexaro-list (an older build, say) timed in the same
# rounds, with its default threads and with -j 1.
# Cold: the tree (default 300000 files in 30000 folders) on an ext4 image,
# attached with direct I/O and mounted afresh before every command, so that
# nothing comes from the page cache; needs root and a loop device.
#
# The trees are made once under DIR (default /var/tmp/vexaro-bench) and kept.
# Commands run in interleaved rounds with a warm cache, so that a passing load
# on a shared machine hits them alike.
set -eu
VEXARO_ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$VEXARO_ROOT/scripts/lib.sh"

runs=5 bench_dir=/var/tmp/vexaro-bench files= folders= flat=200000 cold= loaded= other=
while [ $# -gt 0 ]; do
  case $1 in
    --cold) cold=1; shift ;;
    --loaded) loaded=1; shift ;;
    --compare) other=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --dir) bench_dir=$2; shift 2 ;;
    --files) files=$2; shift 2 ;;
    --folders) folders=$2; shift 2 ;;
    --flat) flat=$2; shift 2 ;;
    *) echo "usage: bench/run.sh [--cold | --loaded] [--runs N] [--dir DIR] [--files N] [--folders N] [--flat N] [--compare BIN]" >&2; exit 2 ;;
  esac
done
if [ -n "$cold" ]; then
  files=${files:-300000} folders=${folders:-30000}
else
  files=${files:-1000000} folders=${folders:-100000}
fi

"$root/scripts/install-deps" build bench
configure_and_build build/release -DCMAKE_BUILD_TYPE=Release -DVEXARO_BUILD_TESTS=OFF -DVEXARO_BUILD_BENCH=ON >&2
dir=$bench_dir  # set after the build: scripts/lib.sh uses the name too
list="$root/build/release/cli/vexaro-list"
make_tree="$root/build/release/bench/make_tree"

export TZ=${TZ:-Asia/Tokyo}

# summarise RESULTS AWK-LINES: a table of medians and peaks from lines of
# "name seconds KiB", then the given lines, which may use med[] and m[].
summarise() {
  awk '
    { t[$1] = t[$1] " " $2; if ($3 > m[$1]) m[$1] = $3; if (!seen[$1]++) names[++n] = $1 }
    function median(list,   a, k, i, j, x) {
      k = split(list, a, " ")
      for (i = 2; i <= k; i++) { x = a[i]; for (j = i - 1; j >= 1 && a[j] > x; j--) a[j + 1] = a[j]; a[j + 1] = x }
      return k % 2 ? a[(k + 1) / 2] : (a[k / 2] + a[k / 2 + 1]) / 2
    }
    END {
      printf "%-16s %10s %12s\n", "command", "median s", "peak MiB"
      for (i = 1; i <= n; i++) { s = names[i]; med[s] = median(t[s]); printf "%-16s %10.2f %12.1f\n", s, med[s], m[s] / 1024 }
      print ""
      '"$2"'
    }' "$1"
}

bfs_fmt='%BY/%Bm/%Bd %BH:%BM:%BS %s %p\n'
find_fmt='%TY/%Tm/%Td %TH:%TM:%TS %s %p\n'

if [ -n "$cold" ]; then
  image="$dir/cold-$files-$folders.ext4" mnt="$dir/cold-mnt" results=$(mktemp) timing=$(mktemp)
  mkdir -p "$dir" "$mnt"
  if [ ! -f "$image.done" ]; then
    echo "making $image..." >&2
    rm -f "$image" && truncate -s 8G "$image" && mkfs.ext4 -q -F -N $((files + folders + 1000)) "$image"
    mount -o loop "$image" "$mnt"
    "$make_tree" tree "$mnt/tree" "$files" "$folders"
    umount "$mnt"
    touch "$image.done"
  fi
  # Each command on a fresh mount of a fresh direct-I/O loop device.
  cold_run() {
    name=$1
    shift
    device=$(losetup --find --show --direct-io=on --read-only "$image")
    mount -o ro,noatime "$device" "$mnt"
    /usr/bin/time -f "%e %M" -o "$timing" "$@" >/dev/null 2>&1 || true
    umount "$mnt"
    losetup -d "$device"
    echo "$name $(cat "$timing")" >>"$results"
  }
  i=0
  while [ $i -lt "$runs" ]; do
    i=$((i + 1))
    echo "cold round $i of $runs" >&2
    cold_run vexaro-txt "$list" -q --txt "$mnt/tree"
    cold_run vexaro-j1 "$list" -q -j 1 --txt "$mnt/tree"
    [ -z "$other" ] || cold_run other-txt "$other" -q --txt "$mnt/tree"
    cold_run bfs-s bfs -s "$mnt/tree" -type f -printf "$bfs_fmt"
    cold_run find-floor find "$mnt/tree" -type f
  done
  echo
  echo "cold: $files files in $folders folders on ext4, direct-I/O loop device; $runs rounds"
  summarise "$results" '
    printf "vexaro-txt / find floor  %.2f   (target <= 0.65)\n", med["vexaro-txt"] / med["find-floor"]
    printf "vexaro-txt / bfs -s      %.2f\n", med["vexaro-txt"] / med["bfs-s"]
    printf "speed-up of the workers  %.2f   (-j 1 / default)\n", med["vexaro-j1"] / med["vexaro-txt"]
    if (med["other-txt"]) printf "vexaro-txt / other-txt   %.2f\n", med["vexaro-txt"] / med["other-txt"]'

  rm -f "$results" "$timing"
  exit 0
fi

tree="$dir/tree-$files-$folders" flatdir="$dir/flat-$flat"
mkdir -p "$dir"
if [ ! -f "$tree.done" ]; then
  echo "making $tree ($files files in $folders folders)..." >&2
  rm -rf "$tree" && "$make_tree" tree "$tree" "$files" "$folders" && touch "$tree.done"
fi
if [ ! -f "$flatdir.done" ]; then
  echo "making $flatdir ($flat files)..." >&2
  rm -rf "$flatdir" && "$make_tree" flat "$flatdir" "$flat" && touch "$flatdir.done"
fi

results=$(mktemp) timing=$(mktemp)
trap 'rm -f "$results" "$timing"' EXIT

# name, then the command
run() {
  name=$1
  shift
  /usr/bin/time -f "%e %M" -o "$timing" "$@" >/dev/null 2>&1 || true
  echo "$name $(cat "$timing")" >>"$results"
}

find "$tree" "$flatdir" -type f >/dev/null  # warm the cache
find "$tree" "$flatdir" -type f >/dev/null

if [ -n "$loaded" ]; then
  # Busy processes that end by themselves, should this script be killed.
  busy=""
  for _ in 1 2 3 4; do
    nice -n 0 timeout 3600 sh -c 'while :; do :; done' &
    busy="$busy $!"
  done
  trap 'kill $busy 2>/dev/null; rm -f "$results" "$timing"' EXIT
  i=0
  while [ $i -lt "$runs" ]; do
    i=$((i + 1))
    echo "loaded round $i of $runs" >&2
    run vexaro-txt "$list" -q --txt "$tree"
    run vexaro-j1 "$list" -q -j 1 --txt "$tree"
    if [ -n "$other" ]; then
      run other-txt "$other" -q --txt "$tree"
      run other-j1 "$other" -q -j 1 --txt "$tree"
    fi
    run find-floor find "$tree" -type f
  done
  echo
  echo "loaded (4 busy processes at nice 0): $files files in $folders folders; $runs rounds; TZ=$TZ"
  summarise "$results" '
    printf "vexaro-txt / -j 1        %.2f   (target <= 1.00)\n", med["vexaro-txt"] / med["vexaro-j1"]
    printf "vexaro-txt / find floor  %.2f   (target <= 1.5)\n", med["vexaro-txt"] / med["find-floor"]
    if (med["other-txt"]) {
      printf "other-txt / other-j1     %.2f\n", med["other-txt"] / med["other-j1"]
      printf "vexaro-txt / other-txt   %.2f\n", med["vexaro-txt"] / med["other-txt"]
    }'
  exit 0
fi

i=0
while [ $i -lt "$runs" ]; do
  i=$((i + 1))
  echo "round $i of $runs" >&2
  run vexaro-txt "$list" -q --txt "$tree"
  run vexaro-j1 "$list" -q -j 1 --txt "$tree"
  run vexaro-csv "$list" -q --csv "$tree"
  if [ -n "$other" ]; then
    run other-txt "$other" -q --txt "$tree"
    run other-j1 "$other" -q -j 1 --txt "$tree"
  fi
  run bfs-s bfs -s "$tree" -type f -printf "$bfs_fmt"
  run gnu-find find "$tree" -type f -printf "$find_fmt"
  run find-floor find "$tree" -type f
  run flat-vexaro-txt "$list" -q --txt "$flatdir"
  run flat-bfs-s bfs -s "$flatdir" -type f -printf "$bfs_fmt"
  run flat-gnu-find find "$flatdir" -type f -printf "$find_fmt"
done

echo
echo "tree: $files files in $folders folders; flat: $flat files; $runs rounds; TZ=$TZ"
summarise "$results" '
    printf "vexaro-txt / bfs -s      %.2f   (target <= 0.35)\n", med["vexaro-txt"] / med["bfs-s"]
    printf "vexaro-txt / GNU find    %.2f\n", med["vexaro-txt"] / med["gnu-find"]
    printf "vexaro-csv / bfs -s      %.2f\n", med["vexaro-csv"] / med["bfs-s"]
    printf "vexaro-csv / GNU find    %.2f\n", med["vexaro-csv"] / med["gnu-find"]
    printf "vexaro-txt / find floor  %.2f   (target <= 1.0)\n", med["vexaro-txt"] / med["find-floor"]
    printf "speed-up of the workers  %.2f   (-j 1 / default)\n", med["vexaro-j1"] / med["vexaro-txt"]
    if (med["other-txt"]) {
      printf "vexaro-txt / other-txt   %.2f\n", med["vexaro-txt"] / med["other-txt"]
      printf "vexaro-j1 / other-j1     %.2f\n", med["vexaro-j1"] / med["other-j1"]
    }
    printf "flat: vexaro / bfs -s    %.2f\n", med["flat-vexaro-txt"] / med["flat-bfs-s"]
    printf "flat: vexaro / GNU find  %.2f\n", med["flat-vexaro-txt"] / med["flat-gnu-find"]
    printf "peak memory of vexaro-list: %.1f MiB (target < 64)\n", (m["vexaro-txt"] > m["vexaro-csv"] ? m["vexaro-txt"] : m["vexaro-csv"]) / 1024'

# One core or all: the same bytes (the header's clock line aside, and the
# free space, which other programs change meanwhile).
one=$(mktemp) all=$(mktemp)
taskset -c 0 "$list" -q --csv --no-free "$tree" | sed 2d >"$one"
"$list" -q --csv --no-free "$tree" | sed 2d >"$all"
if cmp -s "$one" "$all"; then echo "taskset -c 0: the same bytes"; else echo "taskset -c 0: DIFFERENT bytes"; fi
rm -f "$one" "$all"

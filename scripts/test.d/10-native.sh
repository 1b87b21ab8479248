# Release build and every unit test.
set -eu
. "$VEXARO_ROOT/scripts/lib.sh"
configure_and_build build/release -DCMAKE_BUILD_TYPE=Release
ctest --test-dir "$root/build/release" --output-on-failure -j "$jobs"

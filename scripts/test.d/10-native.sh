# Release build and every unit test.
set -eu
. "$VEXARO_ROOT/scripts/lib.sh"
configure_and_build build/release -DCMAKE_BUILD_TYPE=Release -DVEXARO_BUILD_TESTS=ON -DVEXARO_BUILD_BENCH=ON
ctest --test-dir "$root/build/release" --no-tests=error --output-on-failure -j "$jobs"

# The unit tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
set -eu
. "$VEXARO_ROOT/scripts/lib.sh"
configure_and_build build/sanitize -DCMAKE_BUILD_TYPE=Debug -DVEXARO_SANITIZE=ON -DVEXARO_BUILD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$root/build/sanitize" --no-tests=error --output-on-failure -j "$jobs"

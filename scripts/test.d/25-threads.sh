# The engine and platform tests under ThreadSanitizer: the worker threads
# that read folders ahead of the listing share the folder handles with it.
set -eu
. "$VEXARO_ROOT/scripts/lib.sh"
configure build/tsan -DCMAKE_BUILD_TYPE=Debug -DVEXARO_TSAN=ON -DVEXARO_BUILD_BENCH=OFF
cmake --build "$root/build/tsan" -j "$jobs" --target engine_tests platform_posix_tests
# Both test programs run the walk with and without worker threads. The
# detached-process tests fork and time their child: under ThreadSanitizer's
# slowdown their limits mean nothing, and they share no thread with the walk.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
"$root/build/tsan/tests/engine/engine_tests" --gtest_brief=1
"$root/build/tsan/tests/platform/platform_posix_tests" --gtest_brief=1 --gtest_filter=-DetachedProcessTest.*

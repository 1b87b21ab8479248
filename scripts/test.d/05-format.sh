# Every C++ file as clang-format writes it (.clang-format): a change of
# layout never hides in a change of code.
set -eu
. "$VEXARO_ROOT/scripts/lib.sh"
cd "$root"
if ! command -v clang-format >/dev/null 2>&1; then
  echo "format: clang-format is not installed" >&2
  exit 1
fi
# shellcheck disable=SC2046
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
echo "format: every C++ file as clang-format writes it" >&2

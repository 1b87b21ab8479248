# Every C++ file as clang-format writes it (.clang-format): a change of
# layout never hides in a change of code. The files are those git tracks;
# without git, or with no file to check, the stage fails rather than pass
# having checked nothing.
set -eu
. "$VEXARO_ROOT/scripts/lib.sh"
cd "$root"
for tool in clang-format git; do
  command -v "$tool" >/dev/null 2>&1 || { echo "format: $tool is not installed" >&2; exit 1; }
done
files=$(mktemp)
trap 'rm -f "$files"' EXIT
git ls-files -z '*.cpp' '*.h' >"$files" || { echo "format: git cannot list the C++ files" >&2; exit 1; }
count=$(tr -cd '\000' <"$files" | wc -c)
[ "$count" -gt 0 ] || { echo "format: git lists no C++ file" >&2; exit 1; }
xargs -0 clang-format --dry-run --Werror <"$files"
echo "format: all $count C++ files as clang-format writes them" >&2

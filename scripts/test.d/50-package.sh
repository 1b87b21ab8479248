# The Debian package: made by scripts/package, then taken apart and checked
# without installing it on this machine: its exact contents, the dependencies
# dpkg-shlibdeps found, lintian, the desktop entry, the manual pages, and
# both programs run from the unpacked tree. The options of vexaro-list
# --help and of its manual page must be the same. Then the Windows
# installers, installed and removed under Wine (tests/packaging/msi.sh).
set -eu
. "$VEXARO_ROOT/scripts/lib.sh"
fail() { echo "FAIL: $*" >&2; exit 1; }

work=$(mktemp -d /tmp/vexaro-package.XXXXXX)
. "$root/scripts/window-lib.sh"
x_clean_up_at_exit

# The release build of the earlier stages is packed: a build of its own
# would compile the same programs again.
VEXARO_DEB_BUILD=build/release sh "$root/scripts/package" --deb >"$work/package.log" 2>&1 || { cat "$work/package.log" >&2; fail "scripts/package"; }
version=$(sed -n 's/^project(Vexaro VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
deb=$root/build/package/vexaro_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $deb"

echo "-- contents" >&2
# Every file of the package, and nothing else (no headers, no test or
# build files); folders aside.
cat >"$work/expected" <<'LIST'
./usr/bin/vexaro
./usr/bin/vexaro-list
./usr/share/applications/vexaro.desktop
./usr/share/doc/vexaro/changelog.gz
./usr/share/doc/vexaro/copyright
./usr/share/icons/hicolor/128x128/apps/vexaro.png
./usr/share/icons/hicolor/16x16/apps/vexaro.png
./usr/share/icons/hicolor/256x256/apps/vexaro.png
./usr/share/icons/hicolor/32x32/apps/vexaro.png
./usr/share/icons/hicolor/48x48/apps/vexaro.png
./usr/share/icons/hicolor/64x64/apps/vexaro.png
./usr/share/icons/hicolor/scalable/apps/vexaro.svg
./usr/share/man/man1/vexaro-list.1.gz
./usr/share/man/man1/vexaro.1.gz
LIST
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | LC_ALL=C sort >"$work/contents"
diff "$work/expected" "$work/contents" >&2 || fail "the package holds other files than these"
dpkg-deb -c "$deb" | awk '$2 != "root/root" { bad = 1; print } END { exit bad }' >&2 ||
  fail "files not owned by root"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ && $6 ~ /^\.\/usr\/bin\// && $1 != "-rwxr-xr-x" { bad = 1; print } END { exit bad }' >&2 ||
  fail "a program is not executable"

echo "-- dependencies" >&2
depends=$(dpkg-deb -f "$deb" Depends)
echo "   Depends: $depends" >&2
# What the programs link, found by dpkg-shlibdeps: the C and C++ runtimes and
# Qt's widgets at least, each a package Debian has.
echo "$depends" | tr ',|' '\n\n' | sed 's/^ *//; s/ .*//' >"$work/depends"
for p in libc6 libstdc++6 libqt6widgets6; do
  grep -qxF "$p" "$work/depends" || fail "$p missing from Depends"
done
for p in $(cat "$work/depends"); do
  candidate=$(apt-cache policy "$p" | awk '/Candidate:/ { print $2 }')
  [ -n "$candidate" ] && [ "$candidate" != "(none)" ] || fail "Depends names $p, which apt cannot install"
done

echo "-- lintian" >&2
lintian --fail-on error,warning "$deb" 2>/dev/null >&2 || fail "lintian finds errors or warnings"

echo "-- unpacked: desktop entry and manual pages" >&2
tree=$work/root
dpkg-deb -x "$deb" "$tree"
desktop-file-validate "$tree/usr/share/applications/vexaro.desktop" >&2 || fail "desktop-file-validate"
grep -qx 'Exec=vexaro %F' "$tree/usr/share/applications/vexaro.desktop" || fail "the desktop entry does not start vexaro with the folders"
# Claiming folders could make Vexaro the program that opens every folder.
if grep -q '^MimeType=' "$tree/usr/share/applications/vexaro.desktop"; then fail "the desktop entry claims types"; fi
for page in vexaro vexaro-list; do
  file=$tree/usr/share/man/man1/$page.1.gz
  # groff -ww warns about every doubtful request; man renders as a user sees.
  zcat "$file" | LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z 2>"$work/groff.err"
  [ ! -s "$work/groff.err" ] || { cat "$work/groff.err" >&2; fail "groff warns about $page(1)"; }
  LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$file" >"$work/$page.txt" 2>"$work/man.err"
  [ ! -s "$work/man.err" ] || { cat "$work/man.err" >&2; fail "man warns about $page(1)"; }
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS 'TEXT FORMAT' 'EXIT STATUS' EXAMPLES COPYRIGHT; do
    grep -qx "$section" "$work/$page.txt" || fail "$page(1) has no $section section"
  done
  sed -n '/^COPYRIGHT$/,/^[A-Z]/p' "$work/$page.txt" | tr -s ' \n' '  ' | grep -q 'MIT License' ||
    fail "$page(1) does not name the licence"
done

echo "-- vexaro-list --help and its manual page" >&2
list=$tree/usr/bin/vexaro-list
"$list" --help >"$work/help.txt"
# The options of the help: the first column of the lines that begin with a
# dash, in the Options part.
sed -n '/^Options:/,/^$/p' "$work/help.txt" | grep -E '^ +-' | sed -E 's/^ +//; s/  .*//' |
  grep -oE -- '--?[a-z][a-z-]*' | LC_ALL=C sort -u >"$work/help.options"
# The options of the page: the tag lines (after .TP) of its OPTIONS section.
zcat "$tree/usr/share/man/man1/vexaro-list.1.gz" | sed -n '/^\.SH OPTIONS/,/^\.SH /p' |
  awk 'prev == ".TP" { print } { prev = $0 }' | sed 's/\\-/-/g; s/\\f[A-Z]//g' |
  grep -oE -- '--?[a-z][a-z-]*' | LC_ALL=C sort -u >"$work/man.options"
[ "$(wc -l <"$work/help.options")" -ge 14 ] || fail "too few options read from --help"
diff "$work/help.options" "$work/man.options" >&2 || fail "--help and vexaro-list(1) name different options"
# The exit statuses: "N when" or "N for" in the help, the tags of EXIT STATUS.
sed -n '/^Exit status/,$p' "$work/help.txt" | tr '\n' ' ' | grep -oE '[0-9]+ (when|for)' |
  cut -d' ' -f1 | sort -n >"$work/help.status"
zcat "$tree/usr/share/man/man1/vexaro-list.1.gz" | sed -n '/^\.SH EXIT STATUS/,/^\.SH /p' |
  awk 'prev == ".TP" { print $2 } { prev = $0 }' | sort -n >"$work/man.status"
[ -s "$work/help.status" ] || fail "no exit status read from --help"
diff "$work/help.status" "$work/man.status" >&2 || fail "--help and vexaro-list(1) give different exit statuses"
# The version the page names is the program's.
zcat "$tree/usr/share/man/man1/vexaro-list.1.gz" | grep -q "\"Vexaro $version\"" || fail "vexaro-list(1) names another version"

echo "-- the unpacked programs run" >&2
vexaro=$tree/usr/bin/vexaro
# The version and the licence, and the help, with no display.
for program in "$list" "$vexaro"; do
  name=$(basename "$program")
  env -u DISPLAY -u WAYLAND_DISPLAY "$program" --version >"$work/version.txt" 2>&1 || fail "$name --version failed"
  [ "$(head -n 1 "$work/version.txt")" = "$name $version" ] || fail "$name --version: $(head -n 1 "$work/version.txt")"
  grep -q 'MIT License' "$work/version.txt" || fail "$name --version does not name the licence"
  env -u DISPLAY -u WAYLAND_DISPLAY "$program" --help >"$work/help-$name.txt" 2>&1 || fail "$name --help failed"
  grep -q "^Usage: $name " "$work/help-$name.txt" || fail "$name --help shows no usage"
done
# The window without a display: one line, status 1.
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$vexaro" >"$work/nodisplay.out" 2>"$work/nodisplay.err" || status=$?
[ "$status" -eq 1 ] || fail "vexaro without a display ended with status $status"
[ "$(cat "$work/nodisplay.err")" = "vexaro: cannot open a display (DISPLAY and WAYLAND_DISPLAY are unset); vexaro-list lists without one" ] ||
  { cat "$work/nodisplay.err" >&2; fail "vexaro without a display says something else"; }
[ ! -s "$work/nodisplay.out" ] || fail "vexaro without a display writes to standard output"
grep -q '^Files: \*$' "$tree/usr/share/doc/vexaro/copyright" && grep -q '^License: Expat$' "$tree/usr/share/doc/vexaro/copyright" ||
  fail "the copyright file does not give the MIT (Expat) licence"
mkdir -p "$work/files/sub"
printf 'abc' >"$work/files/sub/one.txt"
"$list" -q "$work/files" >"$work/listing.txt" || fail "vexaro-list failed"
grep -q ' 3 : sub/one.txt$' "$work/listing.txt" || fail "vexaro-list did not list sub/one.txt"
x_start
start_window
[ -n "${win:-}" ] || fail "the packaged vexaro shows no window"
kill "$vexaro_pid"
wait "$vexaro_pid" 2>/dev/null || true
vexaro_pid=

echo "-- the Windows installers, under Wine" >&2
sh "$root/tests/packaging/msi.sh" || fail "the Windows installers"

echo "package: all passed ($deb)" >&2

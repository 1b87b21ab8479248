#!/bin/sh
# The Windows installers of scripts/package under Wine, in a fresh prefix: the 64-bit one installed (files,
# Start-menu and Send To shortcuts, the installed programs' entry) and started by Send To with folders; a newer
# version over it, an older one refused; the 32-bit one in its place; and removed, leaving nothing behind.
# Wine's 64-bit msiexec installs both; the 32-bit program is started only where 32-bit programs run.
# Without Wine's 64-bit loader nothing is run (one line says so).
set -eu
. "$VEXARO_ROOT/scripts/lib.sh"
fail() { echo "FAIL: installer: $*" >&2; exit 1; }
wine=/usr/lib/wine/wine64
if ! why=$("$wine" --version 2>&1); then
  echo "installer tests not run: Wine's 64-bit loader does not start ($(echo "$why" | head -n 1))" >&2
  exit 0
fi
work=$root/build/msi-test
rm -rf "$work" && mkdir -p "$work"
sh "$root/scripts/package" --windows >"$work/package.log" 2>&1 || { cat "$work/package.log" >&2; fail "scripts/package --windows"; }
version=$(sed -n 's/^project(Vexaro VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
newer=$(echo "$version" | awk -F. -v OFS=. '{ $NF += 1; print }')
make_windows_msi build/mingw64 64 "$work/newer" "$newer" >/dev/null

export WINEPREFIX="$work/wineprefix" WINEARCH=win64 WINEDEBUG=-all TZ=UTC LANG=C.UTF-8
# No Mono or Gecko prompt, and no menu entries for this machine's desktop made from the prefix's Start menu.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINESERVER=/usr/lib/wine/wineserver64
unset WAYLAND_DISPLAY
. "$root/scripts/window-lib.sh"
trap '[ -z "${vexaro_pid:-}" ] || kill "$vexaro_pid" 2>/dev/null || true; "$WINESERVER" -k 2>/dev/null || true; x_stop' EXIT
x_start
"$wine" wineboot -i >/dev/null 2>&1 || fail "Wine could not make its prefix $WINEPREFIX"
w() { "$wine" "$@" 2>/dev/null | tr -d '\r'; }
c=$WINEPREFIX/drive_c
unix() { printf '%s/%s\n' "$c" "$(printf '%s' "$1" | sed 's/^C:.//; s/\\/\//g')"; }  # C:\... as the host's path
sendto=$(unix "$(w cmd /c 'echo %APPDATA%')")/Microsoft/Windows/SendTo
# Send To holds the system's entries, as on Windows: Wine's msiexec removes an empty folder of a shortcut.
mkdir -p "$sendto" "$c/Sent/My Photos" "$c/Sent/Mail" && : >"$sendto/Desktop (create shortcut).DeskLink"
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

# The prefix outside Windows' own files (the installer's cache included), and the registry's keys with single
# backslashes; the registry is written out once the server has ended.
snapshot() {
  "$WINESERVER" -w
  (cd "$c" && find . -path ./windows -prune -o -print && find ./windows/Installer 2>/dev/null || true) | LC_ALL=C sort
  sed -n 's/^\(\[.*\]\) [0-9]*$/\1/p' "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" | sed 's/\\\\/\\/g' |
    LC_ALL=C sort
}
snapshot >"$work/before.txt"

msiexec() { status=0; "$wine" msiexec "$@" /qn >>"$work/msiexec.log" 2>&1 || status=$?; }
install() { msiexec /i "$(w winepath -w "$1")"; }
product_code() { msiinfo export "$1" Property | tr -d '\r' | awk '$1 == "ProductCode" { print $2 }'; }
# The program's path in a shortcut: its local base path, in ANSI.
lnk_target() { strings "$1" | grep -x 'C:\\.*\\Vexaro\.exe' | head -n 1; }
# the_one_installed MSI WIDTH VERSION: that product and no other Vexaro in the installed programs, of either
# width (the 32-bit ones in the registry's 32-bit view, as on Windows).
the_one_installed() {
  key="$uninstall\\$(product_code "$1")"
  [ "$(w reg query "$key" /v DisplayVersion "/reg:$2" | awk '$1 == "DisplayVersion" { print $3 }')" = "$3" ] ||
    fail "$(basename "$1"): no $key with DisplayVersion $3"
  w reg query "$key" /v Publisher "/reg:$2" | grep -q 'REG_SZ *The Vexaro developers$' || fail "$key: not the publisher"
  [ "$( (w reg query "$uninstall" /s /reg:64 && w reg query "$uninstall" /s /reg:32) |
    grep -c 'DisplayName *REG_SZ *Vexaro$')" -eq 1 ] || fail "not one Vexaro in the installed programs"
}
# installed MSI WIDTH VERSION: msiexec installs it, with its files, shortcuts and entry.
installed() {
  install "$1"
  [ "$status" -eq 0 ] || fail "msiexec /i $1: status $status"
  folder='C:\Program Files\Vexaro'
  [ "$2" = 64 ] || folder='C:\Program Files (x86)\Vexaro'
  dir=$(unix "$folder")
  [ "$(ls "$dir" | tr '\n' ' ')" = "LICENSE.txt README.txt Vexaro.exe vexaro-list.exe " ] ||
    fail "$folder holds $(ls "$dir" | tr '\n' ' ')"
  for file in LICENSE.txt README.txt Vexaro.exe vexaro-list.exe; do
    cmp -s "$dir/$file" "$root/build/mingw${2%32}/msi-files-$3/$file" || fail "$folder\\$file is not the build's"
  done
  # Wine's msiexec puts the Start menu of an installation for all users in the user's own.
  links=0
  for lnk in "$sendto/Vexaro.lnk" "$c/ProgramData/Microsoft/Windows/Start Menu/Programs/Vexaro.lnk" \
    "$(dirname "$sendto")/Start Menu/Programs/Vexaro.lnk"; do
    [ -f "$lnk" ] || continue
    [ "$(lnk_target "$lnk")" = "$folder\\Vexaro.exe" ] || fail "$lnk points at $(lnk_target "$lnk")"
    links=$((links + 1))
  done
  [ "$links" -eq 2 ] || fail "not two shortcuts (Send To, Start menu), $links"
  the_one_installed "$1" "$2" "$3"
}
# send_to WIDTH: the Send To shortcut opened with two folders, one with a space, as Explorer does: the program
# starts with them as its arguments and shows its window.
send_to() {
  w start "$(w winepath -w "$sendto/Vexaro.lnk")" 'C:\Sent\My Photos' 'C:\Sent\Mail' >/dev/null
  within 60 visible "$main_title" || fail "win$1: no window after Send To"
  vexaro_pid=$(xdotool getwindowpid "$id")
  [ "$(tr '\0' '\n' <"/proc/$vexaro_pid/cmdline" | sed -n 2,3p | tr '\n' '|')" = 'C:\Sent\My Photos|C:\Sent\Mail|' ] ||
    fail "win$1: Send To started $(tr '\0' ' ' <"/proc/$vexaro_pid/cmdline")"
  kill "$vexaro_pid" && wait_ended "$vexaro_pid" 20 && vexaro_pid=
}

msi64=$root/build/package/Vexaro-$version-win64.msi
msi32=$root/build/package/Vexaro-$version-win32.msi
newer64=$work/newer/Vexaro-$newer-win64.msi
echo "-- win64: install, Send To" >&2
installed "$msi64" 64 "$version"
send_to 64
echo "-- win64: upgrade to $newer, no downgrade" >&2
installed "$newer64" 64 "$newer"
install "$msi64"
[ "$status" -ne 0 ] || fail "$version was installed over $newer"
the_one_installed "$newer64" 64 "$newer"
echo "-- win32 in its place" >&2
installed "$msi32" 32 "$version"
[ ! -e "$c/Program Files/Vexaro" ] || fail "the 64-bit programs stay beside the 32-bit ones"
if runs_32bit_programs && /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "-- win32: Send To" >&2
  send_to 32
else
  echo "   win32: its program is not started: ${why:-Wine's 32-bit loader does not start}" >&2
fi
echo "-- uninstall, as the installed programs do it" >&2
command=$(w reg query "$uninstall\\$(product_code "$msi32")" /v UninstallString /reg:32 |
  sed -n 's/^ *UninstallString *REG_EXPAND_SZ *//p')
case $command in
  "MsiExec.exe /X{"*"}") ;;
  *) fail "the uninstall command is '$command'" ;;
esac
msiexec "${command#MsiExec.exe }"
[ "$status" -eq 0 ] || fail "$command /qn: status $status"
snapshot >"$work/after.txt"
# What was added and stays, but the installer's own folder and keys that Windows has from the start, and the
# 32-bit view's list of installed programs, which a prefix of a Wine without its 32-bit loader lacks.
LC_ALL=C comm -13 "$work/before.txt" "$work/after.txt" | grep -vE '^\./windows/Installer$|\\Installer\\(Features|Products|UpgradeCodes)\]$|\\UserData\\S-1-5-18\\(Components|Products)\]$|^\[Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\]$' >"$work/left.txt" || true
[ ! -s "$work/left.txt" ] || { cat "$work/left.txt" >&2; fail "the uninstallation leaves these behind"; }
! grep -i vexaro "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" >&2 || fail "the registry still names Vexaro"
# The prefix is kept for a look after a failure only: it takes more than a gigabyte.
"$WINESERVER" -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
echo "installer: all passed ($msi64, $msi32)" >&2

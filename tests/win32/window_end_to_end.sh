#!/bin/sh
# Vexaro.exe end to end under Wine on a virtual display, driven from the
# keyboard as a user would drive it: folders added through the shell's folder
# dialog, a run, the clipboard read back through Wine's clipboard bridge and
# compared with vexaro-list.exe over the same folders; STOP during a long
# walk; the close box during a run. Screenshots of both pages are kept.
#
#   window_end_to_end.sh VEXARO_EXE VEXARO_LIST_EXE WORK_DIR
#
# Needs DISPLAY, WINEPREFIX (a prefix of the tests' own: its desktop folder
# is replaced), xdotool, xclip and ImageMagick's import. Exit status 77 when
# something is missing: the test is then skipped, not failed.
set -eu

vexaro=$1
list=$2
work=$3

skip() {
  echo "skipped: $*" >&2
  exit 77
}
[ -n "${DISPLAY:-}" ] || skip "no display"
[ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX/drive_c" ] || skip "no Wine prefix of the tests' own"
for tool in wine xdotool xclip import; do
  command -v "$tool" >/dev/null 2>&1 || skip "no $tool"
done

fail() {
  echo "FAILED: $*" >&2
  import -window root "$work/failure.png" 2>/dev/null || true
  exit 1
}

rm -rf "$work"
mkdir -p "$work/shots"

# The folder dialog opens at the desktop; the folders to list are put there,
# in a desktop folder of the prefix's own rather than the home folder Wine
# links it to.
user=$(wine cmd /c 'echo %USERNAME%' 2>/dev/null | tr -d '\r')
desktop="$WINEPREFIX/drive_c/users/$user/Desktop"
if [ -L "$desktop" ]; then rm "$desktop"; fi
mkdir -p "$desktop"
rm -rf "$desktop"/vx*

file() {  # file PATH SIZE
  mkdir -p "$(dirname "$1")"
  : >"$1"
  truncate -s "$2" "$1"
}
file "$desktop/vxA/a.txt" 1536
file "$desktop/vxA/B.txt" 0
file "$desktop/vxA/日本語.txt" 3
file "$desktop/vxA/한국어.txt" 2
file "$desktop/vxA/😀.txt" 1
file "$desktop/vxA/sub/big.bin" 6442450944
file "$desktop/vxA/sub/deeper/x" 12582912
file "$desktop/vxA/Tom & Jerry/y.txt" 5
file "$desktop/vxB/only.txt" 700
mkdir -p "$desktop/vxB/empty"
# Enough folders that the walk takes a while: STOP is pressed during it.
mkdir -p "$desktop/vxLong"
(cd "$desktop/vxLong" && for top in $(seq -w 1 40); do
  seq -w 1 400 | sed "s|^|d$top/|" | xargs mkdir -p
  seq -w 1 400 | sed "s|^|d$top/|; s|\$|/f.txt|" | xargs touch
done)

windows_path() { winepath -w "$1" 2>/dev/null | tr -d '\r'; }
startA="$(windows_path "$desktop/vxA")\\"
startB="$(windows_path "$desktop/vxB")\\"

# Waits up to $2 seconds for a window titled exactly $1; prints its id.
wait_window() {
  deadline=$(($(date +%s) + $2))
  while [ "$(date +%s)" -lt "$deadline" ]; do
    id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1 || true)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.2
  done
  return 1
}
wait_gone() {
  deadline=$(($(date +%s) + $2))
  while [ "$(date +%s)" -lt "$deadline" ]; do
    xdotool search --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.2
  done
  return 1
}
keys() {
  xdotool windowfocus --sync "$desktop_window" 2>/dev/null || true
  xdotool key --delay 120 "$@"
  sleep 0.4
}
shot() { import -window root "$work/shots/$1.png"; }

program=
# A program left behind by a failure is ended with the script.
trap 'if [ -n "$program" ]; then kill "$program" 2>/dev/null || true; fi' EXIT
start_program() {
  wine "$vexaro" >>"$work/program.log" 2>&1 &
  program=$!
  wait_window "Vexaro Ver 2.8" 60 >/dev/null || fail "the window did not appear"
  desktop_window=$(xdotool search --name "Wine desktop" | head -n 1)
  sleep 1
}
# Adds a folder of the desktop through the folder dialog, typing its name.
add_folder() {
  keys space
  wait_window "Browse for Folder" 30 >/dev/null || fail "the folder dialog did not appear"
  sleep 1
  keys shift+Tab              # OK -> the folder tree
  xdotool type --delay 150 "$1"
  sleep 0.5
  keys Return
  wait_gone "Browse for Folder" 30 || fail "the folder dialog did not close"
}
# The clipboard as Wine hands it to X: UTF-8, its CR LF line ends made LF.
clipboard() { xclip -o -selection clipboard -t UTF8_STRING 2>/dev/null || true; }
# The header lines that depend on the moment, made fixed.
normalised() { sed -e 's/\r$//' -e 's/^\(Date and Time : \|Free Disk Space : \|Disk Space : \).*/\1*/'; }
expect_exit() {  # expect_exit SECONDS
  deadline=$(($(date +%s) + $1))
  while kill -0 "$program" 2>/dev/null; do
    [ "$(date +%s)" -lt "$deadline" ] || fail "the program did not end"
    sleep 0.2
  done
  status=0
  wait "$program" || status=$?
  program=
  [ "$status" -eq 0 ] || fail "the program ended with status $status"
}

echo "== a run over two folders added through the folder dialog"
start_program
shot setup-empty
keys Tab                      # List1 -> Add Folder
add_folder vxB
add_folder vxA                # the list sorts them
shot setup
keys Tab Tab Tab              # Add Folder -> Delete Selected -> Size -> Start
keys space
wait_window "Vexaro" 120 >/dev/null || fail "no closing message"
sleep 1
shot progress-finished
clipboard >"$work/clipboard.txt"
wine "$list" "$startA" "$startB" >"$work/tool.txt" 2>"$work/tool-errors.txt" || fail "vexaro-list.exe failed: $(cat "$work/tool-errors.txt")"
normalised <"$work/clipboard.txt" >"$work/clipboard-normalised.txt"
normalised <"$work/tool.txt" >"$work/tool-normalised.txt"
diff -u "$work/tool-normalised.txt" "$work/clipboard-normalised.txt" >"$work/difference.txt" ||
  fail "the clipboard differs from vexaro-list.exe: $(cat "$work/difference.txt")"
grep -q "6442450944 : sub\\\\big.bin" "$work/clipboard.txt" || fail "a file line is missing"
grep -q "Starting Path : $(printf '%s' "$startB" | sed 's/\\/\\\\/g')" "$work/clipboard.txt" || fail "the second folder is missing"
keys Return                   # closes the message; the setup page is back
wait_gone "Vexaro" 10 || fail "the message did not close"
shot setup-after-run
keys Tab space                # Start -> Quit
expect_exit 20

echo "== STOP during a long walk"
start_program
keys Tab
add_folder vxLong
keys Tab Tab Tab
keys space                    # Start; the focus moves to STOP
sleep 2
shot progress-walking
keys space                    # STOP
wait_window "Vexaro" 60 >/dev/null || fail "no message after STOP"
sleep 0.5
shot stopped
keys Return                   # 処理を中断しました。
sleep 1
wait_window "Vexaro" 60 >/dev/null || fail "no closing message after STOP"
clipboard >"$work/stopped.txt"
grep -q "^Date and Time : " "$work/stopped.txt" || fail "the stopped listing has no header"
lines=$(grep -c "f.txt" "$work/stopped.txt" || true)
[ "$lines" -lt 16000 ] || fail "STOP did not stop the listing ($lines lines)"
keys Return
wait_gone "Vexaro" 10 || fail "the message did not close"
keys Tab space                # Quit
expect_exit 20

echo "== the close box during a run"
start_program
keys Tab
add_folder vxLong
keys Tab Tab Tab
keys space
sleep 2
keys alt+F4
expect_exit 30

echo "passed; screenshots in $work/shots"

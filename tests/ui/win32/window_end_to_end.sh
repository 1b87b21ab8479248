#!/bin/sh
# Vexaro.exe under Wine on a virtual display, every button pressed with Enter after Tab or Shift+Tab: folders
# added through the folder dialog and one deleted, a run whose clipboard must equal vexaro-list.exe's output,
# the same folders on the command line, then STOP during a long walk. Screenshots are kept.
#   window_end_to_end.sh VEXARO_EXE VEXARO_LIST_EXE WORK_DIR
# Exit status 77 (skipped) without a display, a prefix of the tests' own (its desktop folder is replaced),
# xdotool, xclip or import. $WINE names the loader that runs the build's programs (default: wine).
set -eu
vexaro=$1 list=$2 work=$3
wine=${WINE:-wine}
skip() { echo "skipped: $*" >&2; exit 77; }
[ -n "${DISPLAY:-}" ] || skip "no display"
[ -d "${WINEPREFIX:-}/drive_c" ] || skip "no Wine prefix of the tests' own"
for tool in "$wine" xdotool xclip import; do command -v "$tool" >/dev/null || skip "no $tool"; done
fail() { echo "FAILED: $*" >&2; import -window root "$work/failure.png" || true; exit 1; }
rm -rf "$work" && mkdir -p "$work/shots"

# The folder dialog opens at the desktop: the prefix's own, not the home folder Wine links it to.
desktop="$WINEPREFIX/drive_c/users/$("$wine" cmd /c 'echo %USERNAME%' 2>/dev/null | tr -d '\r')/Desktop"
[ ! -L "$desktop" ] || rm "$desktop"
rm -rf "$desktop"/vx* && mkdir -p "$desktop/vxB/empty" "$desktop/vxC"
for entry in vxA/a.txt:1536 vxA/日本語.txt:3 vxA/한국어.txt:2 vxA/😀.txt:1 vxA/sub/big.bin:6442450944 \
  "vxA/Tom & Jerry/y.txt:5" vxB/only.txt:700; do
  mkdir -p "$desktop/$(dirname "${entry%:*}")" && truncate -s "${entry##*:}" "$desktop/${entry%:*}"
done
# Enough folders that the walk takes a while: STOP is pressed during it.
for top in $(seq -w 1 40); do seq -f "$desktop/vxLong/d$top/%03g" 1 400; done >"$work/long.txt"
xargs mkdir -p <"$work/long.txt" && sed 's|$|/f.txt|' "$work/long.txt" | xargs touch

within() {  # SECONDS COMMAND...: tries the command until it succeeds
  end=$(($(date +%s) + $1)) && shift
  until "$@"; do [ "$(date +%s)" -lt "$end" ] || return 1; sleep 0.2; done
}
shown() { xdotool search --name "^$1\$" >/dev/null 2>&1; }  # a window titled exactly so
gone() { ! shown "$1"; }
ended() { ! kill -0 "$program" 2>/dev/null; }
keys() {
  xdotool windowfocus --sync "$(xdotool search --name "Wine desktop" | head -n 1)" 2>/dev/null || true
  xdotool key --delay 120 "$@" && sleep 0.4
}
shot() { import -window root "$work/shots/$1.png"; }
message() { within "$1" shown "Vexaro" || fail "no $2" && sleep 1; }  # SECONDS WHAT: a message box
launch() {  # [ARGUMENTS...]: the program, in the current folder, until its window shows
  "$wine" "$vexaro" "$@" >>"$work/program.log" 2>&1 &
  program=$!
  within 60 shown "Vexaro Ver 2.8" || fail "the window did not appear"
  sleep 1
}
start_program() {  # and add the folder $1 through the folder dialog, then $2 ...
  launch
  keys Tab                                  # the folder list -> Add Folder
  for folder; do
    keys Return
    within 30 shown "Browse for Folder" || fail "no folder dialog"
    sleep 1
    keys shift+Tab                          # OK -> the folder tree
    xdotool type --delay 150 "$folder" && sleep 0.5
    keys Return
    within 30 gone "Browse for Folder" || fail "the folder dialog stayed"
  done
}
quit_program() {  # after the closing message: OK, then Quit
  keys Return
  within 10 gone "Vexaro" || fail "the message stayed"
  keys Tab Return                           # Start -> Quit
  within 20 ended || fail "the program did not end"
  wait "$program" || fail "the program ended with status $?"
  program=
}
trap 'kill "${program:-}" 2>/dev/null || true' EXIT
# The clipboard as Wine hands it to X (UTF-8, LF line ends); the moment made fixed.
clipboard() { xclip -o -selection clipboard -t UTF8_STRING 2>/dev/null || true; }
normalised() { sed -e 's/\r$//' -e 's/^\(Date and Time\|Free Disk Space\|Disk Space\) : .*/\1 : */'; }

echo "== a run over two folders, a third deleted"
start_program vxB vxA vxC
keys shift+Tab End space                    # the folder list, its last row marked
keys Tab Tab Return                         # -> Add Folder -> Delete Selected
shot setup
keys Tab Tab Tab shift+Tab Return           # -> Size -> Start -> Quit -> Start
message 120 "closing message"
shot finished
clipboard | normalised >"$work/clipboard.txt"
a=$("$wine" winepath -w "$desktop/vxA" | tr -d '\r') b=$("$wine" winepath -w "$desktop/vxB" | tr -d '\r')
"$wine" "$list" "$a" "$b" >"$work/tool.txt" || fail "vexaro-list.exe failed"
normalised <"$work/tool.txt" | diff -u - "$work/clipboard.txt" || fail "the clipboard differs from vexaro-list.exe"
grep -q "6442450944 : sub.big.bin" "$work/clipboard.txt" || fail "a file line is missing"
! grep -q "vxC" "$work/clipboard.txt" || fail "Delete Selected left vxC in the list"
quit_program

echo "== folders on the command line: relative and absolute, a file among them; nothing before Start"
cd "$desktop" && launch vxB "$a" 'vxA\a.txt' && cd - >/dev/null
sleep 1
! shown "Vexaro" || fail "a run started by itself"
keys Tab Tab Tab Tab Return                 # the folder list -> ... -> Size -> Start
message 120 "closing message"
clipboard | normalised | diff -u - "$work/clipboard.txt" || fail "the rows were not those of the two folders"
quit_program

echo "== STOP during a long walk"
start_program vxLong
keys Tab Tab Tab Return                     # -> Delete Selected -> Size -> Start
shot walking                                # no wait: the 64-bit build walks the tree in under two seconds
keys Tab Return                             # the focus was on STOP, and stays
message 60 "message after STOP"
shot stopped
keys Return && sleep 1                      # 処理を中断しました。
message 60 "closing message after STOP"
clipboard >"$work/stopped.txt"
grep -q "^Date and Time : " "$work/stopped.txt" || fail "the stopped listing has no header"
lines=$(grep -c "f.txt" "$work/stopped.txt" || true)
[ "$lines" -lt 16000 ] || fail "STOP did not stop the listing ($lines lines)"
quit_program
echo "passed; screenshots in $work/shots"

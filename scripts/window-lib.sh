# Driving the Linux window under a private X server (Xvfb), for the
# end-to-end test stage and the window benchmark. Needs lib.sh first, and
# $work, a scratch folder of the caller.

# Where the controls' middles are, in window pixels at 96 dots per inch
# (the window's twips / 15, page offset included).
pos_add_folder="192 19"
pos_delete_selected="173 50"
pos_start="333 19"
pos_quit="451 19"
pos_stop="434 24"
pos_first_row="40 12"

main_title='^Vexaro Ver 2\.8$'
box_title='^Vexaro$'
picker_title='^フォルダを選択してください$'

# Starts Xvfb on a free display and exports DISPLAY. The number is taken
# from a high range, away from the displays other programs of the machine
# are likely to use.
x_start() {
  n=$(( 300 + $$ % 500 ))
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    n=$((n + 1))
    [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ] || continue
    # -noreset: by default the server resets whenever its last client
    # leaves (the readiness probe below, or one program between two
    # tests), and a program that connects during the reset is dropped.
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp -noreset 2>"$work/xvfb.log" &
    x_pid=$!
    i=0
    while [ $i -lt 250 ] && kill -0 "$x_pid" 2>/dev/null; do
      # The socket exists a moment before the server listens on it: ready
      # once a client gets an answer.
      if [ -S "/tmp/.X11-unix/X$n" ] && xdpyinfo -display ":$n" >/dev/null 2>&1; then
        DISPLAY=:$n
        export DISPLAY
        return 0
      fi
      sleep 0.02
      i=$((i + 1))
    done
    kill "$x_pid" 2>/dev/null || true
  done
  echo "Xvfb did not start" >&2
  cat "$work/xvfb.log" >&2
  return 1
}

x_stop() {
  [ -z "${x_pid:-}" ] || kill "$x_pid" 2>/dev/null || true
  x_pid=
}

# At the script's end, or on a signal: the program, the X server and $work go.
x_clean_up_at_exit() {
  trap '[ -z "${vexaro_pid:-}" ] || kill "$vexaro_pid" 2>/dev/null || true; x_stop; rm -rf "$work"' EXIT
  trap "exit 1" INT TERM HUP
}

# Milliseconds since the epoch.
now_ms() { date +%s%3N; }

# within SECONDS COMMAND...: runs COMMAND every 10 ms until it succeeds;
# fails once SECONDS have passed.
within() {
  deadline=$(( $(now_ms) + $1 * 1000 ))
  shift
  until "$@"; do
    [ "$(now_ms)" -lt "$deadline" ] || return 1
    sleep 0.01
  done
}

# visible TITLE_REGEX: true while a window with that title shows; sets id.
visible() { id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) && [ -n "$id" ]; }
gone() { ! visible "$1"; }
# shown WINDOW: true while that very window is on screen.
shown() { xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable'; }
hidden() { ! shown "$1"; }
# ended PID: true once the process has exited (unreaped counts as exited).
ended() {
  state=$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null) || return 0
  [ -z "$state" ] || [ "$state" = Z ]
}

# wait_window TITLE_REGEX [SECONDS]: prints the id of a visible window with
# that title once there is one.
wait_window() {
  within "${2:-20}" visible "$1" || { echo "no window '$1'" >&2; return 1; }
  echo "$id"
}
# wait_gone TITLE_REGEX [SECONDS]: returns once no window with that title shows.
wait_gone() { within "${2:-20}" gone "$1" || { echo "window '$1' stays" >&2; return 1; }; }
# wait_hidden WINDOW [SECONDS]
wait_hidden() { within "${2:-20}" hidden "$1"; }
# wait_ended PID [SECONDS]
wait_ended() { within "${2:-10}" ended "$1" || { echo "process $1 keeps running" >&2; return 1; }; }

# click WINDOW "X Y"
click() {
  # shellcheck disable=SC2086
  xdotool mousemove --window "$1" $2 click 1
}

# shot WINDOW FILE: a screenshot of the window as it shows on screen.
shot() { import -window "$1" "$2"; }

# up_or_ended: true once the window shows (id set) or the program has ended.
up_or_ended() { visible "$main_title" || ended "$vexaro_pid"; }

# start_window [FOLDER...]: starts the window program, with those folders,
# as a child of this shell; sets vexaro_pid and win, the window's id. On a shared machine the X server
# has been seen to turn a client away now and then: a program that ends
# before its window shows is started again, twice at most.
start_window() {
  for attempt in 1 2 3; do
    kill -0 "$x_pid" 2>/dev/null || { echo "the X server has gone away" >&2; return 1; }
    "$vexaro" "$@" >>"$work/vexaro.log" 2>&1 &
    vexaro_pid=$!
    within 20 up_or_ended || { echo "no window '$main_title'" >&2; return 1; }
    if [ -n "$id" ]; then
      win=$id
      # A click that comes before the program has settled on its new
      # window may be lost.
      sleep 0.3
      return 0
    fi
    wait "$vexaro_pid" || true
    echo "the window program ended before its window showed (attempt $attempt); its last words:" >&2
    tail -n 5 "$work/vexaro.log" >&2
  done
  return 1
}

# add_folder WINDOW PATH: Add Folder, the path typed into the folder dialog.
add_folder() {
  # A click on a window that has only just come up may go unseen: again.
  for _ in 1 2 3 4 5; do
    click "$1" "$pos_add_folder"
    picker=$(wait_window "$picker_title" 3 2>/dev/null) && break
  done
  [ -n "$picker" ] || { echo "the folder dialog does not open" >&2; return 1; }
  # A busy machine has been seen to lose the typing or to fill the name
  # field over it from the folder it has just read: a round that leaves the
  # dialog open is tried again.
  for _ in 1 2 3; do
    xdotool windowfocus --sync "$picker" 2>/dev/null || true
    xdotool key ctrl+a BackSpace
    xdotool type --delay 2 "$2"
    sleep 0.3
    xdotool key ctrl+a BackSpace
    xdotool type --delay 2 "$2"
    # The completer's list may open on the typed path; Return in it only
    # takes the completion, so Return goes once more while the dialog stays.
    for _ in 1 2 3; do
      xdotool key Return
      # Clicks right after a modal dialog closes may still meet the window
      # as blocked: give it a moment.
      wait_gone "$picker_title" 1 2>/dev/null && sleep 0.3 && return 0
    done
  done
  shot "$picker" "${shots:-$work}/picker-failed.png" 2>/dev/null || true
  echo "the folder dialog did not take $2" >&2
  return 1
}

# drag WINDOW PATH...: drags PATH... with the mouse from a window of
# $drag_source onto the folder list of WINDOW, a real drag and drop between
# two programs; true when the drop was taken. The source serves the data
# for a while after the drop and then ends (source_pid).
drag() {
  target=$1
  shift
  "$drag_source" "$@" >"$work/drag.out" 2>&1 &
  source_pid=$!
  source=$(wait_window '^drag source$' 10) || return 1
  sleep 0.3
  xdotool mousemove --window "$source" 20 20 mousedown 1
  # Several moves, as a hand makes them: the target learns of the drag on
  # entering and follows it to the drop.
  for x in 200 120 60 40; do
    sleep 0.1
    # shellcheck disable=SC2086
    xdotool mousemove --window "$target" $x ${pos_first_row#* }
  done
  sleep 0.3
  xdotool mouseup 1
  within 10 grep -q -e accepted -e refused "$work/drag.out" 2>/dev/null
  grep -qx accepted "$work/drag.out"
}

# close_box: presses OK in the message box that shows. A key sent the moment
# the box has come up may go unseen: again, as long as the box is there.
close_box() {
  box=$(wait_window "$box_title") || return 1
  for _ in 1 2 3 4 5; do
    shown "$box" || break
    xdotool windowfocus --sync "$box" 2>/dev/null || break
    xdotool key Return
    wait_hidden "$box" 1 && break
  done
  wait_hidden "$box" 1 || { echo "the message box stays" >&2; return 1; }
  sleep 0.3
}

# The clipboard's text, as another program gets it.
read_clipboard() { xclip -o -selection clipboard; }

# clipboard_servers: the ids of the background processes that serve the
# clipboard after this $vexaro has ended, on this display.
clipboard_servers() {
  exe=$(readlink -f "$vexaro")
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/exe" 2>/dev/null)" = "$exe" ] || continue
    tr '\0' '\n' <"$p/cmdline" 2>/dev/null | grep -qx -- --serve-clipboard || continue
    tr '\0' '\n' <"$p/environ" 2>/dev/null | grep -qxF "DISPLAY=$DISPLAY" || continue
    echo "${p#/proc/}"
  done
}
no_clipboard_server() { [ -z "$(clipboard_servers)" ]; }

# take_clipboard TEXT: another program takes the clipboard. xclip stays in
# the background to serve it; it ends with the X server.
take_clipboard() { printf '%s' "$1" | xclip -i -selection clipboard >/dev/null 2>&1; }

# A listing with the moment of listing and the free space (which another
# program may change between two listings) put aside.
steady() { sed -e 's/^Date and Time : .*/Date and Time : */' -e 's/^Free Disk Space : .*/Free Disk Space : */' "$1"; }

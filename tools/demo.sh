#!/usr/bin/env bash
# The one-command demo: builds the launcher, serves the sample configuration and
# terminals from a local download server, and runs the launcher against it.
#
#   tools/demo.sh
#
# - Download server: http://127.0.0.1:8765/ serving build/demo/server (Python's
#   http.server); its log is build/demo/server.log.
# - Client: build/demo-client/ (made afresh on every run) holds a copy of
#   ruv_virad.exe; the terminals it fetches land below it (terminale/...), and its
#   per-user copy of the configuration under build/demo-client/home/.config, so
#   your own ~/.config is untouched.
# - Display: yours when DISPLAY is set (the demo ends when you close the
#   launcher); otherwise a private Xvfb with the openbox window manager (when it
#   is installed), where the demo clicks the first terminal button, answers the
#   launcher's question with OK, takes screenshots, ends the terminal it started
#   and ends; it fails when the launcher's output shows that a program lost its
#   X connection.
# - Screenshots: build/demo/launcher.png (the launcher's window in its frame);
#   under Xvfb also build/demo/question.png and build/demo/terminal.png (the
#   whole screen).
# Ctrl-C stops everything the demo started.
set -euo pipefail

src=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$src/build
work=$build/demo
server_root=$work/server
client=$build/demo-client
port=8765

say() { printf 'demo: %s\n' "$*"; }
die() { printf 'demo: %s\n' "$*" >&2; exit 1; }

server_pid="" xvfb_pid="" wm_pid="" launcher_pid="" client_dir=""

# The sample terminals started from the client directory: the processes whose
# program lies below it.
terminal_pids() {
  local proc exe
  [ -n "$client_dir" ] || return 0
  for proc in /proc/[0-9]*; do
    exe=$(readlink "$proc/exe" 2>/dev/null) || continue
    case $exe in "$client_dir"/terminale/*) echo "${proc#/proc/}" ;; esac
  done
}
# Ends the given processes, which are not this shell's children: SIGTERM, then up
# to 5 s for them to go (a process that has ended has no program any more), then
# SIGKILL for those still there.
end_processes() {
  local pid left _
  [ $# -gt 0 ] || return 0
  kill "$@" 2>/dev/null || true
  for _ in $(seq 50); do
    left=""
    for pid; do readlink "/proc/$pid/exe" >/dev/null 2>&1 && left="$left $pid"; done
    [ -z "$left" ] && return 0
    sleep 0.1
  done
  # shellcheck disable=SC2086  # one process id a word
  kill -KILL $left 2>/dev/null || true
}
# Stops what the demo started. The programs on the demo's own X server end before
# it does, so that none of them loses its connection; terminals on your own
# display stay open.
stop_all() {
  local pid
  for pid in $launcher_pid; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
  if [ -n "$xvfb_pid" ]; then
    # shellcheck disable=SC2046  # one process id a word
    end_processes $(terminal_pids)
  fi
  for pid in $wm_pid $xvfb_pid $server_pid; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
  launcher_pid="" wm_pid="" xvfb_pid="" server_pid=""
}
trap stop_all EXIT
trap 'exit 130' INT TERM

# --- build ------------------------------------------------------------------
"$src/tools/install-deps.sh"
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRUV_WITH_GUI=ON \
  -DRUV_URL_TEMPLATES="http://127.0.0.1:$port/%s" >/dev/null
cmake --build "$build" --target ruv_virad demo_server
launcher=$(cat "$work/launcher-path" 2>/dev/null) || die "the build has no launcher executable"

# --- download server ----------------------------------------------------------
python3 - "$port" 2>/dev/null <<'EOF' || die "port $port on 127.0.0.1 is taken; stop what listens there and run the demo again"
import socket, sys
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1])))
EOF
python3 -m http.server --bind 127.0.0.1 "$port" --directory "$server_root" >"$work/server.log" 2>&1 &
server_pid=$!
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost
for _ in $(seq 50); do
  curl -sf -o /dev/null "http://127.0.0.1:$port/ruv_virad_2.xml" && break
  kill -0 "$server_pid" 2>/dev/null || die "the download server did not start: $(cat "$work/server.log")"
  sleep 0.2
done
say "download server: http://127.0.0.1:$port/ serving $server_root"

# --- display ------------------------------------------------------------------
own_display=${DISPLAY:-}
if [ -z "$own_display" ]; then
  : >"$work/xvfb.display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/xvfb.display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 50); do
    [ -s "$work/xvfb.display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || die "Xvfb did not start: $(cat "$work/xvfb.log")"
    sleep 0.2
  done
  [ -s "$work/xvfb.display" ] || die "Xvfb did not report its display"
  export DISPLAY=":$(head -n1 "$work/xvfb.display")"
  say "no DISPLAY: running on Xvfb $DISPLAY"
  # A window manager, so that windows get frames with captions as on a desktop. Its
  # home is its own: no user's configuration or autostart is read.
  if command -v openbox >/dev/null; then
    rm -rf "$work/openbox"
    mkdir -p "$work/openbox"
    HOME="$work/openbox" XDG_CONFIG_HOME="$work/openbox" XDG_CACHE_HOME="$work/openbox" \
      XDG_DATA_HOME="$work/openbox" openbox --sm-disable >"$work/openbox.log" 2>&1 &
    wm_pid=$!
    for _ in $(seq 50); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
      kill -0 "$wm_pid" 2>/dev/null || die "openbox did not start: $(cat "$work/openbox.log")"
      sleep 0.2
    done
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || die "openbox did not take the display"
    sleep 0.5  # it drops the first map requests while it sets itself up
    say "window manager: openbox"
  else
    say "openbox is not installed: windows have no frames (tools/install-deps.sh installs it)"
  fi
fi

# The id of a shown top-level window whose title begins with $1, if there is one.
find_window() {
  local id
  for id in $(xwininfo -root -tree 2>/dev/null | grep -F "\"$1" | awk '{print $1}'); do
    xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && { echo "$id"; return 0; }
  done
  return 1
}
# Waits up to $2 seconds for find_window $1 while the launcher runs.
wait_for_window() {
  local i
  for i in $(seq $(($2 * 5))); do
    find_window "$1" && return 0
    kill -0 "$launcher_pid" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}
# Root coordinates of a window's point at $2, $3 from its top left corner.
window_point() {
  local info x y
  info=$(xwininfo -id "$1")
  x=$(awk '/Absolute upper-left X/ {print $NF}' <<<"$info")
  y=$(awk '/Absolute upper-left Y/ {print $NF}' <<<"$info")
  echo "$((x + $2)) $((y + $3))"
}
screenshot() {
  import -window "$1" "$2" && say "screenshot: $2"
}
# The window on the root that holds window $1: the window manager's frame, or $1
# itself when there is none.
frame_of() {
  local id=$1 parent root
  root=$(xwininfo -root | awk '/Window id:/ {print $4}')
  while parent=$(xwininfo -children -id "$id" | awk '/Parent window id:/ {print $4}') &&
    [ -n "$parent" ] && [ "$parent" != "$root" ]; do
    id=$parent
  done
  echo "$id"
}

# --- client -------------------------------------------------------------------
rm -rf "$client" "$work"/*.png
mkdir -p "$client/home/.config"
client_dir=$(cd "$client" && pwd -P)
cp "$launcher" "$client/ruv_virad.exe"
export XAUTHORITY=${XAUTHORITY:-$HOME/.Xauthority}  # the display's key, before HOME moves
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  export XDG_RUNTIME_DIR=$client/runtime
  mkdir -m 700 "$XDG_RUNTIME_DIR"
fi
(cd "$client" && HOME="$client/home" XDG_CONFIG_HOME="$client/home/.config" QT_QPA_PLATFORM=xcb \
  exec ./ruv_virad.exe >"$work/launcher.log" 2>&1) &
launcher_pid=$!
say "launcher: $client/ruv_virad.exe (its output in $work/launcher.log)"

title="Programy systemu RUV"
if ! window=$(wait_for_window "$title" 30); then
  screenshot root "$work/launcher.png" || true
  die "the launcher window did not appear; see $work/launcher.log and the screenshot"
fi
say "launcher window: $(xwininfo -id "$window" | sed -n 's/^xwininfo: Window id: [^ ]* //p')"
if [ -n "$own_display" ]; then
  sleep 1  # let the buttons paint
  screenshot "$(frame_of "$window")" "$work/launcher.png"
  say "the demo ends with the launcher: close it, or start a terminal from it"
  wait "$launcher_pid" || true
  launcher_pid=""
  exit 0
fi

python3 "$src/tools/demo/fake_input.py" move 0 0  # no button under the pointer
sleep 1                                            # let the buttons paint
screenshot "$(frame_of "$window")" "$work/launcher.png"
# Launch the first terminal: click its button (margin 10, top margin 40, 300 x 40
# as the sample configuration lays them out), answer the question about a newer
# version with OK, and wait for the terminal's window.
read -r x y < <(window_point "$window" 160 60)
python3 "$src/tools/demo/fake_input.py" click "$x" "$y"
terminal=""
for _ in $(seq 100); do
  if box=$(find_window "Komunikat"); then
    [ -e "$work/question.png" ] || screenshot root "$work/question.png"
    read -r x y < <(window_point "$box" 20 20)
    python3 "$src/tools/demo/fake_input.py" key "$x" "$y" Return
  fi
  terminal=$(find_window "Kadry") && break
  sleep 0.2
done
sleep 1
screenshot root "$work/terminal.png"
if [ -n "$terminal" ]; then
  say "the terminal recorded its start in $client/terminale/kadry/terminal.log:"
  cat "$client/terminale/kadry/terminal.log"
else
  say "no terminal window appeared; see the screenshot and $work/launcher.log"
fi
say "files the launcher fetched:"
(cd "$client" && find terminale -type f ! -name terminal.log 2>/dev/null | sort | sed 's/^/  /')

# The terminal and the launcher end before the X server does, so no program
# should have lost its connection.
stop_all
if grep -n "X11 connection broke" "$work/launcher.log" >&2; then
  die "a program lost its X connection (above, from $work/launcher.log)"
fi
say "the terminal, the launcher and the X server ended in turn"

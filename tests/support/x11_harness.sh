# What the shell tests on a private X display share: their checks and the
# count of them, a display of their own, and finding a window on it.
# Sourced, after the test has made $work (a scratch folder) and the array
# pids (what its cleanup ends, by PID).

passed=0
failed=0
check() { # check "what" command...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; passed=$((passed + 1)); else echo "FAILED: $what"; failed=$((failed + 1)); fi
}

# Starts Xvfb on a display number it picks itself (-displayfd), with openbox
# as the window manager when it is installed, and points DISPLAY at it.
# Sets xvfb to the server's PID.
start_display() {
  rm -f "$work/display"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3> "$work/display" > /dev/null 2>&1 &
  xvfb=$!
  pids+=($xvfb)
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
  export DISPLAY=":$(cat "$work/display")"
  if command -v openbox > /dev/null; then
    openbox > /dev/null 2>&1 &
    pids+=($!)
    sleep 0.5
  fi
}

# Sets window to the first window whose title matches, or to "" (and fails)
# when none shows within five seconds.
wait_for_window() { # wait_for_window title-regex
  window=""
  for _ in $(seq 100); do
    window=$(xdotool search --name "$1" 2> /dev/null | head -1)
    [ -n "$window" ] && return 0
    sleep 0.05
  done
  return 1
}

# Sets X and Y to where a window's client area starts on the screen; 0, 0
# without a window (xwininfo without one would wait for a click).
window_origin() { # window_origin window
  local info=""
  [ -n "$1" ] && info=$(xwininfo -id "$1" 2> /dev/null)
  X=$(sed -n 's/.*Absolute upper-left X: *//p' <<< "$info")
  Y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<< "$info")
  X=${X:-0}
  Y=${Y:-0}
}

# Presses the left button on huevane's target icon, whose frame lies at about
# (218..251, 176..209) of the client area: the start of a sampling drag.
# Needs X and Y from window_origin.
press_target() { xdotool mousemove $((X + 234)) $((Y + 192)) mousedown 1; sleep 0.1; }

# A whole sampling drag: the press on the target, a pause at each screen
# point in turn, and the release at the last one.
drag_from_target() { # drag_from_target "x y" ...
  press_target
  for point in "$@"; do xdotool mousemove $point; sleep 0.1; done
  xdotool mouseup 1
}

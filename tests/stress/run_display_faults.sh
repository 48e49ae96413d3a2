#!/usr/bin/env bash
# The display going away under the real huevane executable: the X server
# killed by its pid while idle, in the middle of a drag (the pointer grabbed,
# the button down) and while the colour dialog is up; and a client window
# destroyed while huevane samples over it. Each time huevane must end (or go
# on) without a crash: exit code 0, within a few seconds, no core, no
# sanitizer report, and the colour added before is in the settings file.
# Usage: run_display_faults.sh path/to/huevane path/to/colour_window
# Prints one line per check and a closing "N passed, N failed" line.
set -u
huevane=$(realpath "$1")
colour_window=$(realpath "$2")
for tool in Xvfb xdotool xwininfo; do
  command -v "$tool" > /dev/null || { echo "skipped: $tool is missing"; exit 0; }
done

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2> /dev/null; done
  wait 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" TERM INT

source "$(dirname "$0")/../support/x11_harness.sh"

kill_display() {
  { kill -KILL "$xvfb"; wait "$xvfb"; } 2> /dev/null
}

# Starts huevane in a folder of its own (settings, output, any core) and
# finds its window's client origin, X and Y.
start_huevane() { # start_huevane case
  case_dir="$work/$1"
  mkdir -p "$case_dir"
  (cd "$case_dir" && ulimit -c unlimited 2> /dev/null
   exec env XDG_CONFIG_HOME="$case_dir/config" "$huevane" > "$case_dir/out" 2>&1) &
  app=$!
  pids+=($app)
  wait_for_window '^Korvell Software - Huevane 1\.0$'
  sleep 0.3
  window_origin "$window"
}

# Client-area points of the main window (dialog units times 1.5 across and
# 1.625 down): the target frame, the colour box, and the Add button.
colour_box() { echo $((X + 234)) $((Y + 144)); }
add_button() { echo $((X + 114)) $((Y + 200)); }

# Samples a #563412 window and adds it to the custom colours; stored as
# "0"=dword:00123456.
add_sampled_colour() {
  "$colour_window" 563412 20 20 120 120 &
  local sample=$!
  pids+=($sample)
  sleep 0.3
  drag_from_target "60 60" "80 80"
  sleep 0.2
  xdotool mousemove $(add_button) click 1
  sleep 0.3
  { kill -KILL "$sample"; wait "$sample"; } 2> /dev/null
}

# Waits up to five seconds for huevane to end; code is its exit code, or
# "hung" (and it is killed) when it did not end.
wait_for_end() {
  code=hung
  for _ in $(seq 100); do kill -0 "$app" 2> /dev/null || break; sleep 0.05; done
  if kill -0 "$app" 2> /dev/null; then
    kill -KILL "$app"
    wait "$app" 2> /dev/null
  else
    wait "$app"; code=$?
  fi
}

no_crash_signs() {
  ! ls "$case_dir" | grep -q '^core' &&
    ! grep -qE 'AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|runtime error:' "$case_dir/out"
}

colour_saved() { grep -qi '"0"=dword:00123456' "$case_dir/config/huevane/registry.reg" 2> /dev/null; }

expect_clean_end() { # expect_clean_end "when"
  wait_for_end
  check "$1: huevane ends within 5 s with exit code 0 (got $code)" test "$code" = 0
  check "$1: no core, no sanitizer report" no_crash_signs
  check "$1: the colour added before is in the settings file" colour_saved
  [ "$code" = 0 ] && [ "$failed" -eq 0 ] || sed 's/^/  huevane: /' "$case_dir/out"
}

# ---- the X server killed while huevane is idle
start_display
start_huevane idle
check "idle: the window is found" test -n "$window"
add_sampled_colour
kill_display
expect_clean_end "idle"

# ---- the X server killed in the middle of a drag (grab held, button down)
start_display
start_huevane drag
check "drag: the window is found" test -n "$window"
add_sampled_colour
press_target
for point in "300 300" "320 310" "340 320"; do xdotool mousemove $point; sleep 0.05; done
kill_display
expect_clean_end "drag"

# ---- the X server killed while the colour dialog is up
start_display
start_huevane dialog
check "dialog: the window is found" test -n "$window"
add_sampled_colour
xdotool mousemove $(colour_box) click 1
dialog=""
for _ in $(seq 60); do
  dialog=$(xdotool search --name '^Color$' 2> /dev/null | head -1)
  [ -n "$dialog" ] && break
  sleep 0.05
done
check "dialog: a click on the colour box opens the colour dialog" test -n "$dialog"
kill_display
expect_clean_end "dialog"

# ---- a client window destroyed while huevane samples over it: the X errors
# that follow are tolerated, huevane goes on and ends normally afterwards.
start_display
start_huevane vanishing
check "vanishing window: the window is found" test -n "$window"
add_sampled_colour
"$colour_window" 0a0b0c 400 400 200 200 &
client=$!
pids+=($client)
sleep 0.3
press_target
xdotool mousemove 450 450
sleep 0.1
{ kill -KILL "$client"; wait "$client"; } 2> /dev/null
for point in "455 455" "470 470" "500 500" "650 650"; do xdotool mousemove $point; sleep 0.05; done
xdotool mouseup 1
sleep 0.3
check "vanishing window: huevane is still running" kill -0 "$app"
check "vanishing window: its window is still there" bash -c 'xwininfo -id "$1" > /dev/null 2>&1' _ "$window"
kill -TERM "$app"
expect_clean_end "vanishing window"
kill_display

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

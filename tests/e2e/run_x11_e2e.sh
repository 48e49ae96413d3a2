#!/usr/bin/env bash
# End-to-end: the real huevane executable on a private Xvfb with openbox.
# Usage: run_x11_e2e.sh huevane [colour_window [screen_probe source_dir]]
# Prints one line per check and a closing "N passed, N failed" line.
set -u
huevane=$1
colour_window=${2:-}
probe=${3:-}
source_dir=${4:-}
command -v Xvfb > /dev/null && command -v xdotool > /dev/null && command -v xprop > /dev/null || {
  echo "skipped: Xvfb, xdotool or xprop missing"; exit 0; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null; done
  wait 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "$0")/../support/x11_harness.sh"
start_display

start_huevane() {
  XDG_CONFIG_HOME="$work/config" "$huevane" > "$work/out" 2>&1 &
  app=$!
  wait_for_window '^Korvell Software - Huevane 1\.0$'
  sleep 0.3
}

start_huevane
check "the window is found by its title" test -n "$window"
props=$(xprop -id "$window" 2> /dev/null)
check "WM_CLASS is huevane, Huevane" grep -q 'WM_CLASS(STRING) = "huevane", "Huevane"' <<< "$props"
check "the window is always on top" grep -q '_NET_WM_STATE_ABOVE' <<< "$props"
check "the window has an icon" grep -q '_NET_WM_ICON(CARDINAL)' <<< "$props"
check "min and max size are equal (fixed size)" bash -c '
  min=$(grep -o "program specified minimum size: [0-9]* by [0-9]*" <<< "$1" | grep -o "[0-9]* by [0-9]*")
  max=$(grep -o "program specified maximum size: [0-9]* by [0-9]*" <<< "$1" | grep -o "[0-9]* by [0-9]*")
  [ -n "$min" ] && [ "$min" = "$max" ]' _ "$props"
check "the pid is announced" grep -q "_NET_WM_PID(CARDINAL) = $app" <<< "$props"
geometry=$(xdotool getwindowgeometry "$window")
width=$(grep -o 'Geometry: [0-9]*' <<< "$geometry" | grep -o '[0-9]*')
check "the window is about 405 pixels wide with its frame ($width client)" test "${width:-0}" -ge 395 -a "${width:-0}" -le 405

# What it shows: the banner at the top of the client area, the white
# background and the white colour box (client 216..252 x 128..161).
window_origin "$window"
if [ -n "$probe" ] && command -v python3 > /dev/null; then
  banner_points=(5 5 30 30 200 40 390 55)
  expected=$(python3 "$source_dir/tools/bmp_pixel.py" "$source_dir/res/toplogo.bmp" "${banner_points[@]}")
  on_screen=()
  for ((i = 0; i < ${#banner_points[@]}; i += 2)); do
    on_screen+=($((X + banner_points[i])) $((Y + banner_points[i + 1])))
  done
  shown=$("$probe" "${on_screen[@]}")
  check "the banner is drawn at the top of the client area" test "$shown" = "$expected"
  shown=$("$probe" $((X + 20)) $((Y + 240)) $((X + 200)) $((Y + 235)) $((X + 234)) $((Y + 145)) | tr '\n' ' ')
  check "the background and the colour box are white (got $shown)" test "$shown" = "FFFFFF FFFFFF FFFFFF "
fi

# The focus starts on the HTML code field, which holds #FFFFFF: Ctrl+C copies it.
xdotool windowactivate --sync "$window" > /dev/null 2>&1
xdotool key --window "$window" ctrl+a ctrl+c
sleep 0.3
if command -v xclip > /dev/null; then
  clip=$(timeout 5 xclip -o -selection clipboard 2> /dev/null)
  check "Ctrl+C in the HTML field puts #FFFFFF on the clipboard (got '$clip')" test "$clip" = "#FFFFFF"
fi

# The red, green and blue readout (client 76..105 x 128..182) as it is
# before any drag, for comparing with what a drag shows.
readout() { "$probe" --area $((X + 76)) $((Y + 128)) 30 55; }
box() { "$probe" $((X + 234)) $((Y + 145)); }
[ -n "$probe" ] && white_readout=$(readout)

# Sampling: press on the target, drag over a window of a known colour, release.
if [ -n "$colour_window" ]; then
  "$colour_window" 563412 20 20 120 120 &
  pids+=($!)
  sleep 0.3
  drag_from_target "60 60" "80 80"
  sleep 0.3
  xdotool windowactivate --sync "$window" > /dev/null 2>&1
  xdotool key --window "$window" Tab Tab Tab Tab Tab ctrl+a ctrl+c
  sleep 0.3
  clip=$(timeout 5 xclip -o -selection clipboard 2> /dev/null)
  check "a drag over a #563412 window reads #563412 (got '$clip')" test "$clip" = "#563412"
  if [ -n "$probe" ]; then
    brown_readout=$(readout)
    check "the colour box shows #563412 after the drag (got $(box))" test "$(box)" = 563412
    check "the readout shows new numbers (was $white_readout, now $brown_readout)" \
      bash -c '[ "$1" != "$2" ] && [ "${2#* }" -gt 0 ]' _ "$white_readout" "$brown_readout"

    # Live during a drag: over another colour the box and the numbers follow
    # it; back over the first they are the same pixels as before.
    "$colour_window" 2468AC 160 20 120 120 &
    pids+=($!)
    sleep 0.3
    press_target
    xdotool mousemove 200 60
    sleep 0.3
    blue_box=$(box); blue_readout=$(readout)
    check "mid-drag over #2468AC the colour box follows (got $blue_box)" test "$blue_box" = 2468AC
    check "mid-drag over #2468AC the numbers change" test "$blue_readout" != "$brown_readout"
    xdotool mousemove 70 70
    sleep 0.3
    check "back over #563412 the box and the numbers are as before" \
      test "$(box) $(readout)" = "563412 $brown_readout"
    xdotool mouseup 1
    sleep 0.2
  fi

  # The field's right-click menu, on a clipboard that holds something else:
  # Select All, then Copy, each by its mnemonic. The field lies at client
  # 111..193 x 154..173.
  printf 'other' | xclip -selection clipboard -quiet > /dev/null 2>&1 &
  pids+=($!)
  sleep 0.2
  xdotool mousemove $((X + 120)) $((Y + 164)) click 1
  sleep 0.1
  xdotool click 3
  sleep 0.3
  if [ -n "$probe" ]; then
    menu_face=$("$probe" $((X + 128)) $((Y + 164 + 40)))
    check "a right click on the field opens its menu (face $menu_face)" test "$menu_face" = "F0F0F0"
  fi
  xdotool key a
  sleep 0.2
  xdotool click 3
  sleep 0.3
  xdotool key c
  sleep 0.3
  clip=$(timeout 5 xclip -o -selection clipboard 2> /dev/null)
  check "Select All and Copy from the right-click menu copy the code (got '$clip')" test "$clip" = "#563412"
  # "&Add to Custom Colours" (client 32..120 x 116..130 dialog units), then closing stores it.
  xdotool mousemove $((X + 114)) $((Y + 200)) click 1
  sleep 0.3
  added=1
fi

# Alt+F4 goes through the window manager's close request.
xdotool key --window "$window" alt+F4
for _ in $(seq 100); do kill -0 "$app" 2> /dev/null || break; sleep 0.05; done
wait "$app"; code=$?
check "closing through the window manager exits with 0 (got $code)" test "$code" -eq 0
if [ -n "${added:-}" ]; then
  check "the added colour is in the settings file" grep -qi '"0"=dword:00123456' "$work/config/huevane/registry.reg"
fi

# The keyboard moves the focus: Tab from the HTML code field reaches Exit,
# and Space presses it.
start_huevane
xdotool windowactivate --sync "$window" > /dev/null 2>&1
xdotool key --window "$window" Tab space
for _ in $(seq 100); do kill -0 "$app" 2> /dev/null || break; sleep 0.05; done
if kill -0 "$app" 2> /dev/null; then kill "$app"; fi
wait "$app"; code=$?
check "Tab to Exit and Space end it with 0 (got $code)" test "$code" -eq 0

# SIGTERM ends it cleanly too.
start_huevane
kill -TERM "$app"
wait "$app"; code=$?
check "SIGTERM exits with 0 (got $code)" test "$code" -eq 0

# No display: a clear one-line message and a failure code.
out=$(env -u DISPLAY "$huevane" 2>&1); code=$?
check "without DISPLAY it fails with a clear message ($out)" bash -c '[ "$1" -ne 0 ] && grep -q "cannot open display" <<< "$2"' _ "$code" "$out"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

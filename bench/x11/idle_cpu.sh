#!/usr/bin/env bash
# CPU time huevane uses while idle on a private Xvfb: it should be zero but
# for the 30-second tip timer. Usage: idle_cpu.sh path/to/huevane [seconds]
set -u
huevane=$1
seconds=${2:-60}
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"' EXIT
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp > /dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"
XDG_CONFIG_HOME="$work/config" "$huevane" &
app=$!
pids+=($app)
sleep 2
ticks() { awk '{print $14 + $15}' "/proc/$app/stat"; }
before=$(ticks)
sleep "$seconds"
after=$(ticks)
hz=$(getconf CLK_TCK)
echo "idle CPU over ${seconds} s: $(( (after - before) * 1000 / hz )) ms"

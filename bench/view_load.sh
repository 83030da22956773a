#!/bin/bash
# The player's CPU share in each view: zindle plays each MODULE in a window
# under Xvfb, its sound going to SDL's disk driver at the pace of real time,
# and is measured for SECONDS in each of views 1, 2 and 4 (after a second to
# settle), then with the screen off (Home): CPU time (from the scheduler's
# count in /proc) over wall-clock time, in percent of one core. A MOD beside an XM
# shows what libxmp's engine and its description cost the views. Below each,
# `xmp` playing the same module with no window, measured as long: the least a
# player of that module can take. xmp has no sound card here: it writes to a
# pipe drained as the disk driver drains the player, 1024 frames every
# 1024/48000 s, so that it wakes as often as with a device (drained in
# bursts, as pv -L does, it would wake five times less often).
# Usage: bench/view_load.sh [BUILD] MODULE...   (BUILD default build)
# Environment: SECONDS_PER_VIEW (default 10); ZINDLE_OPTIONS, the player's
# options (--fullscreen: the 640x480 screen at scale 2). Needs xvfb, xdotool,
# xmp and python3.
set -euo pipefail
build=build
if [ $# -gt 0 ] && [ -d "$1" ]; then build=$1; shift; fi
build=$(realpath "$build")
per_view=${SECONDS_PER_VIEW:-10}
read -r -a options <<<"${ZINDLE_OPTIONS:-}"
player=$(realpath "$build/zindle")
for tool in Xvfb xdotool xmp python3; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is missing" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb=""
pid=""
peer=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  [ -n "$peer" ] && kill "$peer" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
. "$(dirname "$0")/../scripts/xvfb.sh"
xvfb_start "$work"

# CPU seconds the process has used so far, every thread's, to the
# nanosecond (the scheduler's own count: /proc/PID/stat's clock ticks are
# too coarse for shares under 1 %).
cpu_of() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ ns += $1 } END { printf "%.9f\n", ns / 1e9 }'; }
now() { date +%s.%N; }
# The share of a core process pid takes over the next per_view seconds.
share_of() {
  local c0 t0 c1 t1
  c0=$(cpu_of "$1"); t0=$(now)
  sleep "$per_view"
  c1=$(cpu_of "$1"); t1=$(now)
  awk -v a="$c0" -v b="$c1" -v s="$t0" -v e="$t1" 'BEGIN { printf "%.2f %%", 100 * (b - a) / (e - s) }'
}
# Reads standard input as a sound card reads its buffer: 1024 frames of
# 16-bit stereo every 1024/48000 s, on the clock.
drain_as_a_device() {
  python3 -c '
import sys, time
period, block = 1024 / 48000, 1024 * 4
due = time.monotonic()
while sys.stdin.buffer.read(block):
    due += period
    time.sleep(max(0.0, due - time.monotonic()))
'
}

echo "| module | player | view 1 | view 2 | view 4 | screen off |"
echo "|---|---|---:|---:|---:|---:|"
for module in "$@"; do
  module=$(realpath "$module")
  (cd "$work" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null SDL_DISKAUDIODELAY=21 exec "$player" "${options[@]}" "$module") \
    >"$work/player.log" 2>&1 </dev/null &
  pid=$!
  window=""
  for _ in $(seq 300); do
    window=$(xdotool search --name '^Zindle SDL$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "$0: no window" >&2; head -c 2000 "$work/player.log" | grep -a -v caca >&2; exit 1; }
  xdotool windowfocus --sync "$window"
  engine=$("$build/render/zindle-render" --json "$module" | grep -q '"engine":"libxmp"' && echo libxmp || echo zindle)
  row="| $(basename "$module") | zindle ($engine)"
  for key in Control_L Shift_L Alt_L Home; do
    xdotool key "$key"
    sleep 1
    row="$row | $(share_of "$pid")"
  done
  echo "$row |"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=""
  # xmp loops the module so that it plays for as long as the measure.
  xmp -q -l -o - "$module" 2>/dev/null | drain_as_a_device &
  drain=$!
  sleep 1
  peer=$(pgrep -n -x xmp)
  echo "| $(basename "$module") | xmp, no window | | | | $(share_of "$peer") |"
  kill "$peer" 2>/dev/null || true
  wait "$drain" 2>/dev/null || true
  peer=""
done

#!/bin/sh
# Takes the README's pictures: the demo module (or the module or folder
# given) playing in a window under Xvfb, one PNG per view and one of the
# module list, written to docs/ (with -SUFFIX after the name when a suffix
# is given). Needs xvfb, xdotool,
# x11-apps and imagemagick. BUILD names the build folder (build).
# Usage: scripts/screenshots.sh [module.mod|FOLDER [SUFFIX]]
# With the suffix "status" (a folder, say of the demo and trackers.xm) it
# takes the paused views with the status line instead: status-view1.png,
# status-view2.png and status-view4.png.
# With the suffix "fullscreen" it takes the whole 640x480 screen of the player
# in full screen, at scale 2: fullscreen-640x480.png.
# The 8-channel pictures: scripts/screenshots.sh ch8.mod 8ch, with ch8.mod
# written by `zindle-make-modules formats DIR` (tools/format_modules.cpp).
set -e
cd "$(dirname "$0")/.."
build=${BUILD:-build}
module=$(realpath "${1:-$build/demo.mod}")
player=$(realpath "$build/zindle")
out=$(pwd)/docs
suffix=${2:+-$2}
for tool in Xvfb xdotool xwd convert; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is missing" >&2; exit 1; }
done
mkdir -p "$out"

work=$(mktemp -d)
xvfb=""
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

. scripts/xvfb.sh
xvfb_start "$work"
full=""
[ "$suffix" = "-fullscreen" ] && full=1

# No background picture in the working folder: the views stand on black; no
# settings or state of the home's.
(cd "$work" && XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config" \
  SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null SDL_DISKAUDIODELAY=20 exec "$player" ${full:+--fullscreen} "$module") &
pid=$!
window=""
for _ in $(seq 100); do
  window=$(xdotool search --name '^Zindle SDL$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "$0: no window" >&2; exit 1; }
xdotool windowfocus --sync "$window"

shot() {
  xwd -silent -id "$window" | convert xwd:- "png:$out/$1"
  echo "wrote docs/$1"
}
if [ "$suffix" = "-status" ]; then
  sleep 4
  xdotool key p
  sleep 1
  shot status-view1.png
  # The meters rise while view 2 shows: let them, then pause again.
  xdotool key p Shift_L
  sleep 1.5
  xdotool key p
  sleep 1
  shot status-view2.png
  xdotool key Alt_L
  sleep 1
  shot status-view4.png
  xdotool key Escape
  wait "$pid"
  exit 0
fi
if [ -n "$full" ]; then
  sleep 3
  xwd -silent -root | convert xwd:- "png:$out/fullscreen-640x480.png"
  echo "wrote docs/fullscreen-640x480.png"
  xdotool key Escape
  wait "$pid"
  exit 0
fi
sleep 3
shot view1-pattern$suffix.png
xdotool key Shift_L
sleep 1.5
shot view2-meters$suffix.png
xdotool key Alt_L
sleep 1
shot view4-scopes$suffix.png
xdotool key Return
sleep 2
shot list$suffix.png
xdotool key Escape
sleep 0.5
xdotool key Escape
wait "$pid"
pid=""

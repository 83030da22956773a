#!/bin/sh
# Includes run downhill: app/ and render/ at the top, then display/, player/,
# audio/ and platform/ at the bottom. A file may include its own room and
# any room below it; tools/ writes modules for everyone and includes neither
# the tests' nor the benchmarks' files. Prints every include that runs
# uphill, and fails when there is one.
set -eu
cd "$(dirname "$0")/.."
# The rooms a file in each room may include from.
allowed() {
  case $1 in
    app) echo "app display player audio platform" ;;
    render) echo "render display player audio platform" ;;
    display) echo "display player audio platform" ;;
    player) echo "player audio platform" ;;
    audio) echo "audio platform" ;;
    platform) echo "platform" ;;
    tools) echo "tools player audio platform" ;;
  esac
}
status=0
for room in app render display player audio platform tools; do
  ok=$(allowed $room)
  for file in $room/*.h $room/*.cpp; do
    [ -e "$file" ] || continue
    for target in $(sed -n 's|^#include "\([a-z_]*\)/.*"|\1|p' "$file"); do
      case " $ok " in
        *" $target "*) ;;
        *) echo "$file includes from $target/, a room above it or beside it"; status=1 ;;
      esac
    done
  done
done
# The seam names neither engine.
if grep -n '#include "player/\(protracker_\|xmp_\)' player/engine.h; then
  echo "player/engine.h includes an engine"; status=1
fi
exit $status

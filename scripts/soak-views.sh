#!/bin/sh
# Plays a generated module in a window under Xvfb for a minute (or
# ZINDLE_SOAK_SECONDS) while xdotool switches views ten times a second, and
# checks every screenshot taken meanwhile; pictures that fail are kept as
# soak-bad*.ppm in the build folder. Usage: scripts/soak-views.sh [build-dir]
set -e
build=${1:-${BUILD:-build}}
cd "$(dirname "$0")/.."
cmake -S . -B "$build" >/dev/null
cmake --build "$build" --target zindle_soak -j 2
cd "$build"
exec ./tests/zindle_soak

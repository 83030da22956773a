#!/bin/sh
# Plays a folder of generated modules in a window under Xvfb for a minute (or
# ZINDLE_SOAK_SECONDS) while xdotool switches modules ten times a second and
# views now and then, and checks every screenshot taken meanwhile; pictures
# that fail are kept as soak-folder-bad*.ppm in the build folder.
# Usage: scripts/soak-folder.sh [build-dir]
set -e
build=${1:-${BUILD:-build}}
cd "$(dirname "$0")/.."
cmake -S . -B "$build" >/dev/null
cmake --build "$build" --target zindle_soak_folder -j 2
cd "$build"
exec ./tests/zindle_soak_folder

#!/bin/bash
# Instruction counts, which unlike times don't change with the machine's load
# (run by `make bench-callgrind`). Each measurement runs one fixed-work mode
# of zindle-callgrind-driver under `valgrind --tool=callgrind`, collecting
# only inside that mode's cg_* function, and divides the count by the work
# done: instructions per output frame for whole renders, per voice-frame for
# the mixer, per call for the views (with the plain background copy beside
# drawPattern, the floor under it).
#
# Usage: bench/callgrind.sh [BUILD_DIR]   (default build-bench)
set -euo pipefail

cd "$(dirname "$0")/.."
build=${1:-build-bench}
jobs=${JOBS:-2}

./scripts/install-deps.sh valgrind
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZINDLE_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target zindle-callgrind-driver zindle-make-modules demo_module >/dev/null

driver="$build/bench/zindle-callgrind-driver"
modules_dir="$build/bench-modules"
mkdir -p "$modules_dir"
"$build/tools/zindle-make-modules" bench "$modules_dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# count MODE ARGS...: prints "<instructions> <units>".
count() {
  local mode=$1
  shift
  local units
  units=$(valgrind --tool=callgrind --callgrind-out-file="$work/out" --toggle-collect="cg_$mode" \
            "$driver" "$mode" "$@" 2>/dev/null | awk '$1 == "units" { print $2 }')
  local instructions
  instructions=$(awk '/^(summary|totals):/ { print $2; exit }' "$work/out")
  echo "$instructions $units"
}

per() { awk -v i="$1" -v u="$2" 'BEGIN { printf "%.2f", i / u }'; }

echo "Instructions per output frame, whole render of 60 s (replay engine and mixer):"
for module in "$build/demo.mod" "$modules_dir"/{sparse,medium,dense,bigsamples}.mod; do
  read -r ir units < <(count render "$module" 60)
  printf '  %-12s %8s\n' "$(basename "$module" .mod)" "$(per "$ir" "$units")"
done

buffers=2000
read -r silence frames < <(count mix_silence $buffers)
read -r looping _ < <(count mix_looping $buffers)
read -r oneshot _ < <(count mix_oneshot $buffers)
read -r out_portable _ < <(count out_portable $buffers)
echo
echo "Mixer (mixaudio, $buffers buffers of 1024 frames, engine idle):"
printf '  %-44s %8s\n' "no voice, per frame (clear, clip, interleave)" "$(per "$silence" "$frames")"
printf '  %-44s %8s\n' "four looping voices, per frame" "$(per "$looping" "$frames")"
printf '  %-44s %8s\n' "four one-shot voices, per frame" "$(per "$oneshot" "$frames")"
printf '  %-44s %8s\n' "looping, per voice-frame (beyond no voice)" \
  "$(per "$((looping - silence))" "$((frames * 4))")"
printf '  %-44s %8s\n' "one-shot, per voice-frame (beyond no voice)" \
  "$(per "$((oneshot - silence))" "$((frames * 4))")"
printf '  %-44s %8s\n' "output step alone, portable, per frame" "$(per "$out_portable" "$frames")"
if [ "$(uname -m)" = x86_64 ]; then
  read -r out_sse2 _ < <(count out_sse2 $buffers)
  printf '  %-44s %8s\n' "output step alone, SSE2, per frame" "$(per "$out_sse2" "$frames")"
fi

calls=200
echo
echo "Views, per call ($calls calls each):"
for mode in draw_pattern blit copy draw_samples draw_scopes text; do
  case $mode in
    draw_pattern) label="drawPattern (25 full lines)" ;;
    blit) label="  the background copy by SDL's blit" ;;
    copy) label="  by memcpy per line (its floor)" ;;
    draw_samples) label="drawSampleViewer (all meters 27)" ;;
    draw_scopes) label="drawQuadrascopes (four voices)" ;;
    text) label="textOut (39 characters)" ;;
  esac
  read -r ir units < <(count $mode $calls)
  printf '  %-36s %10.0f\n' "$label" "$(per "$ir" "$units")"
done

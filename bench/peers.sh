#!/bin/bash
# Side-by-side comparison of Zindle with three player libraries from Debian
# (libxmp, libopenmpt, libmikmod), run by `make bench-peers`.
#
# Every player renders the same modules (the demo and the generated
# comparison set) for the same number of seconds at 48000 Hz, 16-bit stereo,
# without interpolation, volume ramping or dithering where the library lets
# us say so, through a small program of ours that times only its render loop
# in CPU time. Each module is rendered RUNS times by each player in turn
# (alternating, so that a slow spell of the machine hits all players alike);
# the table shows the median, in millions of frames per CPU second, and
# Zindle's ratio to the fastest peer. Then the peak memory (maximum resident
# set size) of zindle-render and of each peer program on every module.
#
# Usage: bench/peers.sh [BUILD_DIR]   (default build-bench)
# Environment: BENCH_SECONDS (default 60), BENCH_RUNS (default 5).
set -euo pipefail

cd "$(dirname "$0")/.."
build=${1:-build-bench}
seconds=${BENCH_SECONDS:-60}
runs=${BENCH_RUNS:-5}
jobs=${JOBS:-2}

./scripts/install-deps.sh libxmp-dev libopenmpt-dev libmikmod-dev pkg-config time gcc

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZINDLE_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target zindle-bench-render zindle-make-bench-modules zindle-render demo_module >/dev/null

peers="$build/peers"
mkdir -p "$peers"
for lib in xmp:libxmp openmpt:libopenmpt mikmod:libmikmod; do
  name=${lib%%:*}
  # shellcheck disable=SC2046
  cc -O2 -Wall -Wextra -o "$peers/peer-$name" "bench/peers/peer_$name.c" $(pkg-config --cflags --libs "${lib#*:}")
done

modules_dir="$build/bench-modules"
mkdir -p "$modules_dir"
"$build/bench/zindle-make-bench-modules" "$modules_dir" >/dev/null
modules=("$build/demo.mod" "$modules_dir/sparse.mod" "$modules_dir/medium.mod" "$modules_dir/dense.mod"
         "$modules_dir/bigsamples.mod")

players=(zindle libxmp libopenmpt libmikmod)
program() {
  case $1 in
    zindle) echo "$build/bench/zindle-bench-render" ;;
    libxmp) echo "$peers/peer-xmp" ;;
    libopenmpt) echo "$peers/peer-openmpt" ;;
    libmikmod) echo "$peers/peer-mikmod" ;;
  esac
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "Frames per CPU second (millions), median of $runs alternating runs of $seconds s each,"
echo "48000 Hz 16-bit stereo, no interpolation:"
echo
printf '%-12s %10s %10s %10s %10s   %s\n' module zindle libxmp libopenmpt libmikmod "zindle / fastest peer"
for module in "${modules[@]}"; do
  declare -A results=()
  for ((run = 0; run < runs; ++run)); do
    for player in "${players[@]}"; do
      fps=$("$(program "$player")" "$module" "$seconds" 2>/dev/null)
      results[$player]="${results[$player]:-} $fps"
    done
  done
  declare -A med=()
  for player in "${players[@]}"; do
    med[$player]=$(tr ' ' '\n' <<<"${results[$player]}" | grep . | median)
  done
  fastest=$(printf '%s\n' "${med[libxmp]}" "${med[libopenmpt]}" "${med[libmikmod]}" | sort -g | tail -1)
  awk -v m="$(basename "$module" .mod)" -v z="${med[zindle]}" -v x="${med[libxmp]}" -v o="${med[libopenmpt]}" \
      -v k="${med[libmikmod]}" -v f="$fastest" \
      'BEGIN { printf "%-12s %10.1f %10.1f %10.1f %10.1f   %.2f\n", m, z / 1e6, x / 1e6, o / 1e6, k / 1e6, z / f }'
  unset results med
done

echo
echo "Peak memory (maximum resident set size, KiB) rendering $seconds s:"
echo
printf '%-12s %14s %10s %10s %10s\n' module zindle-render libxmp libopenmpt libmikmod
peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
for module in "${modules[@]}"; do
  z=$(peak "$build/tools/zindle-render" --raw --seconds "$seconds" --output - "$module")
  x=$(peak "$peers/peer-xmp" "$module" "$seconds")
  o=$(peak "$peers/peer-openmpt" "$module" "$seconds")
  k=$(peak "$peers/peer-mikmod" "$module" "$seconds")
  printf '%-12s %14s %10s %10s %10s\n' "$(basename "$module" .mod)" "$z" "$x" "$o" "$k"
done

#!/bin/bash
# Side-by-side comparison of Zindle with three player libraries from Debian
# (libxmp, libopenmpt, libmikmod) and two player programs (xmp, openmpt123),
# run by `make bench-peers`.
#
# 1. The render loops. Every player renders the same modules for the same
#    number of seconds at 48000 Hz, 16-bit stereo, without interpolation,
#    volume ramping or dithering where the library lets us say so, through a
#    small program of ours that times only its render loop in CPU time. Each
#    module is rendered RUNS times by each player in turn (alternating, so
#    that a slow spell of the machine hits all players alike); the table shows
#    the median, in millions of frames per CPU second, and Zindle's ratio to
#    the fastest peer.
# 2. The whole process. zindle-render, from start to exit (load, render,
#    encode, write), renders WHOLE_SECONDS of audio to a WAV file, and to a
#    FLAC file apart; beside it `xmp -o` and `openmpt123 --render` do the
#    same, and the three peer render loops time their loops alone for as
#    long. CPU seconds (user + system) of each, the minimum of WHOLE_RUNS
#    alternating runs (the machine is shared: the minimum is the run least
#    disturbed), and zindle-render's ratios to the fastest loop and to the
#    faster program.
# 3. Peak memory (maximum resident set size) of each of those processes.
#
# 4. Modules libxmp plays: real XM, S3M and IT files of Debian's game-data
#    packages (fetched with apt-get download; left out when that isn't
#    possible). zindle-render writes WHOLE_SECONDS of each to a WAV file;
#    `xmp` and `openmpt123` do the same at the same settings (linear
#    interpolation, a stereo mix of 70); CPU seconds, the minimum of
#    WHOLE_RUNS alternating runs, and peak memory. Beside them the libxmp
#    loop: a whole process that loads the module and runs libxmp's render
#    loop at its defaults for as long, writing nothing (bench/peers/loop_xmp.c),
#    the least any renderer of libxmp's own sound can take.
#
# 5. The Amiga's own sound: zindle-render --amiga a500 and a1200 writing
#    WHOLE_SECONDS of each MOD of 1 to 3 to a WAV file, beside openmpt123 with
#    its Amiga resampler of the same model (render.resampler.emulate_amiga),
#    the same settings otherwise; CPU seconds, the minimum of WHOLE_RUNS
#    alternating runs.
#
# Modules (1 to 3 and 5): the demo, the generated comparison set, and real music:
# the MOD files of Debian's tecnoballz-data package (fetched with apt-get
# download into the build folder; left out when that isn't possible).
#
# Usage: bench/peers.sh [BUILD_DIR]   (default build-bench)
# Environment: BENCH_SECONDS (default 60), BENCH_RUNS (default 5),
#   WHOLE_SECONDS (default 600), WHOLE_RUNS (default 5), SECTIONS (the
#   tables to make, default "1 2 3 4 5"; 2 and 3 come together).
set -euo pipefail

cd "$(dirname "$0")/.."
build=${1:-build-bench}
seconds=${BENCH_SECONDS:-60}
runs=${BENCH_RUNS:-5}
whole=${WHOLE_SECONDS:-600}
whole_runs=${WHOLE_RUNS:-5}
jobs=${JOBS:-2}
sections=" ${SECTIONS:-1 2 3 4 5} "

./scripts/install-deps.sh libxmp-dev libopenmpt-dev libmikmod-dev pkg-config time gcc xmp openmpt123

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZINDLE_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target zindle-bench-render zindle-make-modules zindle-render demo_module >/dev/null

peers="$build/peers"
mkdir -p "$peers"
for lib in xmp:libxmp openmpt:libopenmpt mikmod:libmikmod; do
  name=${lib%%:*}
  # shellcheck disable=SC2046
  cc -O2 -Wall -Wextra -o "$peers/peer-$name" "bench/peers/peer_$name.c" $(pkg-config --cflags --libs "${lib#*:}")
done
# shellcheck disable=SC2046
cc -O2 -Wall -Wextra -o "$peers/loop-xmp" bench/peers/loop_xmp.c $(pkg-config --cflags --libs libxmp)

modules_dir="$build/bench-modules"
mkdir -p "$modules_dir"
"$build/tools/zindle-make-modules" bench "$modules_dir"
modules=("$build/demo.mod" "$modules_dir/sparse.mod" "$modules_dir/medium.mod" "$modules_dir/dense.mod"
         "$modules_dir/bigsamples.mod")

# Real music: four modules of a game's soundtrack, of different sizes and densities, that every
# peer plays for the whole time (libmikmod ends some of the others early and renders silence after).
real_dir="$build/real-modules"
real_names=(fridge-in-space_from_reg-zbb in-game-music-1_reg tecnoballz mon-lapin_reg-zbb)
if [ ! -f "$real_dir/tecnoballz.mod" ]; then
  mkdir -p "$real_dir/deb"
  if (cd "$real_dir/deb" && apt-get download tecnoballz-data >/dev/null 2>&1); then
    dpkg-deb -x "$real_dir"/deb/tecnoballz-data_*.deb "$real_dir/deb/x"
    cp "$real_dir"/deb/x/usr/share/games/tecnoballz/musics/*.mod "$real_dir/"
    rm -rf "$real_dir/deb"
  else
    echo "(tecnoballz-data can't be fetched here: no real modules in the tables)"
  fi
fi
for name in "${real_names[@]}"; do
  [ -f "$real_dir/$name.mod" ] && modules+=("$real_dir/$name.mod")
done
name_of() { basename "$1" .mod | sed -E 's/(_from)?_reg.*//'; }

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

if [[ $sections == *" 1 "* ]]; then
echo "1. Render loops: frames per CPU second (millions), median of $runs alternating runs of $seconds s each,"
echo "48000 Hz 16-bit stereo, no interpolation:"
echo
echo "| module | Zindle | libxmp | libopenmpt | libmikmod | Zindle / fastest peer |"
echo "|---|---:|---:|---:|---:|---:|"
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
  awk -v m="$(name_of "$module")" -v z="${med[zindle]}" -v x="${med[libxmp]}" -v o="${med[libopenmpt]}" \
      -v k="${med[libmikmod]}" -v f="$fastest" \
      'BEGIN { printf "| %s | %.1f | %.1f | %.1f | %.1f | %.2f |\n", m, z / 1e6, x / 1e6, o / 1e6, k / 1e6, z / f }'
  unset results med
done
fi

# --- 2 and 3: whole processes.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/zindle-peers-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
render=$build/render/zindle-render
# CPU seconds (user + system) of one run of a command, its output thrown away.
cpu() {
  local TIMEFORMAT='%3U %3S'
  { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ print $1 + $2 }'
}
# CPU seconds of a peer library's render loop alone, from the frames per CPU second it reports.
loop_cpu() { "$@" 2>/dev/null | awk -v f=$((whole * 48000)) '{ print f / $1 }'; }
minimum() { sort -g | head -1; }
peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
# The whole-process commands, by name; each writes a fresh file in the scratch folder.
whole_players=(zindle-wav zindle-flac zindle-loop libxmp-loop libopenmpt-loop libmikmod-loop xmp openmpt123)
run_whole() {
  local player=$1 module=$scratch/m.mod
  rm -f "$scratch"/out.* "$scratch"/m.mod.wav
  case $player in
    zindle-wav) "$2" "$render" --seconds "$whole" --output "$scratch/out.wav" "$module" ;;
    zindle-flac) "$2" "$render" --seconds "$whole" --output "$scratch/out.flac" "$module" ;;
    zindle-loop) loop_cpu "$build/bench/zindle-bench-render" "$module" "$whole" ;;
    libxmp-loop) loop_cpu "$peers/peer-xmp" "$module" "$whole" ;;
    libopenmpt-loop) loop_cpu "$peers/peer-openmpt" "$module" "$whole" ;;
    libmikmod-loop) loop_cpu "$peers/peer-mikmod" "$module" "$whole" ;;
    xmp) "$2" xmp --quiet --output-file "$scratch/out.wav" --frequency 48000 --interpolation nearest --loop \
           --time "$whole" "$module" ;;
    openmpt123) "$2" openmpt123 --render --force --quiet --samplerate 48000 --no-float --filter 1 --ramping 0 \
                  --dither 0 --repeat -1 --end-time "$whole" "$module" ;;
    zindle-a500 | zindle-a1200) "$2" "$render" --amiga "${player#zindle-}" --seconds "$whole" --output "$scratch/out.wav" "$module" ;;
    openmpt123-a500 | openmpt123-a1200)
      "$2" openmpt123 --render --force --quiet --samplerate 48000 --no-float --ramping 0 --dither 0 --repeat -1 \
        --ctl render.resampler.emulate_amiga=1 --ctl render.resampler.emulate_amiga_type="${player#openmpt123-}" \
        --end-time "$whole" "$module" ;;
  esac
}

if [[ $sections == *" 2 "* || $sections == *" 3 "* ]]; then
echo
echo "2. Whole processes: CPU seconds (user + system) for $whole s of audio, minimum of $whole_runs alternating runs;"
echo "zindle-render and the programs from start to exit writing a file, the render loops alone (Zindle's too,"
echo "to show what the whole process adds to it):"
echo
echo "| module | zindle-render WAV | Zindle loop | libxmp loop | libopenmpt loop | libmikmod loop | xmp | openmpt123 | fastest peer loop / zindle-render | faster program / zindle-render | zindle-render FLAC |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
declare -A peaks=()
for module in "${modules[@]}"; do
  cp "$module" "$scratch/m.mod"
  declare -A times=()
  for ((run = 0; run < whole_runs; ++run)); do
    for player in "${whole_players[@]}"; do
      case $player in
        *-loop) t=$(run_whole "$player") ;;
        *) t=$(run_whole "$player" cpu) ;;
      esac
      times[$player]="${times[$player]:-} $t"
    done
  done
  declare -A best=()
  for player in "${whole_players[@]}"; do
    best[$player]=$(tr ' ' '\n' <<<"${times[$player]}" | grep . | minimum)
  done
  loop=$(printf '%s\n' "${best[libxmp-loop]}" "${best[libopenmpt-loop]}" "${best[libmikmod-loop]}" | minimum)
  prog=$(printf '%s\n' "${best[xmp]}" "${best[openmpt123]}" | minimum)
  awk -v m="$(name_of "$module")" -v z="${best[zindle-wav]}" -v x="${best[libxmp-loop]}" -v o="${best[libopenmpt-loop]}" \
      -v k="${best[libmikmod-loop]}" -v xp="${best[xmp]}" -v op="${best[openmpt123]}" -v l="$loop" -v p="$prog" \
      -v fl="${best[zindle-flac]}" -v zl="${best[zindle-loop]}" \
      'BEGIN { printf "| %s | %.3f | %.3f | %.3f | %.3f | %.3f | %.3f | %.3f | %.2f | %.2f | %.3f |\n", m, z, zl, x, o, k, xp, op, l / z, p / z, fl }'
  # Peak memory of the same processes, once each.
  row="| $(name_of "$module")"
  for player in zindle-wav zindle-flac xmp openmpt123; do
    rm -f "$scratch"/out.* "$scratch"/m.mod.wav
    row="$row | $(run_whole "$player" peak)"
  done
  for lib in xmp openmpt mikmod; do row="$row | $(peak "$peers/peer-$lib" "$scratch/m.mod" "$whole")"; done
  peaks[$module]="$row |"
  unset times best
done

echo
echo "3. Peak memory (maximum resident set size, KiB) of the same processes:"
echo
echo "| module | zindle-render WAV | zindle-render FLAC | xmp | openmpt123 | libxmp loop | libopenmpt loop | libmikmod loop |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|"
for module in "${modules[@]}"; do echo "${peaks[$module]}"; done
fi

# --- 5: the Amiga's own sound, against openmpt123's Amiga resampler.
if [[ $sections == *" 5 "* ]]; then
echo
echo "5. The Amiga's own sound: CPU seconds (user + system) to write $whole s of audio to a WAV file, start to exit,"
echo "minimum of $whole_runs alternating runs; zindle-render --amiga MODEL beside openmpt123 with its Amiga resampler of"
echo "the same model, and zindle-render's plain mixer:"
echo
echo "| module | zindle-render | zindle-render --amiga a500 | openmpt123 Amiga a500 | zindle-render --amiga a1200 | openmpt123 Amiga a1200 | openmpt123 / zindle-render a500 | openmpt123 / zindle-render a1200 |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|"
amiga_players=(zindle-wav zindle-a500 openmpt123-a500 zindle-a1200 openmpt123-a1200)
for module in "${modules[@]}"; do
  cp "$module" "$scratch/m.mod"
  declare -A times=()
  for ((run = 0; run < whole_runs; ++run)); do
    for player in "${amiga_players[@]}"; do times[$player]="${times[$player]:-} $(run_whole "$player" cpu)"; done
  done
  declare -A best=()
  for player in "${amiga_players[@]}"; do best[$player]=$(tr ' ' '\n' <<<"${times[$player]}" | grep . | minimum); done
  awk -v m="$(name_of "$module")" -v z="${best[zindle-wav]}" -v a="${best[zindle-a500]}" -v oa="${best[openmpt123-a500]}" \
      -v b="${best[zindle-a1200]}" -v ob="${best[openmpt123-a1200]}" \
      'BEGIN { printf "| %s | %.3f | %.3f | %.3f | %.3f | %.3f | %.2f | %.2f |\n", m, z, a, oa, b, ob, oa / a, ob / b }'
  unset times best
done
fi

# --- 4: modules libxmp plays, against the programs at the same settings.
[[ $sections == *" 4 "* ]] || exit 0
tracker_dir="$build/tracker-modules"
# package:file:name of a module of each format, in Debian's game-data packages.
tracker_files=(
  "powermanga-data:usr/share/games/powermanga/sounds/music_game.zik:powermanga-game.xm"
  "njam-data:usr/share/games/njam/data/dali.xm:njam-dali.xm"
  "njam-data:usr/share/games/njam/data/ritam.s3m:njam-ritam.s3m"
  "penguin-command:usr/share/games/penguin-command/sound/icefront.s3m:penguin-icefront.s3m"
  "pingus-data:usr/share/games/pingus/data/music/pingus-2.it:pingus-2.it"
  "pingus-data:usr/share/games/pingus/data/music/sorcerer.it:pingus-sorcerer.it"
)
mkdir -p "$tracker_dir"
for entry in "${tracker_files[@]}"; do
  IFS=: read -r package file name <<<"$entry"
  [ -f "$tracker_dir/$name" ] && continue
  mkdir -p "$tracker_dir/deb"
  if [ ! -d "$tracker_dir/deb/$package" ]; then
    if (cd "$tracker_dir/deb" && apt-get download "$package" >/dev/null 2>&1); then
      dpkg-deb -x "$tracker_dir"/deb/"${package}"_*.deb "$tracker_dir/deb/$package"
    else
      echo "($package can't be fetched here: $name is left out)"
      continue
    fi
  fi
  cp "$tracker_dir/deb/$package/$file" "$tracker_dir/$name" 2>/dev/null || true
done
rm -rf "$tracker_dir/deb"
trackers=()
for entry in "${tracker_files[@]}"; do
  name=${entry##*:}
  [ -f "$tracker_dir/$name" ] && trackers+=("$tracker_dir/$name")
done

run_tracker() {
  local player=$1 module=$2
  rm -f "$scratch"/out.* "$module".wav
  case $player in
    zindle) "$3" "$render" --seconds "$whole" --output "$scratch/out.wav" "$module" ;;
    libxmp-loop) "$3" "$peers/loop-xmp" "$module" "$whole" ;;
    xmp) "$3" xmp --quiet --output-file "$scratch/out.wav" --frequency 48000 --interpolation linear --pan 70 --loop \
           --time "$whole" "$module" ;;
    openmpt123) "$3" openmpt123 --render --force --quiet --samplerate 48000 --no-float --stereo 70 --filter 2 \
                  --repeat -1 --end-time "$whole" "$module" ;;
  esac
}

echo
echo "4. Modules libxmp plays: CPU seconds (user + system) to write $whole s of audio to a WAV file, start to exit,"
echo "minimum of $whole_runs alternating runs, linear interpolation and a stereo mix of 70; libxmp's loop alone"
echo "(load, then render as long, writing nothing) beside them; and peak memory (KiB):"
echo
echo "| module | channels | zindle-render | libxmp loop | xmp | openmpt123 | xmp / zindle-render | openmpt123 / zindle-render | zindle-render / libxmp loop | xmp / libxmp loop | zindle-render KiB | libxmp loop KiB | xmp KiB | openmpt123 KiB |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
tracker_players=(zindle libxmp-loop xmp openmpt123)
for original in "${trackers[@]}"; do
  # openmpt123 --render writes MODULE.wav beside the module: a copy in the scratch folder.
  module=$scratch/$(basename "$original")
  cp "$original" "$module"
  declare -A times=()
  for ((run = 0; run < whole_runs; ++run)); do
    for player in "${tracker_players[@]}"; do
      times[$player]="${times[$player]:-} $(run_tracker "$player" "$module" cpu)"
    done
  done
  declare -A best=()
  for player in "${tracker_players[@]}"; do
    best[$player]=$(tr ' ' '\n' <<<"${times[$player]}" | grep . | minimum)
  done
  channels=$("$render" --json "$module" | sed -E 's/.*"channels":([0-9]+).*/\1/')
  row=$(awk -v m="$(basename "$module")" -v c="$channels" -v z="${best[zindle]}" -v l="${best[libxmp-loop]}" \
      -v x="${best[xmp]}" -v o="${best[openmpt123]}" \
      'BEGIN { printf "| %s | %s | %.3f | %.3f | %.3f | %.3f | %.2f | %.2f | %.2f | %.2f", m, c, z, l, x, o, x / z, o / z, z / l, x / l }')
  for player in "${tracker_players[@]}"; do row="$row | $(run_tracker "$player" "$module" peak)"; done
  echo "$row |"
  rm -f "$module" "$module".wav
  unset times best
done

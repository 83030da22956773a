#!/bin/sh
# Renders the same modules with the native zindle-render and with the one
# cross-built for ARCH (armhf, arm64, armel, mipsel) under qemu-user, and compares the bytes:
# the WAV file and the per-tick trace, for one pass of the song and for
# exactly $CHECK_SECONDS seconds (10; the hostile table's modules, only that). The modules: the demo, the fuzzer's seeds
# (tools/fuzz_seeds.cpp), the benchmarks' comparison set (tools/bench_modules.cpp)
# and the test suite's hostile table (tools/hostile_cases.cpp), each set
# written by the native zindle-make-modules, XM, S3M and IT ones among them
# (and the trackers set). Prints "identical" or the first difference for
# each module and mode; ends with status 1 when a module our engine plays
# differs. A module libxmp plays may differ between architectures (libxmp is
# not ours to make identical): that is reported, and counted apart.
#
#   scripts/cross-check.sh ARCH
#   BUILD: the native build folder (build); CROSS_BUILD: the ARCH build
#   folder (build-ARCH), built by `make cross ARCH=...` when it has no renderer.
set -eu
cd "$(dirname "$0")/.."
[ $# -eq 1 ] || { echo "Usage: $0 ARCH" >&2; exit 2; }
arch=$1
BUILD=${BUILD:-build}
CROSS_BUILD=${CROSS_BUILD:-build-$arch}
SECONDS_RENDERED=${CHECK_SECONDS:-10}
JOBS=${JOBS:-2}

./scripts/install-deps.sh "cross-$arch"
[ -x "$CROSS_BUILD/render/zindle-render" ] || make cross ARCH="$arch" CROSS_BUILD="$CROSS_BUILD" JOBS="$JOBS"
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target zindle-render zindle-make-modules >/dev/null

native="$BUILD/render/zindle-render"
sysroot="$CROSS_BUILD/sysroot"
case $arch in
  armhf | armel) qemu=qemu-arm ;;
  arm64) qemu=qemu-aarch64 ;;
  mipsel) qemu=qemu-mipsel ;;
  *) echo "cross-check: no cross build for $arch (armhf, arm64, armel, mipsel)" >&2; exit 2 ;;
esac
emulated="$qemu -L $sysroot $CROSS_BUILD/render/zindle-render"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/demo" "$work/seeds" "$work/bench" "$work/hostile" "$work/trackers"
make_modules="$BUILD/tools/zindle-make-modules"
"$make_modules" demo "$work/demo"
"$make_modules" seeds "$work/seeds"
"$make_modules" bench "$work/bench"
"$make_modules" corpus "$work/hostile"
"$make_modules" trackers "$work/trackers"

# render RENDERER OUT MODULE [OPTIONS]: OUT.wav, OUT.trace and OUT.status.
render() {
  renderer=$1
  out=$2
  module=$3
  shift 3
  status=0
  # shellcheck disable=SC2086
  $renderer --trace "$@" --output "$out.wav" "$module" >"$out.trace" 2>"$out.err" || status=$?
  echo "$status" >"$out.status"
}

# first_difference A B: "" when the files are the same, else cmp's word on it.
first_difference() {
  cmp "$1" "$2" 2>&1 | sed "s|$work/||g" || true
}

modules=0
renders=0
differ=0
libxmp_differ=0
for set in demo seeds bench hostile trackers; do
  for module in "$work/$set"/*; do
    modules=$((modules + 1))
    name="$set/$(basename "$module")"
    engine=zindle
    "$native" --json "$module" 2>/dev/null | grep -q '"engine":"libxmp"' && engine=libxmp
    modes="pass seconds"
    # The hostile table's songs are short, most of them refused: their
    # $SECONDS_RENDERED seconds hold the pass and what follows it.
    [ "$set" = hostile ] && modes=seconds
    for mode in $modes; do
      renders=$((renders + 1))
      if [ "$mode" = pass ]; then options=""; else options="--seconds $SECONDS_RENDERED"; fi
      # shellcheck disable=SC2086
      render "$native" "$work/native" "$module" $options &
      # shellcheck disable=SC2086
      render "$emulated" "$work/$arch" "$module" $options
      wait
      found=""
      for part in status wav trace; do
        [ -f "$work/native.$part" ] || : >"$work/native.$part"
        [ -f "$work/$arch.$part" ] || : >"$work/$arch.$part"
        what=$(first_difference "$work/native.$part" "$work/$arch.$part")
        if [ -n "$what" ]; then found="$part: $what"; break; fi
      done
      label=$([ "$mode" = pass ] && echo "one pass" || echo "$SECONDS_RENDERED s")
      if [ -z "$found" ]; then
        echo "identical  $name ($label, $(wc -c <"$work/native.wav") bytes, $(wc -l <"$work/native.trace") ticks, status $(cat "$work/native.status"))"
      elif [ "$engine" = libxmp ]; then
        libxmp_differ=$((libxmp_differ + 1))
        echo "differs    $name ($label, played by libxmp): $found"
      else
        differ=$((differ + 1))
        echo "DIFFERENT  $name ($label): $found"
      fi
      rm -f "$work/native."* "$work/$arch."*
    done
  done
done
echo "cross-check $arch: $modules modules, $((renders - differ - libxmp_differ)) renders identical, $differ different," \
  "$libxmp_differ of libxmp's modules different"
[ "$differ" -eq 0 ]

#!/bin/bash
# Compares Zindle's order/row/tick timeline with libxmp's over the first
# SECONDS (default 60) of each module given: one line per module, "same"
# with the tick count, or the first tick where they part. The format modules
# (tools/format_modules.cpp, written by the build's zindle-make-modules) are
# compared before those given.
#
# Usage: bench/timelines.sh [-s SECONDS] [-b BUILD_DIR] [MODULE...]
set -euo pipefail

cd "$(dirname "$0")/.."
seconds=60
build=build
while getopts "s:b:" opt; do
  case $opt in
    s) seconds=$OPTARG ;;
    b) build=$OPTARG ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck disable=SC2046
cc -O2 -Wall -Wextra -o "$work/timeline-xmp" bench/peers/timeline_xmp.c $(pkg-config --cflags --libs libxmp)

# The format modules (6 to 32 channels, FLT8, 15 samples) come first.
mkdir -p "$work/modules"
"$build/tools/zindle-make-modules" formats "$work/modules"
set -- "$work"/modules/*.mod "$@"

for module in "$@"; do
  name=$(basename "$module")
  if ! "$build/render/zindle-render" --seconds "$seconds" --trace --raw --output /dev/null "$module" 2>/dev/null |
       awk '{print $2, $3, $4}' >"$work/zindle"; then
    echo "$name: zindle refuses it"
    continue
  fi
  if ! "$work/timeline-xmp" "$module" "$seconds" 2>/dev/null | awk '{print $1, $2, $3}' >"$work/xmp"; then
    echo "$name: libxmp refuses it"
    continue
  fi
  # The tick that straddles the last second may fall on either side: the
  # common length is compared.
  zt=$(wc -l <"$work/zindle")
  xt=$(wc -l <"$work/xmp")
  n=$((zt < xt ? zt : xt))
  head -n "$n" "$work/zindle" >"$work/z"
  head -n "$n" "$work/xmp" >"$work/x"
  if cmp -s "$work/z" "$work/x"; then
    echo "$name: same ($n ticks; zindle $zt, libxmp $xt)"
  else
    first=$( (cmp "$work/z" "$work/x" 2>&1 || true) | sed -n 's/.* line \([0-9]*\).*/\1/p')
    echo "$name: differ from tick ${first:-?} of $n:" \
         "zindle '$(sed -n "${first:-1}p" "$work/z")' libxmp '$(sed -n "${first:-1}p" "$work/x")'"
  fi
done

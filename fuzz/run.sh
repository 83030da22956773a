#!/bin/sh
# Builds the module fuzzer with clang under ASan and UBSan in BUILD and runs it
# for SECONDS: `fuzz/run.sh [BUILD] [SECONDS]` (`make fuzz` calls it). The
# corpus grows in BUILD/corpus, starting from the generated seeds; an input that
# trips a sanitizer, crashes or hangs is written to BUILD/findings/ and ends
# the run with a non-zero status.
set -eu
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${2:-300}

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZINDLE_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j 2 --target zindle-fuzz fuzz_seeds
mkdir -p "$build/corpus" "$build/findings"

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:check_initialization_order=1:strict_string_checks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
exec "$build/fuzz/zindle-fuzz" -max_total_time="$seconds" -max_len=16384 -timeout=10 \
  -dict=fuzz/mod.dict -artifact_prefix="$build/findings/" -print_final_stats=1 \
  "$build/corpus" "$build/fuzz/seeds"

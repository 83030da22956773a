#!/bin/sh
# The sanitizer stage of CI, run after `make test`, each build in a folder of
# its own:
#   1. the whole test suite built with AddressSanitizer and UndefinedBehavior-
#      Sanitizer, Xvfb window tests included ($ASAN_BUILD);
#   2. the threaded tests - the real player under SDL's dummy/disk drivers and
#      in a window under Xvfb driven by keys - built with ThreadSanitizer and
#      run twice, two at a time ($TSAN_BUILD);
#   3. $FUZZ_SECONDS seconds of fuzzing from the seed corpus ($FUZZ_BUILD).
# Every sanitizer stops the program at its first report. Reports also go to
# files, so that one from a child process whose exit status no test looks at
# still fails the stage.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh sanitizers

ASAN_BUILD=${ASAN_BUILD:-build-asan}
TSAN_BUILD=${TSAN_BUILD:-build-tsan}
FUZZ_BUILD=${FUZZ_BUILD:-build-fuzz}
FUZZ_SECONDS=${FUZZ_SECONDS:-60}
reports=$(mktemp -d)
chmod 1777 "$reports"  # tests also run the programs as nobody
trap 'rm -rf "$reports"' EXIT
started=$(date +%s)

step() { echo "=== $* (at $(($(date +%s) - started)) s)"; }

# Runs a command; fails when it fails or when it left a sanitizer report.
checked() {
  status=0
  "$@" || status=$?
  # LeakSanitizer says "Unable to get registers from thread N" when a thread
  # ends while it stops the world to look for leaks, and goes on without
  # it: a note on its own search, not a finding. A report of that line alone
  # is named and set aside.
  for report in "$reports"/*; do
    [ -f "$report" ] || continue
    if ! grep -qv 'Unable to get registers from thread' "$report"; then
      echo "=== note: $report: $(cat "$report") (LeakSanitizer's own search, not a finding)"
      rm -f "$report"
    fi
  done
  if [ -n "$(ls -A "$reports")" ]; then
    for report in "$reports"/*; do echo "--- $report"; cat "$report"; done
    echo "Sanitizer reports found" >&2
    exit 1
  fi
  [ "$status" -eq 0 ] || exit "$status"
}

step "ASan+UBSan: building everything"
cmake -S . -B "$ASAN_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZINDLE_SANITIZE=address,undefined >/dev/null
cmake --build "$ASAN_BUILD" -j 2
step "ASan+UBSan: the whole suite"
# The leak checker's built-in suppressions cover libX11's own leaks in the
# window tests; print_suppressions=0 keeps it from writing their tally.
checked env \
  ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_string_checks=1:print_suppressions=0:log_path=$reports/asan" \
  UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan" \
  ctest --test-dir "$ASAN_BUILD" -j 2 --output-on-failure

step "TSan: building the player and its tests"
cmake -S . -B "$TSAN_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZINDLE_SANITIZE=thread >/dev/null
cmake --build "$TSAN_BUILD" -j 2 --target zindle zindle-render zindle_tests
step "TSan: the threaded tests"
checked env TSAN_OPTIONS="halt_on_error=1:detect_deadlocks=1:second_deadlock_stack=1:log_path=$reports/tsan" \
  ctest --test-dir "$TSAN_BUILD" -R '^(Player|Window)\.' -j 2 --repeat until-fail:2 --output-on-failure

step "Fuzzing for $FUZZ_SECONDS s"
checked ./fuzz/run.sh "$FUZZ_BUILD" "$FUZZ_SECONDS"

step "Sanitizer stage passed"

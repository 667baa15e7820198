#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite
# in a normal build; then builds the engine, the Jet reader and the
# command-line tool once more with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs their tests, so memory errors in the
# code that reads files fail the run. (The window tests also pass under the
# sanitizers: add -DTABELKO_ENGINE_ONLY=OFF below to run them too; it doubles
# the time of a run.)
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABELKO_BUILD_TESTS=ON >/dev/null
cmake --build build-test -j"$jobs"
log="$(mktemp)"
ctest --test-dir build-test --output-on-failure -j"$jobs" --timeout 300 | tee "$log"
# Skipped tests are said, with their reasons, so none passes unnoticed.
skipped="$(grep -c '\*\*\*Skipped' "$log" || true)"
if [ "$skipped" -gt 0 ]; then
  echo "$skipped test(s) skipped:"
  grep '\*\*\*Skipped' "$log" | sed 's/^ */  /'
fi
rm -f "$log"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTABELKO_SANITIZE=ON -DTABELKO_ENGINE_ONLY=ON \
  -DTABELKO_BUILD_TESTS=ON >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 600

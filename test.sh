#!/usr/bin/env bash
# Installs what is missing, then, in this order:
#  1. checks the formatting of every source (clang-format);
#  2. builds everything with warnings as errors and runs the whole test suite;
#  3. runs clang-tidy's fault-finding checks over the engine;
#  4. builds the Debian package, installs it, starts both programs from it
#     and removes it again;
#  5. builds the engine, the Jet reader and the command-line tool once more
#     with AddressSanitizer and UndefinedBehaviorSanitizer and runs their
#     tests, so memory errors in the code that reads files fail the run (the
#     window tests also pass under the sanitizers: TABELKO_ASAN_WINDOWS=1
#     adds them, which about doubles the time of a run);
#  6. fuzzes the Jet reader for 60 seconds (clang's libFuzzer, seeded with
#     the sample files).
# Any finding, warning or failure stops the run with a non-zero status.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen

step() { echo "== $* ($(date +%T))"; }

step "formatting"
git ls-files -- '*.cpp' '*.h' 2>/dev/null | xargs -r clang-format --dry-run --Werror

step "build and tests"
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABELKO_BUILD_TESTS=ON \
  -DTABELKO_WERROR=ON >/dev/null
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

step "clang-tidy over the engine"
# The checks decide; compiler warnings that clang words differently from gcc
# stay warnings here (gcc's -Werror build above already judged them).
run-clang-tidy -p build-test -quiet -j "$jobs" -extra-arg=-Wno-error "$(pwd)/engine/" >/tmp/tabelko-tidy.log 2>&1 || {
  grep -E 'error:|warning:' -A3 /tmp/tabelko-tidy.log || cat /tmp/tabelko-tidy.log
  exit 1
}

step "Debian package"
rm -rf build-test/package
(cd build-test && cpack -G DEB >/dev/null)
deb="$(ls build-test/package/tabelko_*.deb)"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO dpkg -i "$deb" >/dev/null
package_check() {
  tabelko-sql --version
  # The window program starts and keeps running; the timeout ends it. Its
  # settings go to a home of its own, not the user's.
  local status=0 home
  home="$(mktemp -d)"
  HOME="$home" XDG_CONFIG_HOME= XDG_DATA_HOME= timeout 1 tabelko || status=$?
  rm -rf "$home"
  [ "$status" -eq 124 ] || { echo "tabelko ended with status $status"; return 1; }
}
if ! package_check; then
  $SUDO dpkg -r tabelko >/dev/null
  exit 1
fi
$SUDO dpkg -r tabelko >/dev/null

step "sanitizers"
engine_only=ON
[ "${TABELKO_ASAN_WINDOWS:-0}" = 1 ] && engine_only=OFF
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTABELKO_SANITIZE=ON \
  -DTABELKO_ENGINE_ONLY="$engine_only" -DTABELKO_BUILD_TESTS=ON -DTABELKO_WERROR=ON >/dev/null
cmake --build build-asan -j"$jobs"
# The killed-writer tests run 200 kills in the normal build; 25 here keep
# the sanitizer run short while still tearing commits.
TABELKO_CRASH_KILLS=25 ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 600

step "fuzzing the Jet reader"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTABELKO_ENGINE_ONLY=ON -DTABELKO_BUILD_TESTS=ON -DTABELKO_JET_FUZZ=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" >/dev/null
cmake --build build-fuzz --target jetfile_fuzz -j"$jobs"
corpus="$(mktemp -d)"
seeds=../shared/corpus/jet
if [ -d "$seeds" ]; then
  cp "$seeds"/*.mdb "$corpus"/
elif [ -n "${CI:-}" ]; then
  echo "The sample files ($seeds) are missing." >&2
  exit 1
fi
fuzzer="$(pwd)/build-fuzz/tests/engine/jet/jetfile_fuzz"
# A fixed seed: a run tries the same inputs in the same order each time.
if ! (cd "$corpus" && "$fuzzer" -seed=1 -max_total_time=60 -max_len=400000 -rss_limit_mb=2048 \
  -print_final_stats=1 . >"$corpus.log" 2>&1); then
  tail -n 80 "$corpus.log"
  echo "The input that failed is kept in $corpus (crash-*, leak-*, timeout-*)." >&2
  exit 1
fi
grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$corpus.log" || true
rm -rf "$corpus" "$corpus.log"
step "done"

#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer, runs every
# test with ctest, then gives each fuzz target a short run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build=build-test
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORBEL_SANITIZE=ON -DQUORBEL_TESTS=ON -DQUORBEL_FUZZ=ON >/dev/null
cmake --build "$build" --parallel "$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" --timeout 300

# Short fuzzing runs of every reader and parser, each from its saved corpus.
seconds=${QUORBEL_FUZZ_SECONDS:-5}
for f in "$build"/bin/fuzz_*; do
  [ -x "$f" ] || continue
  name=$(basename "$f"); name=${name#fuzz_}
  corpus=$(mktemp -d)
  [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
  echo "fuzzing $name for ${seconds}s"
  "$f" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 "$corpus" >/dev/null 2>"$corpus.log" || {
    echo "fuzz_$name found a failure:"; tail -50 "$corpus.log"; exit 1; }
  rm -rf "$corpus" "$corpus.log"
done
echo "fuzzing: no failures"

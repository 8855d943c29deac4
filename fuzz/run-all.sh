#!/usr/bin/env bash
# Builds the fuzz targets with clang, makes the seed corpora, and runs every
# target for a bounded time under AddressSanitizer and UBSan. Any crash, hang,
# leak or sanitizer report fails the run.
#   fuzz/run-all.sh [seconds-per-target]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMARVEX_FUZZ=ON -DMARVEX_TESTS=OFF >/dev/null
cmake --build build-fuzz -j2
rm -rf build-fuzz/corpus && mkdir -p build-fuzz/corpus
build-fuzz/fuzz/make_seeds build-fuzz/corpus
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for target in build-fuzz/fuzz/fuzz_*; do
  name="$(basename "$target")"
  corpus="build-fuzz/corpus/${name#fuzz_}"
  mkdir -p "$corpus"
  # Regression inputs kept from earlier findings run first.
  if [ -d "fuzz/regressions/${name#fuzz_}" ]; then
    cp fuzz/regressions/"${name#fuzz_}"/* "$corpus"/ 2>/dev/null || true
  fi
  echo "== $name for ${seconds}s"
  if ! "$target" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -max_len=200000 -print_final_stats=1 -artifact_prefix="build-fuzz/$name-" 2>"build-fuzz/$name.log"; then
    echo "!! $name failed:"; tail -n 60 "build-fuzz/$name.log"; status=1
  fi
  grep -E '^stat::number_of_executed_units|^Done [0-9]+ runs' "build-fuzz/$name.log" | tail -n 2 || true
done
exit $status

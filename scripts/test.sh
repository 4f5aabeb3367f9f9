#!/usr/bin/env bash
# Installs what the build needs, builds everything from scratch and runs every test:
# the unit and end-to-end tests (ctest), then each fuzz target for a short while on its
# seed corpus. Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

FUZZ_SECONDS="${FUZZ_SECONDS:-30}"
JOBS="${JOBS:-2}"

rm -rf build build-fuzz
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOBJ_WARNINGS_AS_ERRORS=ON
cmake --build build -j"$JOBS"

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DOBJ_WITH_FUZZ=ON -DOBJ_WITH_GUI=OFF -DOBJ_WITH_TESTS=OFF -DOBJ_WITH_BENCH=OFF
cmake --build build-fuzz -j"$JOBS"

status=0
for target in build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name="$(basename "$target")"
  name="${name#fuzz_}"
  # The seed corpus stays untouched in the repository; new inputs go to a scratch copy.
  work="build-fuzz/corpus-$name"
  rm -rf "$work" && mkdir -p "$work"
  cp -r "fuzz/corpus/$name/." "$work/" 2>/dev/null || true
  echo "== fuzzing $name for ${FUZZ_SECONDS}s"
  if ! "$target" -max_total_time="$FUZZ_SECONDS" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 "$work" > "build-fuzz/fuzz-$name.log" 2>&1; then
    tail -50 "build-fuzz/fuzz-$name.log"
    echo "fuzz target $name FAILED"
    status=1
  else
    grep -E 'stat::number_of_executed_units' "build-fuzz/fuzz-$name.log" || true
  fi
done

ctest --test-dir build --output-on-failure -j"$JOBS" || status=1
exit $status

#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehaviorSanitizer,
# in build-fuzz) and runs each one for a bounded time, starting from its committed
# seeds in a scratch copy so the committed corpus stays as it is. Fails on the first
# target that finds a crash, hang, leak, undefined behaviour or memory blow-up.
#
#   scripts/fuzz.sh [seconds-per-target] [target...]
#
# Default: 30 seconds for every target. A finding's input is kept in build-fuzz/findings/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

seconds="${1:-30}"
shift || true
jobs="${JOBS:-2}"
build="$root/build-fuzz"

echo "== Fuzz build (clang, ASan + UBSan)"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDEWATCH_FUZZ=ON >/dev/null
ninja -C "$build" -j "$jobs"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in fuzz/*.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$build/findings"
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

failed=()
for t in "${targets[@]}"; do
  echo "== fuzz_$t for ${seconds}s"
  mkdir -p "$scratch/$t"
  cp fuzz/corpus/"$t"/* "$scratch/$t/" 2>/dev/null || true
  if "$build/fuzz/fuzz_$t" "$scratch/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -max_len=4096 -print_final_stats=1 -artifact_prefix="$build/findings/$t-" \
       >"$scratch/$t.log" 2>&1; then
    grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb" "$scratch/$t.log" | tr '\n' ' '
    echo
  else
    tail -n 60 "$scratch/$t.log"
    failed+=("$t")
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "Fuzzing found problems in: ${failed[*]} (inputs in $build/findings/)" >&2
  exit 1
fi
echo "== Fuzzing: no findings"

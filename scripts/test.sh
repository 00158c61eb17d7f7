#!/usr/bin/env bash
# Builds everything and runs every test: unit, launcher and end-to-end tests (the
# end-to-end tests start their own IRC server on 127.0.0.1) and the package tests
# (label package: manual page, unit, the Debian package built from this build,
# and, as root, the package installed with an instance joining a private IRC
# server), then the unit tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and last every fuzz target for a short bounded time
# (FUZZ_SECONDS per target, 20 by default; 0 skips them).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

"$root/scripts/deps.sh"

jobs="${JOBS:-$(nproc)}"

echo "== Build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build -j "$jobs"

echo "== Tests"
(cd build && ctest --output-on-failure -j 3 --timeout 600)

echo "== Unit tests under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTIDEWATCH_SANITIZE=ON \
      -DTIDEWATCH_LAUNCHER=OFF -DTIDEWATCH_E2E=OFF >/dev/null
ninja -C build-sanitize -j "$jobs"
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j "$jobs" -L unit --timeout 600)

fuzz_seconds="${FUZZ_SECONDS:-20}"
if [ "$fuzz_seconds" -gt 0 ]; then
  echo "== Fuzz targets, ${fuzz_seconds}s each"
  JOBS="$jobs" "$root/scripts/fuzz.sh" "$fuzz_seconds"
fi

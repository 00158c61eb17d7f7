#!/usr/bin/env bash
# Reproduces every figure of the README's performance table.
#   bench/run.sh [OLD_TIDECORE]
# Builds the release binaries in build/, then runs each benchmark against the
# relay of this tree; with OLD_TIDECORE (a tidecore built from an older tree) it
# also runs the old binary through the same catch-up, idle and latency benchmarks
# and compares the channel bytes of both over one log. Takes about 10 minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
old=${1:-}

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build -j2 tidecore tidewatch-loggen bench_line_processors_bench bench_soak_bench >/dev/null

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "== line processors (Google Benchmark, CPU time per line) =="
./build/bench/bench_line_processors_bench --benchmark_repetitions=3 --benchmark_report_aggregates_only=true 2>/dev/null | grep -E "median|Benchmark"
echo
echo "== memory over 24 hours of virtual time =="
./build/bench/bench_soak_bench 24
echo
echo "== the relay binary =="
python3 bench/bench.py catchup --lines 2000000
python3 bench/bench.py status --lines 2000000
python3 bench/bench.py idle --seconds 60
python3 bench/bench.py latency --samples 20
python3 bench/bench.py rss
if [ -n "$old" ]; then
  echo
  echo "== the old binary: $old =="
  # The old connected catch-up runs at a few thousand lines a second: a shorter log.
  python3 bench/bench.py --binary "$old" catchup --lines 200000
  python3 bench/bench.py --binary "$old" idle --seconds 60
  python3 bench/bench.py --binary "$old" latency --samples 20
  python3 bench/bench.py --binary "$old" rss
  echo
  python3 bench/bench.py compare "$old" build/tidecore
fi

#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz/ and runs each for the given
# number of seconds (default 60), starting from the seed and regression inputs
# in tests/fuzz/corpus/<target>/. Fails when any target finds a crash or a
# broken invariant; the input is left in build-fuzz/findings/<target>/ (add it
# to the corpus once fixed, so that it stays a regression input).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
jobs=$(nproc)
targets=(fuzz_bridge fuzz_settings_normalize fuzz_defaults_file fuzz_devserver_parser
  fuzz_devserver_request)

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DVUKO_FUZZ=ON -DVUKO_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1 -g" >/dev/null
cmake --build build-fuzz -j"$jobs" --target "${targets[@]}" >/dev/null

status=0
report=()
for t in "${targets[@]}"; do
  seeds=tests/fuzz/corpus/$t
  work=build-fuzz/corpus/$t
  findings=build-fuzz/findings/$t
  mkdir -p "$work" "$findings"
  log=build-fuzz/$t.log
  echo "== $t ($seconds s)"
  # Leaks are reported by the other sanitizer builds; here they would stop a
  # run on the GLib type system's one-time allocations.
  if ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
    "build-fuzz/tests/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$work" "$seeds" >"$log" 2>&1; then
    result="no findings"
  else
    result="FINDING (see $log and $findings/)"
    status=1
    tail -n 40 "$log"
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  report+=("$(printf '%-26s %12s executions  %s' "$t" "${runs:-?}" "$result")")
done
printf '%s\n' "${report[@]}"
exit $status

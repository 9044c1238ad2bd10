#!/usr/bin/env bash
# Runs the fault tests (SIGKILL of the settings writer and of vuko-devserver,
# a full disk for the settings file) with more kills than CI does: 100 by
# default. Needs a build in build/ (scripts/test.sh or cmake --build build).
set -euo pipefail
cd "$(dirname "$0")/.."
kills=${1:-100}
cmake --build build --target fault_tests vuko-devserver >/dev/null
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
VUKO_FAULT_KILLS=$kills build/tests/fault_tests --gtest_color=no >"$log" 2>&1 || status=1
grep -E '^(settings writer|devserver):|^\[ *(OK|FAILED|SKIPPED) *\]|Failure' "$log" || true
exit $status

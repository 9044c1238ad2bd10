#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: unit and HTTP tests
# in a normal and a sanitizer build, then the tests that need a display and a
# session bus under Xvfb, the Wayland session under sway, and last the Debian
# package.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVUKO_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs" --target unit_tests net_tests devserver_tests integration_asan_tests

status=0
echo "== sanitizer build: unit and HTTP tests"
ASAN_OPTIONS=detect_leaks=0 ctest --test-dir build-asan -L 'unit|net' --output-on-failure -j"$jobs" || status=1
echo "== unit, HTTP and stand-in server tests"
ctest --test-dir build -L 'unit|net' --output-on-failure -j"$jobs" --timeout 120 || status=1
echo "== faults: SIGKILL of writers, a full disk"
ctest --test-dir build -L fault --output-on-failure --timeout 120 || status=1
echo "== fuzz targets, 20 s each"
scripts/fuzz.sh 20 || status=1
# One at a time: these share one X display, its key grabs and its focus.
echo "== tests with a display and a session bus"
scripts/with-display.sh ctest --test-dir build -L integration --output-on-failure --timeout 180 || status=1
echo "== the floating windows on a Wayland compositor with layer-shell"
scripts/with-sway.sh build/tests/integration_tests --gtest_filter='LayerWindows.*' || status=1
echo "== sanitizer build: hot-key service and web view with a display"
scripts/with-display.sh ctest --test-dir build-asan -L integration --output-on-failure || status=1
echo "== end-to-end: the client's self-test run against the stand-in server"
scripts/e2e.sh || status=1
echo "== Wayland session (sway): global shortcuts through the portal, and without it"
VUKO_SWAY_PORTAL=1 VUKO_SWAY_OUT=build/wayland/portal \
  scripts/with-sway.sh tests/wayland/portal_scenario.py build || status=1
VUKO_SWAY_OUT=build/wayland/none scripts/with-sway.sh tests/wayland/portal_scenario.py build ||
  status=1
echo "== Debian package: checks, install, the installed client's self-test, removal"
scripts/package-test.sh || status=1
exit $status

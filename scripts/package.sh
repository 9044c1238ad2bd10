#!/usr/bin/env bash
# Builds the Debian package of the client and its stand-in server into dist/
# from the install rules (CPack). Reuses a configured build (VUKO_BUILD,
# default "build") and builds there only what the package holds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
build=${VUKO_BUILD:-build}
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target vuko vuko-devserver desktop_data
rm -f dist/vuko_*.deb
(cd "$build" && cpack --config CPackConfig.cmake >/dev/null)
ls dist/vuko_*.deb

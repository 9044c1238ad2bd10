#!/usr/bin/env bash
# Installs what is needed, builds, starts the stand-in task server with its
# demo account and runs the client against it. Without a display the client
# runs in a private X display and a screenshot shows what it showed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target vuko vuko-devserver

port=${VUKO_DEMO_PORT:-5300}
data=${XDG_DATA_HOME:-$HOME/.local/share}/vuko-demo
mkdir -p "$data"
build/devserver/vuko-devserver --port "$port" --db "$data/demo.db" --demo &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  curl -sf "http://127.0.0.1:$port/api/health" >/dev/null 2>&1 && break
  kill -0 "$server" 2>/dev/null || { echo "The stand-in server did not start (is port $port taken? set VUKO_DEMO_PORT)."; exit 1; }
  sleep 0.1
done
export VUKO_TEST_SERVER="http://127.0.0.1:$port"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  build/src/vuko
else
  # No display: the client runs its own self-test in a private X display,
  # signed in to the demo account, and leaves a report with snapshots.
  out=$(mktemp -d /tmp/vuko-demo-XXXXXX)
  scripts/with-display.sh env VUKO_TEST_DIR="$out" VUKO_TEST_LOGIN="demo@vuko.local:demo" \
    timeout 300 build/src/vuko >"$out/client.log" 2>&1 || true
  echo "No display: the client ran its self-test in a private X display."
  echo "Report: $out/report.txt (snapshots beside it)"
  cat "$out/report.txt" 2>/dev/null && echo || echo "(no report: see $out/client.log)"
fi

#!/usr/bin/env bash
# Drives vuko-devserver on 127.0.0.1 with 50, then 200 concurrent clients for
# 30 s each (reads, task writes, text parses, reminder polls) and reports
# requests/s, p50/p99 latency, errors, and the server's RSS before and after.
# Usage: scripts/load.sh [seconds] [clients...]   (default: 30 50 200)
# Not part of CI.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
counts=("$@")
((${#counts[@]})) || counts=(50 200)
cmake --build build --target vuko-devserver >/dev/null
tmp=$(mktemp -d)
log=$tmp/server.log
build/devserver/vuko-devserver --port 0 --db "$tmp/load.db" --quiet >"$log" 2>&1 &
server=$!
cleanup() { kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; rm -rf "$tmp"; }
trap cleanup EXIT
for _ in $(seq 100); do grep -q '127.0.0.1:' "$log" && break; sleep 0.1; done
port=$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log" | head -n1)
[ -n "$port" ] || { echo "vuko-devserver did not start"; cat "$log"; exit 1; }
rss() { awk '/^VmRSS/ {print $2 " kB"}' "/proc/$server/status"; }
echo "vuko-devserver on port $port, RSS at start: $(rss)"
for n in "${counts[@]}"; do
  before=$(rss)
  python3 scripts/load.py "$port" "$n" "$seconds"
  echo "  RSS before: $before, after: $(rss)"
done
kill -0 "$server" 2>/dev/null && echo "vuko-devserver still running; health: $(curl -s "http://127.0.0.1:$port/api/health")"

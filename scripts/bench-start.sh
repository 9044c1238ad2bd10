#!/usr/bin/env bash
# Start-up benchmark: a bare web window (scripts/bench/bare.c) and the client,
# run alternately N times each against the same page of the stand-in task
# server, signed in to its demo account. Prints medians and ratios of: launch
# to first painted page, launch to first useful frame (the client's picture of
# the last page), PSS of the process tree at rest, and the client's PSS once
# its hidden page has slept. A measurement, not a test: nothing is asserted.
#
# Usage: scripts/bench-start.sh [N]   (VUKO_BENCH_REST: seconds at rest, 5;
#                                      VUKO_BENCH_SLEEP: hibernation delay, 3;
#                                      VUKO_BENCH_KEEP: keep the temp folder;
#                                      VUKO_BENCH_BUILD: build folder, build;
#                                      VUKO_BENCH_TRACE: each run's steps and
#                                      processes; VUKO_BENCH_SMAPS=PATH: both
#                                      main processes' maps at rest, PATH.bare
#                                      and PATH.client)
# The client prints its time stamps when VUKO_BENCH is set (platform/BenchMarks).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ]; then exec scripts/with-display.sh "$0" "$@"; fi
n=${1:-3}
rest=${VUKO_BENCH_REST:-5}
delay=${VUKO_BENCH_SLEEP:-3}

# The build users run (as scripts/test.sh makes it), not a debug one.
build=${VUKO_BENCH_BUILD:-build}
[ -d "$build" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target vuko vuko-devserver desktop_data >/dev/null
bare=$build/bench-bare
gcc -O2 -Wall -Wextra -I src -o "$bare" scripts/bench/bare.c $(pkg-config --cflags --libs webkit2gtk-4.1)

root=$(mktemp -d /tmp/vuko-bench-XXXXXX)
port=${VUKO_BENCH_PORT:-5310}
"$build/devserver/vuko-devserver" --port "$port" --db "$root/bench.db" --demo >"$root/server.log" 2>&1 &
server=$!
client=
cleanup() {
  [ -n "$client" ] && kill "$client" 2>/dev/null || true
  kill "$server" 2>/dev/null || true
  [ -n "${VUKO_BENCH_KEEP:-}" ] && echo "kept $root" >&2 || rm -rf "$root"
}
trap cleanup EXIT
for _ in $(seq 100); do
  curl -sf "http://127.0.0.1:$port/api/health" >/dev/null 2>&1 && break
  sleep 0.1
done
url="http://127.0.0.1:$port"
export XDG_DATA_HOME=$root/data XDG_CONFIG_HOME=$root/config XDG_CACHE_HOME=$root/cache
mkdir -p "$XDG_CONFIG_HOME/vuko"
echo "{\"hibernateAfterSeconds\": $delay}" >"$XDG_CONFIG_HOME/vuko/defaults.json"

now() { date +%s%3N; }
# PSS in KiB of a process and everything below it.
treePss() {
  local total=0 p kib
  for p in $1 $(pgrep -P "$1" 2>/dev/null); do
    [ "$p" = "$1" ] || { total=$((total + $(treePss "$p"))); continue; }
    kib=$(awk '/^Pss:/ {print $2}' "/proc/$p/smaps_rollup" 2>/dev/null || echo 0)
    total=$((total + ${kib:-0}))
  done
  echo "$total"
}
# Waits up to $2 seconds for a line in file $1 matching $3; prints its last field.
await() {
  for _ in $(seq $(($2 * 20))); do
    if grep -q "$3" "$1" 2>/dev/null; then grep -m1 "$3" "$1" | awk '{print $NF}'; return; fi
    sleep 0.05
  done
  echo "timed out waiting for '$3' in $1" >&2
  return 1
}
# With VUKO_BENCH_TRACE, each process of the tree with its PSS and RSS.
traceTree() {
  [ -n "${VUKO_BENCH_TRACE:-}" ] || return 0
  local p
  for p in $1 $(pgrep -P "$1" 2>/dev/null); do
    awk -v p="$p" -v c="$(cat /proc/$p/comm 2>/dev/null)" '/^(Pss|Rss|Pss_Anon|Pss_File):/ {o = o " " $1 $2} END {print "  " p " " c o}' "/proc/$p/smaps_rollup" >&2 2>/dev/null || true
  done
}
webProcesses() { pgrep -f WebKitWebProcess -P "$1" 2>/dev/null | wc -l; }
hideClient() {
  local w
  w=$(xdotool search --sync --onlyvisible --pid "$1" | head -n1)
  xdotool windowactivate --sync "$w" key alt+F4
}
runClient() {
  local log=$root/client.log
  : >"$log"
  VUKO_BENCH=1 VUKO_TEST_SERVER=$url "$build/src/vuko" 2>"$log" &
  client=$!
}
endClient() {
  kill "$client" 2>/dev/null || true
  wait "$client" 2>/dev/null || true
  client=
}

# One client run: launch, the first frames, rest, hide, sleep. Sets f u p h
# (h empty when the page never slept).
clientRun() {
  local t0
  t0=$(now)
  runClient
  f=$(($(await "$root/client.log" 60 'first-frame') - t0))
  u=$(await "$root/client.log" 1 'cover-shown' 2>/dev/null || echo)
  u=$([ -n "$u" ] && echo $((u - t0)) || echo "$f")
  [ -n "${VUKO_BENCH_TRACE:-}" ] && awk -v t0="$t0" '/^bench / {printf "%s %d; ", $2, $3 - t0} END {print ""}' "$root/client.log" >&2
  sleep "$rest"
  p=$(treePss "$client")
  traceTree "$client"
  [ -n "${VUKO_BENCH_SMAPS:-}" ] && cp "/proc/$client/smaps" "$VUKO_BENCH_SMAPS.client"
  hideClient "$client"
  # Reminders turn native at their first poll with the token; a task added
  # from the quick panel brings that poll forward, as a user's would.
  VUKO_TEST_SERVER=$url "$build/src/vuko" --quick 2>/dev/null
  sleep 1
  xdotool type --delay 20 "bench $(now)"
  xdotool key Return
  h=
  for _ in $(seq $(((delay + 30) * 10))); do
    [ "$(webProcesses "$client")" = 0 ] && { sleep 2; h=$(treePss "$client"); traceTree "$client"; break; }
    sleep 0.1
  done
  endClient
}

# A first run signs in, typed into the page as a user would, and quits from
# the keyboard so that the engine keeps the page's storage; a second leaves
# the picture of the signed-in page. Neither is counted.
runClient
await "$root/client.log" 60 'first-frame' >/dev/null
sleep 1
w=$(xdotool search --sync --onlyvisible --pid "$client" | head -n1)
xdotool windowactivate --sync "$w" type --delay 20 demo@vuko.local
xdotool key Tab type --delay 20 demo
xdotool key Return
sleep 3
xdotool key ctrl+q
wait "$client" || true
client=
clientRun

bf=() bp=() cf=() cu=() cp=() ch=()
for i in $(seq "$n"); do
  t0=$(now)
  out=$(VUKO_BENCH_SMAPS=${VUKO_BENCH_SMAPS:+$VUKO_BENCH_SMAPS.bare} "$bare" "$url/today" "$rest" "$XDG_DATA_HOME/vuko/web")
  bf+=($(($(awk '/first-frame/ {print $3}' <<<"$out") - t0)))
  [ -n "${VUKO_BENCH_TRACE:-}" ] && awk -v t0="$t0" '/^bench t-|first-frame/ {printf "%s %d; ", $2, $3 - t0} END {print ""}' <<<"$out" >&2
  bp+=($(awk '/pss-kib/ {print $3}' <<<"$out"))
  clientRun
  cf+=("$f")
  cu+=("$u")
  cp+=("$p")
  [ -n "$h" ] && ch+=("$h") || echo "run $i: the client's page did not sleep" >&2
  echo "run $i: bare ${bf[-1]} ms ${bp[-1]} KiB; client $f ms (useful $u ms) $p KiB, asleep ${h:-?} KiB" >&2
done

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {if (NR == 0) print "nan"; else if (NR % 2) print a[(NR+1)/2]; else print (a[NR/2]+a[NR/2+1])/2}'; }
mib() { awk -v k="$1" 'BEGIN {printf "%.1f MiB", k / 1024}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.2f×", a / b; else print "-"}'; }
mbf=$(median "${bf[@]}"); mcf=$(median "${cf[@]}"); mcu=$(median "${cu[@]}")
mbp=$(median "${bp[@]}"); mcp=$(median "${cp[@]}"); mch=$(median "${ch[@]}")
printf '%-32s %14s %14s %8s\n' "median of $n" "bare" "vuko" "ratio"
printf '%-32s %11s ms %11s ms %8s\n' "launch → first frame" "$mbf" "$mcf" "$(ratio "$mcf" "$mbf")"
printf '%-32s %11s ms %11s ms %8s\n' "launch → first useful frame" "$mbf" "$mcu" "$(ratio "$mcu" "$mbf")"
printf '%-32s %14s %14s %8s\n' "PSS at rest" "$(mib "$mbp")" "$(mib "$mcp")" "$(ratio "$mcp" "$mbp")"
printf '%-32s %14s %14s %8s\n' "PSS hidden ${delay} s + asleep" "-" "$(mib "$mch")" "$(ratio "$mch" "$mbp")"

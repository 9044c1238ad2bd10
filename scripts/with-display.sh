#!/usr/bin/env bash
# Runs a command inside a private X display (Xvfb with a light window
# manager) and a private D-Bus session bus, and stops both afterwards.
set -euo pipefail
tmp=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb=$!
# Services the private bus started (a document portal, say) outlive it and
# would hold the caller's output open; they carry this mark in their
# environment and are ended with the display.
export VUKO_DISPLAY_SESSION="$tmp"
endMarked() {
  for dir in /proc/[0-9]*; do
    [ "${dir#/proc/}" = "$$" ] && continue
    grep -qzx "VUKO_DISPLAY_SESSION=$tmp" "$dir/environ" 2>/dev/null && kill "${dir#/proc/}" 2>/dev/null
  done
  return 0
}
cleanup() {
  endMarked
  kill "$xvfb" 2>/dev/null || true
  [ -n "${wm:-}" ] && kill "$wm" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { echo "Xvfb did not start:"; cat "$tmp/xvfb.log"; exit 1; }
export DISPLAY=":$(head -n1 "$tmp/display")"
export GDK_BACKEND=x11 NO_AT_BRIDGE=1 LANG=C.UTF-8
# Windows mapped before the window manager runs are placed and focused
# differently; wait until it has announced itself on the root window. On a
# busy machine the display may refuse the first connection, so openbox gets
# a few tries.
wmReady() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
for _ in 1 2 3; do
  openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
  wm=$!
  for _ in $(seq 200); do
    wmReady && break
    kill -0 "$wm" 2>/dev/null || break
    sleep 0.1
  done
  wmReady && break
  kill "$wm" 2>/dev/null || true
  sleep 0.5
done
wmReady || { echo "openbox did not take the screen:"; cat "$tmp/openbox.log"; exit 1; }
status=0
dbus-run-session -- "$@" || status=$?
exit $status

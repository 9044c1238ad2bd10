#!/usr/bin/env bash
# Runs a command inside a headless Wayland session: sway on a 1280x800
# output, a private session bus, and a home and runtime directory of its own,
# so nothing touches the real user's files. sway refuses to run as root, so
# as root the session (and the command) runs as the unprivileged user
# "vukotest", created on first use.
#   VUKO_SWAY_PORTAL=1  also start the real portal frontend with the test
#                       shortcuts backend (tests/support/fake_portal.py)
#   VUKO_SWAY_OUT=dir   copy what the command left in $VUKO_SWAY_FILES there
# Inside, the command finds WAYLAND_DISPLAY, SWAYSOCK and VUKO_SWAY_FILES set.
# What the bus's services and sway print goes to session.log among the files.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" != "--inside" ]; then
  tmp=$(mktemp -d)
  chmod 0755 "$tmp"
  # Services the private bus started outlive it; they carry this mark in
  # their environment and are ended with the session.
  export VUKO_SWAY_SESSION="$tmp"
  cleanup() {
    for dir in /proc/[0-9]*; do
      [ "${dir#/proc/}" = "$$" ] && continue
      grep -qzx "VUKO_SWAY_SESSION=$tmp" "$dir/environ" 2>/dev/null && kill "${dir#/proc/}" 2>/dev/null
    done
    if [ -n "${VUKO_SWAY_OUT:-}" ] && [ -d "$tmp/files" ]; then
      mkdir -p "$VUKO_SWAY_OUT"
      cp -r "$tmp/files/." "$VUKO_SWAY_OUT/" 2>/dev/null || true
    fi
    rm -rf "$tmp"
  }
  trap cleanup EXIT
  mkdir -p "$tmp/home" "$tmp/run" "$tmp/files" "$tmp/share"
  chmod 0700 "$tmp/run"
  run=()
  if [ "$(id -u)" -eq 0 ]; then
    id vukotest >/dev/null 2>&1 ||
      useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin vukotest
    chown -R vukotest: "$tmp/home" "$tmp/run" "$tmp/files" "$tmp/share"
    # The build tree and the sources must be readable for that user.
    for d in "$here" "$here"/..; do chmod o+rx "$d" 2>/dev/null || true; done
    run=(setpriv --reuid=vukotest --regid=vukotest --init-groups)
  fi
  # The caller's VUKO_* settings reach the command; nothing else does.
  pass=()
  while IFS= read -r name; do pass+=("$name=${!name}"); done < <(compgen -e | grep '^VUKO_' || true)
  status=0
  env -i "${pass[@]}" PATH="$PATH" LANG=C.UTF-8 HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/run" \
    XDG_CONFIG_HOME="$tmp/home/.config" XDG_DATA_HOME="$tmp/home/.local/share" \
    XDG_CACHE_HOME="$tmp/home/.cache" XDG_STATE_HOME="$tmp/home/.local/state" \
    VUKO_SWAY_SESSION="$tmp" VUKO_SWAY_FILES="$tmp/files" VUKO_SWAY_PORTAL="${VUKO_SWAY_PORTAL:-}" \
    "${run[@]}" dbus-run-session -- "$0" --inside "$@" 5>&2 2>"$tmp/files/session.log" || status=$?
  exit $status
fi

shift
tmp=$VUKO_SWAY_SESSION
log=$XDG_RUNTIME_DIR/sway.log
cat >"$XDG_RUNTIME_DIR/sway.conf" <<'EOF'
output HEADLESS-1 resolution 1280x800
output * bg #3a4a5a solid_color
EOF
WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
  sway -c "$XDG_RUNTIME_DIR/sway.conf" >"$log" 2>&1 &
sway=$!
for _ in $(seq 200); do
  sock=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock 2>/dev/null | head -n1 || true)
  wl=$(cd "$XDG_RUNTIME_DIR" && ls wayland-[0-9] 2>/dev/null | head -n1 || true)
  [ -n "$sock" ] && [ -n "$wl" ] && swaymsg -s "$sock" -t get_outputs >/dev/null 2>&1 && break
  kill -0 "$sway" 2>/dev/null || break
  sleep 0.1
done
[ -n "${sock:-}" ] && [ -n "${wl:-}" ] || { echo "sway did not start:"; cat "$log"; exit 1; }
export SWAYSOCK=$sock WAYLAND_DISPLAY=$wl GDK_BACKEND=wayland NO_AT_BRIDGE=1
unset DISPLAY

if [ -n "$VUKO_SWAY_PORTAL" ]; then
  # The frontend picks the backend whose UseIn names the current desktop; it
  # reads them from XDG_DESKTOP_PORTAL_DIR (1.16) or XDG_DATA_DIRS (newer).
  mkdir -p "$tmp/share/xdg-desktop-portal/portals"
  cat >"$tmp/share/xdg-desktop-portal/portals/vukotest.portal" <<'EOF'
[portal]
DBusName=org.freedesktop.impl.portal.desktop.vukotest
Interfaces=org.freedesktop.impl.portal.GlobalShortcuts;
UseIn=vukotest
EOF
  export XDG_CURRENT_DESKTOP=vukotest XDG_DATA_DIRS="$tmp/share:/usr/share" \
    XDG_DESKTOP_PORTAL_DIR="$tmp/share/xdg-desktop-portal/portals"
  python3 "$here/tests/support/fake_portal.py" 2>"$XDG_RUNTIME_DIR/fake_portal.log" &
  for _ in $(seq 100); do
    gdbus introspect --session --dest org.freedesktop.impl.portal.desktop.vukotest \
      --object-path /app/vuko/test/Shortcuts >/dev/null 2>&1 && break
    sleep 0.1
  done
  # The frontend is started by the bus on first use, with this environment.
  dbus-update-activation-environment XDG_CURRENT_DESKTOP XDG_DATA_DIRS XDG_DESKTOP_PORTAL_DIR WAYLAND_DISPLAY \
    GDK_BACKEND VUKO_SWAY_SESSION
  for _ in $(seq 100); do
    gdbus introspect --session --dest org.freedesktop.portal.Desktop \
      --object-path /org/freedesktop/portal/desktop 2>/dev/null |
      grep -q org.freedesktop.portal.GlobalShortcuts && break
    sleep 0.1
  done
  gdbus introspect --session --dest org.freedesktop.portal.Desktop \
    --object-path /org/freedesktop/portal/desktop | grep -q org.freedesktop.portal.GlobalShortcuts || {
    echo "the portal offers no global shortcuts:"
    cat "$XDG_RUNTIME_DIR/fake_portal.log"
    exit 1
  }
fi

status=0
"$@" 2>&5 || status=$?
kill "$sway" 2>/dev/null || true
exit $status

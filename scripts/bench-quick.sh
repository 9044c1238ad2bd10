#!/usr/bin/env bash
# Measures how long the quick panel takes to open from its hot key: from the
# key press (sent through XTEST while another program has the focus) until
# the panel is mapped and holds the keyboard focus. Runs the built client
# against the stand-in task server in a private X display with openbox, and
# prints the median and the maximum of 20 presses (in milliseconds).
#   scripts/bench-quick.sh            (after building vuko and vuko-devserver)
#   VUKO_BENCH_PRESSES=50 scripts/bench-quick.sh
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" != "--inside" ]; then
  exec scripts/with-display.sh "$0" --inside
fi
for bin in build/src/vuko build/devserver/vuko-devserver; do
  [ -x "$bin" ] || { echo "Build first: $bin is missing."; exit 1; }
done

tmp=$(mktemp -d /tmp/vuko-bench-XXXXXX)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$tmp"; }
trap cleanup EXIT

build/devserver/vuko-devserver --port 0 --db "$tmp/dev.db" --demo --quiet >"$tmp/server.out" &
pids+=($!)
for _ in $(seq 100); do grep -q 'http://' "$tmp/server.out" 2>/dev/null && break; sleep 0.1; done
server=$(grep -o 'http://127.0.0.1:[0-9]*' "$tmp/server.out" | head -n1)
[ -n "$server" ] || { echo "The stand-in server did not start."; exit 1; }

mkdir -p "$tmp/home"
HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data" \
  XDG_CACHE_HOME="$tmp/cache" VUKO_TEST_SERVER="$server" build/src/vuko &
pids+=($!)
xlogo &
pids+=($!)

find_window() {
  for _ in $(seq 300); do
    id=$(xdotool search --name "$1" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return; }
    sleep 0.1
  done
  echo "No window named $1." >&2
  exit 1
}
other=$(find_window '^xlogo$')
find_window '^Vuko$' >/dev/null
panel=$(find_window '^Быстрая задача$')
# Let the main page finish loading so the figures are those of an idle client.
sleep 3

python3 - "$panel" "$other" "${VUKO_BENCH_PRESSES:-20}" <<'PY'
import ctypes, statistics, sys, time

panel, other, presses = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
x = ctypes.CDLL("libX11.so.6")
xtst = ctypes.CDLL("libXtst.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x.XStringToKeysym.argtypes = [ctypes.c_char_p]
x.XStringToKeysym.restype = ctypes.c_ulong
x.XFlush.argtypes = [ctypes.c_void_p]
x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
x.XGetInputFocus.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_ulong),
                             ctypes.POINTER(ctypes.c_int)]
x.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]

class Attributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int), ("depth", ctypes.c_int),
                ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong), ("c_class", ctypes.c_int),
                ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
                ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
                ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]
x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(Attributes)]

dpy = x.XOpenDisplay(None)
keys = [x.XKeysymToKeycode(dpy, x.XStringToKeysym(k)) for k in (b"Control_L", b"Alt_L", b"space")]
escape = x.XKeysymToKeycode(dpy, x.XStringToKeysym(b"Escape"))
IS_VIEWABLE = 2

x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                         ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p),
                         ctypes.POINTER(ctypes.c_uint)]
x.XFree.argtypes = [ctypes.c_void_p]

def parent(window):
    root, up, kids, n = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p(), ctypes.c_uint()
    if not x.XQueryTree(dpy, window, ctypes.byref(root), ctypes.byref(up), ctypes.byref(kids),
                        ctypes.byref(n)):
        return 0
    if kids.value:
        x.XFree(kids)
    return up.value

def focused():
    """The top-level window that holds the focus (the toolkit may give it to a child)."""
    w, revert = ctypes.c_ulong(), ctypes.c_int()
    x.XGetInputFocus(dpy, ctypes.byref(w), ctypes.byref(revert))
    focus = w.value
    if focus in (panel, other) or focus <= 1:
        return focus
    up = parent(focus)
    return up if up in (panel, other) else focus

def viewable(window):
    a = Attributes()
    return x.XGetWindowAttributes(dpy, window, ctypes.byref(a)) and a.map_state == IS_VIEWABLE

def tap(codes):
    for c in codes:
        xtst.XTestFakeKeyEvent(dpy, c, 1, 0)
    for c in reversed(codes):
        xtst.XTestFakeKeyEvent(dpy, c, 0, 0)
    x.XFlush(dpy)

def wait(cond, limit=5.0):
    end = time.monotonic() + limit
    while not cond():
        if time.monotonic() > end:
            return False
        time.sleep(0.0005)
    return True

times = []
for i in range(presses):
    # The other program has the focus before each press, as it would have.
    x.XSetInputFocus(dpy, other, 1, 0)
    x.XSync(dpy, 0)
    if not wait(lambda: focused() == other):
        sys.exit("the other program did not get the focus")
    start = time.monotonic()
    tap(keys)
    if not wait(lambda: viewable(panel) and focused() == panel):
        sys.exit("press %d: the panel did not open with the focus (viewable %s, focus %#x)"
                 % (i + 1, bool(viewable(panel)), focused()))
    times.append((time.monotonic() - start) * 1000)
    tap([escape])
    if not wait(lambda: not viewable(panel)):
        sys.exit("press %d: Escape did not close the panel" % (i + 1))
    time.sleep(0.2)

print("quick panel, hot key to focused field, %d presses: median %.1f ms, max %.1f ms"
      % (presses, statistics.median(times), max(times)))
print("all: " + " ".join("%.1f" % t for t in times))
PY

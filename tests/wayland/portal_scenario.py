#!/usr/bin/env python3
# Global shortcuts in a Wayland session, as a user meets them; runs inside
# scripts/with-sway.sh, argument: the build directory. First the client's own
# run reads the page's hot-key list: with the portal (VUKO_SWAY_PORTAL=1) the
# keys the desktop bound, without it the keys marked as not registered. With
# the portal then: three shortcuts bound with their triggers; "quick" shows
# the panel focused, a typed line and Enter make the task on the server;
# "show" brings back the closed main window, focused.
import json, os, re, subprocess, sys, tempfile, threading, time, urllib.request
from gi.repository import Gio, GLib

build, files = sys.argv[1], os.environ['VUKO_SWAY_FILES']
with_portal = os.environ.get('VUKO_SWAY_PORTAL') == '1'
failures = []


def check(ok, what):
    print(f"wayland: {'ok' if ok else 'FAIL'}: {what}", flush=True)
    failures.extend([] if ok else [what])


def wait(cond, seconds=20):
    end = time.monotonic() + seconds
    while not (value := cond()) and time.monotonic() < end:
        time.sleep(0.1)
    return value


def window(name, focused=False):
    stack = [json.loads(subprocess.run(['swaymsg', '-t', 'get_tree', '-r'], capture_output=True).stdout)]
    while stack:
        n = stack.pop()
        if n.get('pid') and n.get('name') == name and n.get('visible') and (n.get('focused') or not focused):
            return n
        stack += n.get('nodes', []) + n.get('floating_nodes', [])


def wtype(*args):
    # A key sent before the client has the new virtual keyboard's keymap is
    # lost, and the web view drops keys that come too fast.
    subprocess.run(['wtype', '-s', '300', '-d', '40', *args], check=True)


server = subprocess.Popen(['stdbuf', '-oL', f'{build}/devserver/vuko-devserver', '--port', '0', '--db',
                           tempfile.mkdtemp() + '/tasks.db', '--demo'], stdout=subprocess.PIPE, text=True)
url = next(m.group(1) for line in server.stdout if (m := re.match(r'vuko-devserver: (http:\S+)', line)))
log = []  # the server's "METHOD path status" lines
threading.Thread(target=lambda: log.extend(server.stdout), daemon=True).start()
requested = lambda prefix: any(r.startswith(prefix) for r in list(log))


def api(method, path, body=None, token=None):
    req = urllib.request.Request(url + '/api' + path, json.dumps(body).encode() if body else None, method=method,
                                 headers={'Content-Type': 'application/json', 'Authorization': f'Bearer {token}'})
    with urllib.request.urlopen(req, timeout=10) as r:
        return json.load(r)


env = dict(os.environ, VUKO_TEST_SERVER=url)
report = os.path.join(files, 'selftest')
os.makedirs(report)
run = subprocess.run([f'{build}/src/vuko'], timeout=240,
                     env=dict(env, VUKO_TEST_DIR=report, VUKO_TEST_LOGIN='demo@vuko.local:demo'))
keys = next((l for l in open(report + '/report.txt') if l.startswith('раздел «Горячие клавиши»')), '')
print('wayland:', keys.strip())
row = 'Помодоро поверх всех окон | ' + ('CTRL+ALT+p | ' if with_portal else 'Ctrl+Alt+P — не зарегистрировано')
check(run.returncode == 0 and row in keys, f'the page lists the focus key as «{row}»')

# The protocol log shows which activation token the client handed the compositor.
wire = open(files + '/client-wayland.log', 'w')
client = subprocess.Popen([f'{build}/src/vuko'], env=dict(env, WAYLAND_DEBUG='1'), stderr=wire) if with_portal else None
try:
    if client:
        main = wait(lambda: window('Vuko', focused=True), 40)
        check(bool(main), 'the main window is shown, focused')
        check(main and main.get('app_id') == 'app.vuko.Vuko', f"app_id {main and main.get('app_id')}")
        wait(lambda: requested('GET /static/login.js'), 40)
        for attempt in range(3):  # the address field has the focus once the page is in
            time.sleep(1 + attempt)
            wtype('-M', 'ctrl', 'a', '-m', 'ctrl', 'demo@vuko.local', '-k', 'Tab',
                  '-M', 'ctrl', 'a', '-m', 'ctrl', 'demo', '-k', 'Return')
            if wait(lambda: requested('POST /api/auth/login 200'), 10):
                break
            wtype('-M', 'shift', '-k', 'Tab', '-m', 'shift')
        check(requested('POST /api/auth/login 200'), 'signed in through the page')

        bus = Gio.bus_get_sync(Gio.BusType.SESSION)
        backend = lambda method, args=None, reply=None: bus.call_sync(
            'org.freedesktop.impl.portal.desktop.vukotest', '/app/vuko/test/Shortcuts', 'app.vuko.test.Shortcuts',
            method, args, GLib.VariantType(reply) if reply else None, 0, 5000, None)
        bound = wait(lambda: json.loads(backend('Bound', reply='(s)').unpack()[0]))
        check(bound == {'quick': {'description': 'Быстрая задача из любой программы', 'trigger': 'CTRL+ALT+space'},
                        'show': {'description': 'Показать окно Vuko', 'trigger': ''},
                        'focus': {'description': 'Помодоро поверх всех окон', 'trigger': 'CTRL+ALT+p'}},
              f'the desktop was asked to bind the three shortcuts: {bound}')

        token = api('POST', '/auth/login', {'email': 'demo@vuko.local', 'password': 'demo'})['token']
        wait(lambda: requested('GET /api/tasks'))  # the signed-in page
        backend('Activate', GLib.Variant('(ss)', ('quick', 'token-from-desktop')))
        # The panel is built on its first use, as a layer surface: no window
        # of the compositor's, so no title bar; the typing below shows it has
        # the keyboard.
        layer = re.compile(r'get_layer_surface\(.*"vuko-quick"')
        check(bool(wait(lambda: any(layer.search(l) for l in open(wire.name)))),
              'the "quick" shortcut shows the panel as a layer surface')
        check(not window('Быстрая задача'), 'the panel has no title bar of the compositor')
        check(bool(wait(lambda: '.activate("token-from-desktop", ' in open(wire.name).read())),
              "the panel is presented with the desktop's activation token")
        wtype('купить хлеб завтра')
        time.sleep(1.5)  # the preview follows a pause in typing
        subprocess.run(['grim', files + '/wayland-panel.png'])
        wtype('-k', 'Return')
        check(wait(lambda: any('купить хлеб' in t['title'].lower() for t in api('GET', '/tasks', token=token)['items'])),
              'the typed line and Enter made the task on the server')

        subprocess.run(['swaymsg', f"[con_id={window('Vuko')['id']}] kill"], capture_output=True)
        check(wait(lambda: not window('Vuko'), 10), 'closing the main window hides it')
        backend('Activate', GLib.Variant('(ss)', ('show', '')))
        check(bool(wait(lambda: window('Vuko', focused=True))), 'the "show" shortcut brings the main window back, focused')
        time.sleep(1)
        subprocess.run(['grim', files + '/wayland-main.png'])
finally:
    for p in filter(None, [client, server]):
        p.terminate()
        p.wait(10)
print(f'wayland: {len(failures)} failed' if failures else 'wayland: passed')
sys.exit(1 if failures else 0)

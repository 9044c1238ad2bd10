#!/usr/bin/env python3
# A desktop's global-shortcuts backend for the real portal frontend: binds each
# shortcut to its preferred trigger and records the set. Control object
# /app/vuko/test/Shortcuts: Bound() -> JSON {id: {description, trigger}};
# Activate(id, token) emits Activated on every session, the token (if any) as
# options["activation_token"].
import json
import time

from gi.repository import Gio, GLib

SIG = '<arg type="o"/><arg type="s"/><arg type="t"/><arg type="a{sv}"/>'
REQ = '<arg type="o" direction="in"/><arg type="o" direction="in"/>'
OUT = '<arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>'
node = Gio.DBusNodeInfo.new_for_xml(f'''<node>
<interface name="org.freedesktop.impl.portal.GlobalShortcuts">
 <method name="CreateSession">{REQ}<arg type="s" direction="in"/><arg type="a{{sv}}" direction="in"/>{OUT}</method>
 <method name="BindShortcuts">{REQ}<arg type="a(sa{{sv}})" direction="in"/><arg type="s" direction="in"/>
  <arg type="a{{sv}}" direction="in"/>{OUT}</method>
 <method name="ListShortcuts">{REQ}{OUT}</method>
 <signal name="Activated">{SIG}</signal><signal name="Deactivated">{SIG}</signal>
 <signal name="ShortcutsChanged"><arg type="o"/><arg type="a(sa{{sv}})"/></signal>
 <property name="version" type="u" access="read"/>
</interface>
<interface name="org.freedesktop.impl.portal.Session">
 <method name="Close"/><signal name="Closed"/><property name="version" type="u" access="read"/>
</interface>
<interface name="app.vuko.test.Shortcuts">
 <method name="Bound"><arg type="s" direction="out"/></method>
 <method name="Activate"><arg type="s" direction="in"/><arg type="s" direction="in"/></method>
</interface></node>''')
shortcuts_iface, session_iface, control_iface = node.interfaces
sessions, bound = {}, {}


def answer(invocation, results):
    invocation.return_value(GLib.Variant('(ua{sv})', (0, results)))


def bound_list():
    return GLib.Variant('a(sa{sv})', [(i, {'description': GLib.Variant('s', s['description']),
                                           'trigger_description': GLib.Variant('s', s['trigger'])})
                                      for i, s in bound.items()])


def on_call(conn, sender, path, iface, method, params, invocation):
    args = params.unpack()
    if method == 'CreateSession':
        sessions[args[1]] = conn.register_object(args[1], session_iface, on_call, on_property, None)
        answer(invocation, {'session_handle': GLib.Variant('s', args[1])})
    elif method == 'Close':
        if path in sessions:
            conn.unregister_object(sessions.pop(path))
        invocation.return_value(None)
    elif method == 'BindShortcuts':
        bound.clear()
        bound.update({i: {'description': p.get('description', ''), 'trigger': p.get('preferred_trigger', '')}
                      for i, p in args[2]})
        answer(invocation, {'shortcuts': bound_list()})
    elif method == 'ListShortcuts':
        answer(invocation, {'shortcuts': bound_list()})
    elif method == 'Bound':
        invocation.return_value(GLib.Variant('(s)', (json.dumps(bound, ensure_ascii=False),)))
    elif method == 'Activate':
        options = {'activation_token': GLib.Variant('s', args[1])} if args[1] else {}
        for handle in sessions:
            conn.emit_signal(None, '/org/freedesktop/portal/desktop', shortcuts_iface.name, 'Activated',
                             GLib.Variant('(osta{sv})', (handle, args[0], int(time.monotonic() * 1000), options)))
        invocation.return_value(None)


def on_property(*_):
    return GLib.Variant('u', 1)


def on_bus(conn, _name):
    conn.register_object('/org/freedesktop/portal/desktop', shortcuts_iface, on_call, on_property, None)
    conn.register_object('/app/vuko/test/Shortcuts', control_iface, on_call, None, None)


loop = GLib.MainLoop()
Gio.bus_own_name(Gio.BusType.SESSION, 'org.freedesktop.impl.portal.desktop.vukotest',
                 Gio.BusNameOwnerFlags.NONE, on_bus, None, lambda *_: loop.quit())
loop.run()

#!/usr/bin/env python3
"""A desktop's global-shortcuts backend for the real portal frontend, on the
session bus: it binds every shortcut to its preferred trigger, records what
it was asked to bind, and emits Activated when a test asks it to.

Control object /app/vuko/test/Shortcuts (interface app.vuko.test.Shortcuts):
  Bound() -> s          the last bound set as JSON: {id: {description, trigger}}
  Activate(s id, s token)  emits Activated for id on every session, with
                           the token as options["activation_token"]
"""
import json
import sys
import time

from gi.repository import Gio, GLib

NAME = 'org.freedesktop.impl.portal.desktop.vukotest'
IMPL = '''
<node>
  <interface name="org.freedesktop.impl.portal.GlobalShortcuts">
    <method name="CreateSession">
      <arg type="o" name="handle" direction="in"/>
      <arg type="o" name="session_handle" direction="in"/>
      <arg type="s" name="app_id" direction="in"/>
      <arg type="a{sv}" name="options" direction="in"/>
      <arg type="u" name="response" direction="out"/>
      <arg type="a{sv}" name="results" direction="out"/>
    </method>
    <method name="BindShortcuts">
      <arg type="o" name="handle" direction="in"/>
      <arg type="o" name="session_handle" direction="in"/>
      <arg type="a(sa{sv})" name="shortcuts" direction="in"/>
      <arg type="s" name="parent_window" direction="in"/>
      <arg type="a{sv}" name="options" direction="in"/>
      <arg type="u" name="response" direction="out"/>
      <arg type="a{sv}" name="results" direction="out"/>
    </method>
    <method name="ListShortcuts">
      <arg type="o" name="handle" direction="in"/>
      <arg type="o" name="session_handle" direction="in"/>
      <arg type="u" name="response" direction="out"/>
      <arg type="a{sv}" name="results" direction="out"/>
    </method>
    <signal name="Activated">
      <arg type="o" name="session_handle"/><arg type="s" name="shortcut_id"/>
      <arg type="t" name="timestamp"/><arg type="a{sv}" name="options"/>
    </signal>
    <signal name="Deactivated">
      <arg type="o" name="session_handle"/><arg type="s" name="shortcut_id"/>
      <arg type="t" name="timestamp"/><arg type="a{sv}" name="options"/>
    </signal>
    <signal name="ShortcutsChanged">
      <arg type="o" name="session_handle"/><arg type="a(sa{sv})" name="shortcuts"/>
    </signal>
    <property name="version" type="u" access="read"/>
  </interface>
  <interface name="org.freedesktop.impl.portal.Session">
    <method name="Close"/>
    <signal name="Closed"/>
    <property name="version" type="u" access="read"/>
  </interface>
  <interface name="app.vuko.test.Shortcuts">
    <method name="Bound"><arg type="s" name="json" direction="out"/></method>
    <method name="Activate">
      <arg type="s" name="id" direction="in"/><arg type="s" name="token" direction="in"/>
    </method>
  </interface>
</node>'''

node = Gio.DBusNodeInfo.new_for_xml(IMPL)
shortcuts_iface, session_iface, control_iface = node.interfaces
sessions = {}  # session handle -> registration id of its object
bound = {}


def bound_variant():
    return GLib.Variant('a(sa{sv})', [
        (sid, {'description': GLib.Variant('s', s['description']),
               'trigger_description': GLib.Variant('s', s['trigger'])})
        for sid, s in bound.items()])


def on_call(conn, sender, path, iface, method, params, invocation):
    args = params.unpack()
    if method == 'CreateSession':
        handle = args[1]
        sessions[handle] = conn.register_object(handle, session_iface, on_call, on_property, None)
        invocation.return_value(GLib.Variant('(ua{sv})', (0, {'session_handle': GLib.Variant('s', handle)})))
    elif method == 'Close':
        reg = sessions.pop(path, None)
        if reg:
            conn.unregister_object(reg)
        invocation.return_value(None)
    elif method == 'BindShortcuts':
        bound.clear()
        for sid, props in args[2]:
            bound[sid] = {'description': props.get('description', ''),
                          'trigger': props.get('preferred_trigger', '')}
        invocation.return_value(GLib.Variant('(ua{sv})', (0, {'shortcuts': bound_variant()})))
    elif method == 'ListShortcuts':
        invocation.return_value(GLib.Variant('(ua{sv})', (0, {'shortcuts': bound_variant()})))
    elif method == 'Bound':
        invocation.return_value(GLib.Variant('(s)', (json.dumps(bound, ensure_ascii=False),)))
    elif method == 'Activate':
        sid, token = args
        options = {'activation_token': GLib.Variant('s', token)} if token else {}
        stamp = int(time.monotonic() * 1000)
        for handle in sessions:
            conn.emit_signal(None, '/org/freedesktop/portal/desktop', shortcuts_iface.name,
                             'Activated', GLib.Variant('(osta{sv})', (handle, sid, stamp, options)))
        invocation.return_value(None)


def on_property(conn, sender, path, iface, prop):
    return GLib.Variant('u', 1)


def on_bus(conn, name):
    conn.register_object('/org/freedesktop/portal/desktop', shortcuts_iface, on_call, on_property, None)
    conn.register_object('/app/vuko/test/Shortcuts', control_iface, on_call, None, None)


loop = GLib.MainLoop()
Gio.bus_own_name(Gio.BusType.SESSION, NAME, Gio.BusNameOwnerFlags.NONE, on_bus, None,
                 lambda *a: (print('fake_portal: name lost', file=sys.stderr), loop.quit()))
loop.run()

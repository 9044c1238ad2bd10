#!/usr/bin/python3
# Desktop services for tests on the session bus. Each role owns its name and
# appends what it is asked to the log given as the first argument, one JSON
# array a line (["Notify", id, ...]), after ["ready"] once the name is owned.
#   notifications [capability...]  the notification server; Invoke(id, key,
#                                  token) on test.Fake is a user's click
#   filemanager [fail]             ShowItems, answered with an error on "fail"
#   shell                          a status-item watcher; the launcher badges
#                                  heard on the bus are logged too
import json
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

log_path, role, args = sys.argv[1], sys.argv[2], sys.argv[3:]


def log(*fields):
    with open(log_path, "a", encoding="utf-8") as f:
        f.write(json.dumps(fields, ensure_ascii=False) + "\n")


N = "org.freedesktop.Notifications"
W = "org.kde.StatusNotifierWatcher"


class Notifications(dbus.service.Object):
    last = 0

    @dbus.service.method(N, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        if not replaces:
            self.last += 1
        strings = {k: v for k, v in hints.items() if isinstance(v, str)}
        log("Notify", replaces or self.last, replaces, summary, body, list(actions), strings)
        return replaces or self.last

    @dbus.service.method(N, in_signature="u")
    def CloseNotification(self, nid):
        log("CloseNotification", nid)

    @dbus.service.method(N, out_signature="as")
    def GetCapabilities(self):
        return args or ["actions", "body", "sound"]

    @dbus.service.method(N, out_signature="ssss")
    def GetServerInformation(self):
        return ("test", "vuko", "1", "1.2")

    # A server with an activation token sends it before the click.
    @dbus.service.method("test.Fake", in_signature="uss")
    def Invoke(self, nid, key, token):
        if token:
            self.ActivationToken(nid, token)
        self.ActionInvoked(nid, key)
        self.NotificationClosed(nid, 2)

    @dbus.service.signal(N, signature="us")
    def ActionInvoked(self, nid, key):
        pass

    @dbus.service.signal(N, signature="us")
    def ActivationToken(self, nid, token):
        pass

    @dbus.service.signal(N, signature="uu")
    def NotificationClosed(self, nid, reason):
        pass


class FileManager(dbus.service.Object):
    @dbus.service.method("org.freedesktop.FileManager1", in_signature="ass")
    def ShowItems(self, uris, startup):
        log("ShowItems", list(uris))
        if args == ["fail"]:
            raise dbus.exceptions.DBusException("cannot show", name="org.freedesktop.DBus.Error.Failed")


class Watcher(dbus.service.Object):
    items = []

    @dbus.service.method(W, in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        path = service if service.startswith("/") else "/StatusNotifierItem"
        self.items.append(sender + path)
        log("Item", sender, path)

    @dbus.service.method(W, in_signature="s")
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, iface, prop):
        return self.GetAll(iface)[prop]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, iface):
        return {"RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
                "IsStatusNotifierHostRegistered": True, "ProtocolVersion": dbus.Int32(0)}


def badge(app, props):
    log("Badge", app, int(props["count"]) if props.get("count-visible") else 0)


DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
name, path, service = {
    "notifications": (N, "/org/freedesktop/Notifications", Notifications),
    "filemanager": ("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1", FileManager),
    "shell": (W, "/StatusNotifierWatcher", Watcher),
}[role]
kept = service(bus, path)
if role == "shell":
    bus.add_signal_receiver(badge, "Update", "com.canonical.Unity.LauncherEntry")
owned = dbus.service.BusName(name, bus, do_not_queue=True)
log("ready")
GLib.MainLoop().run()

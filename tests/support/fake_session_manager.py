#!/usr/bin/python3
# A session manager for tests: owns org.gnome.SessionManager on the session
# bus, where GTK 3 asks first to keep the machine awake, and appends each call
# to the log file given as the argument ("Inhibit <flags> <reason>",
# "Uninhibit <cookie>"), after a first line "ready" once the name is owned.
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib


def log(line):
    with open(sys.argv[1], "a", encoding="utf-8") as f:
        f.write(line + "\n")


class SessionManager(dbus.service.Object):
    cookie = 0

    @dbus.service.method("org.gnome.SessionManager", in_signature="susu", out_signature="u")
    def Inhibit(self, app_id, xid, reason, flags):
        SessionManager.cookie += 1
        log("Inhibit %d %s" % (flags, reason))
        return SessionManager.cookie

    @dbus.service.method("org.gnome.SessionManager", in_signature="u")
    def Uninhibit(self, cookie):
        log("Uninhibit %d" % cookie)


DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
name = dbus.service.BusName("org.gnome.SessionManager", bus)
SessionManager(bus, "/org/gnome/SessionManager")
log("ready")
GLib.MainLoop().run()

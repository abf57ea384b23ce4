#!/usr/bin/env python3
"""A stand-in for the desktop portal's global shortcuts on a private session bus:
org.freedesktop.portal.GlobalShortcuts' CreateSession and BindShortcuts, answered through request
objects as the real portal does, each call recorded as one JSON line in a log file.

    fake_portal.py <bus address> <log file> [granted trigger]

BindShortcuts grants every shortcut its preferred trigger, or the given one. The tests drive it
through org.jotvane.FakePortal on the portal's object: Activate(id) sends Activated for the
session that bound id, Refuse(b) makes the next bindings answer "cancelled" (1)."""

import json
import sys

import dbus
import dbus.bus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

PORTAL = "org.freedesktop.portal.GlobalShortcuts"
REQUEST = "org.freedesktop.portal.Request"
SESSION = "org.freedesktop.portal.Session"
CONTROL = "org.jotvane.FakePortal"
PATH = "/org/freedesktop/portal/desktop"


class Request(dbus.service.Object):
    @dbus.service.signal(REQUEST, signature="ua{sv}")
    def Response(self, code, results):
        pass


class Session(dbus.service.Object):
    def __init__(self, bus, path, portal):
        super().__init__(bus, path)
        self.portal = portal

    @dbus.service.method(SESSION, in_signature="", out_signature="")
    def Close(self):
        self.portal.record("Close", str(self.__dbus_object_path__))


class Portal(dbus.service.Object):
    def __init__(self, bus, log_path, granted):
        super().__init__(bus, PATH)
        self.bus = bus
        self.log_path = log_path
        self.granted = granted
        self.refuse = False
        self.session = None  # the last one made
        self.bound = {}  # shortcut id: the session that bound it
        self.objects = []

    def record(self, *entry):
        with open(self.log_path, "a", encoding="utf-8") as log:
            log.write(json.dumps(entry, ensure_ascii=False) + "\n")

    def answer(self, sender, options, code, results):
        """The request object of the call, its path made of the caller's name and token as the
        portal documents it, with the Response sent once the call's own reply is out."""
        caller = sender[1:].replace(".", "_")
        path = f"{PATH}/request/{caller}/{options['handle_token']}"
        request = Request(self.bus, path)
        self.objects.append(request)
        GLib.idle_add(lambda: request.Response(dbus.UInt32(code), dbus.Dictionary(results, signature="sv")) and False)
        return dbus.ObjectPath(path)

    @dbus.service.method(PORTAL, in_signature="a{sv}", out_signature="o", sender_keyword="sender")
    def CreateSession(self, options, sender=None):
        caller = sender[1:].replace(".", "_")
        self.session = f"{PATH}/session/{caller}/{options['session_handle_token']}"
        self.objects.append(Session(self.bus, self.session, self))
        self.record("CreateSession", self.session)
        return self.answer(sender, options, 0, {"session_handle": self.session})

    @dbus.service.method(PORTAL, in_signature="oa(sa{sv})sa{sv}", out_signature="o", sender_keyword="sender")
    def BindShortcuts(self, session, shortcuts, parent, options, sender=None):
        asked = [(str(i), str(p.get("description", "")), str(p.get("preferred_trigger", ""))) for i, p in shortcuts]
        self.record("BindShortcuts", str(session), asked)
        if self.refuse:
            return self.answer(sender, options, 1, {})
        for shortcut_id, _, _ in asked:
            self.bound[shortcut_id] = str(session)
        granted = dbus.Array([dbus.Struct((i, dbus.Dictionary({"description": d,
                                                               "trigger_description": self.granted or t},
                                                              signature="sv")))
                              for i, d, t in asked], signature="(sa{sv})")
        return self.answer(sender, options, 0, {"shortcuts": granted})

    @dbus.service.signal(PORTAL, signature="osta{sv}")
    def Activated(self, session, shortcut, timestamp, options):
        pass

    @dbus.service.method(CONTROL, in_signature="s", out_signature="b")
    def Activate(self, shortcut):
        session = self.bound.get(str(shortcut), self.session)
        if not session:
            return False
        self.Activated(dbus.ObjectPath(session), shortcut, dbus.UInt64(0), dbus.Dictionary({}, signature="sv"))
        return True

    @dbus.service.method(CONTROL, in_signature="b", out_signature="")
    def Refuse(self, refuse):
        self.refuse = bool(refuse)


def main():
    address, log_path = sys.argv[1], sys.argv[2]
    granted = sys.argv[3] if len(sys.argv) > 3 else ""
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(address)
    portal = Portal(bus, log_path, granted)
    name = dbus.service.BusName("org.freedesktop.portal.Desktop", bus)
    portal.record("ready")
    GLib.MainLoop().run()
    del name


if __name__ == "__main__":
    main()

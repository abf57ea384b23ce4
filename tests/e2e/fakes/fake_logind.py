#!/usr/bin/env python3
"""A stand-in for logind on a private bus: org.freedesktop.login1.Manager's PowerOff,
SetWallMessage and ScheduleShutdown, each call recorded as one JSON line in a log file; nothing is
switched off.

    fake_logind.py <bus address> <log file> [refuse]

With "refuse", PowerOff and ScheduleShutdown answer with org.freedesktop.DBus.Error.AccessDenied."""

import json
import sys

import dbus
import dbus.bus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

MANAGER = "org.freedesktop.login1.Manager"


class Manager(dbus.service.Object):
    def __init__(self, bus, log_path, refuse):
        super().__init__(bus, "/org/freedesktop/login1")
        self.log_path = log_path
        self.refuse = refuse

    def record(self, *entry):
        with open(self.log_path, "a", encoding="utf-8") as log:
            log.write(json.dumps(entry, ensure_ascii=False) + "\n")

    @dbus.service.method(MANAGER, in_signature="sb", out_signature="")
    def SetWallMessage(self, message, enable):
        self.record("SetWallMessage", str(message), bool(enable))

    @dbus.service.method(MANAGER, in_signature="b", out_signature="")
    def PowerOff(self, interactive):
        self.record("PowerOff", bool(interactive))
        if self.refuse:
            raise dbus.exceptions.DBusException("Permission denied", name="org.freedesktop.DBus.Error.AccessDenied")

    @dbus.service.method(MANAGER, in_signature="st", out_signature="")
    def ScheduleShutdown(self, kind, usec):
        self.record("ScheduleShutdown", str(kind), int(usec))
        if self.refuse:
            raise dbus.exceptions.DBusException("Permission denied", name="org.freedesktop.DBus.Error.AccessDenied")


def main():
    address, log_path = sys.argv[1], sys.argv[2]
    refuse = len(sys.argv) > 3 and sys.argv[3] == "refuse"
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(address)
    name = dbus.service.BusName("org.freedesktop.login1", bus)
    manager = Manager(bus, log_path, refuse)
    manager.record("ready")
    GLib.MainLoop().run()
    del name


if __name__ == "__main__":
    main()

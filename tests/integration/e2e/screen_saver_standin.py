#!/usr/bin/python3
"""A stand-in screen saver on the test's session bus: owns org.freedesktop.ScreenSaver and
serves GetActive and SetActive at /org/freedesktop/ScreenSaver, as KDE and Xfce do. The test
starts and stops it with SetActive(true/false) like any client.

Every SetActive goes to the record file as "set-active 1" or "set-active 0", every GetActive
as "get-active" (once per run of equal answers, so a one-second poll does not fill the file).
Usage: screen_saver_standin.py <record file>; the session bus is DBUS_SESSION_BUS_ADDRESS.
"""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.ScreenSaver"


class ScreenSaver(dbus.service.Object):
    def __init__(self, bus, record):
        super().__init__(bus, "/org/freedesktop/ScreenSaver")
        self.active = False
        self.record = record
        self.last_answer = None

    def note(self, line):
        with open(self.record, "a", encoding="ascii") as f:
            f.write(line + "\n")

    @dbus.service.method(NAME, in_signature="", out_signature="b")
    def GetActive(self):
        if self.last_answer != self.active:
            self.note("get-active %d" % self.active)
            self.last_answer = self.active
        return self.active

    @dbus.service.method(NAME, in_signature="b", out_signature="b")
    def SetActive(self, on):
        self.active = bool(on)
        self.note("set-active %d" % self.active)
        return True


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    saver = ScreenSaver(bus, sys.argv[1])
    name = dbus.service.BusName(NAME, bus)
    saver.note("ready")
    loop = GLib.MainLoop()
    bus.call_on_disconnection(lambda _: loop.quit())
    loop.run()
    del name


if __name__ == "__main__":
    main()

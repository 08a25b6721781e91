#!/usr/bin/python3
"""The session-bus peers of the end-to-end test, in one process on a private bus.

- A stand-in AL-Mail: owns dde.ALMail, serves dde.Conversation at /ALMail and records
  every Execute command.
- A stand-in Netscape: owns dde.Netscape, serves dde.Conversation at /WWW_OpenURL and records
  every Request item.
- A notification area: a StatusNotifierWatcher that reports a host, so Qt puts its tray
  icon on the bus as a StatusNotifierItem, which the test can read and click.

Every event goes to the record file as one line: "ready", "execute <hex>" (AL-Mail),
"news-execute <hex>" and "request <hex of the item's UTF-8>" (Netscape), "item <bus name>".
Usage: bus_peers.py <record file>; the session bus is DBUS_SESSION_BUS_ADDRESS.
The process ends when its bus goes away, so the test's private bus takes it along.
"""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

WATCHER = "org.kde.StatusNotifierWatcher"
PROPERTIES = "org.freedesktop.DBus.Properties"

# Qt reads the watcher's properties through an introspected interface, so they must be
# declared; dbus-python only declares methods and signals by itself.
WATCHER_XML = """<!DOCTYPE node PUBLIC "-//freedesktop//DTD D-BUS Object Introspection 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd">
<node>
  <interface name="org.freedesktop.DBus.Introspectable">
    <method name="Introspect"><arg name="data" type="s" direction="out"/></method>
  </interface>
  <interface name="org.freedesktop.DBus.Properties">
    <method name="Get">
      <arg name="interface" type="s" direction="in"/><arg name="name" type="s" direction="in"/>
      <arg name="value" type="v" direction="out"/>
    </method>
    <method name="GetAll">
      <arg name="interface" type="s" direction="in"/>
      <arg name="values" type="a{sv}" direction="out"/>
    </method>
  </interface>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
  </interface>
</node>
"""


class Record:
    def __init__(self, path):
        self.path = path

    def line(self, text):
        with open(self.path, "a", encoding="ascii") as f:
            f.write(text + "\n")


class MailReader(dbus.service.Object):
    def __init__(self, bus, record):
        super().__init__(bus, "/ALMail")
        self.record = record

    @dbus.service.method("dde.Conversation", in_signature="ay", out_signature="",
                         byte_arrays=True)
    def Execute(self, command):
        self.record.line("execute " + bytes(command).hex())

    @dbus.service.method("dde.Conversation", in_signature="s", out_signature="ay")
    def Request(self, item):
        return dbus.ByteArray(b"")


class NewsReader(dbus.service.Object):
    def __init__(self, bus, record):
        super().__init__(bus, "/WWW_OpenURL")
        self.record = record

    @dbus.service.method("dde.Conversation", in_signature="ay", out_signature="",
                         byte_arrays=True)
    def Execute(self, command):
        self.record.line("news-execute " + bytes(command).hex())

    @dbus.service.method("dde.Conversation", in_signature="s", out_signature="ay")
    def Request(self, item):
        self.record.line("request " + str(item).encode("utf-8").hex())
        return dbus.ByteArray(b"")


class Watcher(dbus.service.Object):
    def __init__(self, bus, record):
        super().__init__(bus, "/StatusNotifierWatcher")
        self.record = record
        self.items = []

    @dbus.service.method("org.freedesktop.DBus.Introspectable", in_signature="",
                         out_signature="s")
    def Introspect(self):
        return WATCHER_XML

    @dbus.service.method(WATCHER, in_signature="s", out_signature="",
                         sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        # An item may name itself by a path only; then its connection is the service.
        name = str(sender) if service.startswith("/") else str(service)
        self.items.append(name)
        self.record.line("item " + name)
        self.StatusNotifierItemRegistered(name)

    @dbus.service.method(WATCHER, in_signature="s", out_signature="")
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemRegistered(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemUnregistered(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="")
    def StatusNotifierHostRegistered(self):
        pass

    def values(self):
        return {
            "RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
            "IsStatusNotifierHostRegistered": dbus.Boolean(True),
            "ProtocolVersion": dbus.Int32(0),
        }

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        values = self.values()
        if interface != WATCHER or name not in values:
            raise dbus.exceptions.DBusException("no such property",
                                                name="org.freedesktop.DBus.Error.InvalidArgs")
        return values[name]

    @dbus.service.method(PROPERTIES, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self.values() if interface == WATCHER else {}


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    record = Record(sys.argv[1])
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    loop = GLib.MainLoop()
    bus.call_on_disconnection(lambda _: loop.quit())
    # Objects first, names after: whoever sees a name may call at once.
    readers = [MailReader(bus, record), NewsReader(bus, record)]
    watcher = Watcher(bus, record)
    names = [dbus.service.BusName("dde.ALMail", bus, do_not_queue=True),
             dbus.service.BusName("dde.Netscape", bus, do_not_queue=True),
             dbus.service.BusName(WATCHER, bus, do_not_queue=True)]
    record.line("ready")
    loop.run()
    del readers, watcher, names
    return 0


if __name__ == "__main__":
    sys.exit(main())

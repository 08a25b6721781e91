#!/usr/bin/python3
"""Presence, end to end: the real kestrel with the peer chat on, in a network namespace of the
test's own, goes away by itself while a screen saver runs, reminds the user after the saver
has stopped, and comes back to present from the reminder's button.

What it starts, all private to this test and all ended at the end: two network namespaces
joined by a veth pair (192.0.2.1/24 for kestrel, 192.0.2.2/24 for the peer; nothing else is
on that network, so the chat's broadcasts go nowhere else), Xvfb, a session bus with the bus
peers and a stand-in org.freedesktop.ScreenSaver, the scripted IP Messenger peer in the
peer's namespace, and kestrel in its own namespace with Chating=1 and the checks off.

What it asserts:
  1. kestrel announces itself to the peer (entry, nickname alone);
  2. after the saver starts, kestrel announces away with "<nick>[不明]" and the absence
     option (0x100) within about 21 s, and only once while the saver runs on;
  3. no reminder opens while the saver runs; after it stops, the reminder "在席変更し忘れ防止"
     opens (within the 30 s of its timer) and a screenshot of it is taken;
  4. its button makes kestrel announce present (absence without the option, the nickname
     alone) and end the screen saver (SetActive(false)).

Needs root (ip netns). Usage: presence_e2e.py --program build/kestrel --out <dir>
"""
import os
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from desktop import Desktop, Failure, check, main, wait_for

RUN_LIMIT_S = 150
HERE = os.path.dirname(os.path.abspath(__file__))
NICK = "Tarou"
UNKNOWN = "不明".encode("cp932")
REMINDER_TITLE = "在席変更し忘れ防止"
IPMSG_BR_ENTRY = 0x01
IPMSG_BR_ABSENCE = 0x04
ABSENCE_OPTION = 0x100

SETTINGS = """[Environment]
MailCheck=0
NewsCheck=0
Identify=0
[PeerChat]
Chating=1
AliaseName=%s
CheckSaver=1
""" % NICK


def ip(*argv):
    r = subprocess.run(["ip"] + list(argv), capture_output=True, timeout=20)
    if r.returncode != 0:
        raise Failure("ip %s failed: %s" % (" ".join(argv), r.stderr.decode(errors="replace")))


class PresenceRoad(Desktop):
    def __init__(self, program, out):
        super().__init__(program, out)
        stem = "kestrel-e2e-%d" % os.getpid()
        self.ns_program = stem + "-a"
        self.ns_peer = stem + "-b"
        self.namespaces = []

    # ---- the private network ---------------------------------------------------------------

    def make_network(self):
        check(os.geteuid() == 0, "needs root for its network namespaces")
        for ns in (self.ns_program, self.ns_peer):
            ip("netns", "add", ns)
            self.namespaces.append(ns)
            ip("-n", ns, "link", "set", "lo", "up")
        ip("-n", self.ns_program, "link", "add", "v0", "type", "veth", "peer", "name", "v1",
           "netns", self.ns_peer)
        ip("-n", self.ns_program, "addr", "add", "192.0.2.1/24", "dev", "v0")
        ip("-n", self.ns_peer, "addr", "add", "192.0.2.2/24", "dev", "v1")
        ip("-n", self.ns_program, "link", "set", "v0", "up")
        ip("-n", self.ns_peer, "link", "set", "v1", "up")
        # The limited broadcast leaves by the default route: the veth, and nothing else.
        ip("-n", self.ns_program, "route", "add", "default", "dev", "v0")
        ip("-n", self.ns_peer, "route", "add", "default", "dev", "v1")

    def stop(self):
        try:
            super().stop()
        finally:
            for ns in reversed(self.namespaces):
                subprocess.run(["ip", "netns", "del", ns], capture_output=True)

    # ---- the peer and the saver ------------------------------------------------------------

    def heard(self):
        """What the peer heard: (command, options, extra bytes) per packet."""
        packets = []
        try:
            with open(os.path.join(self.work, "peer.txt"), encoding="ascii") as f:
                for line in f.read().splitlines():
                    parts = line.split(" ")
                    if len(parts) == 3:
                        packets.append((int(parts[0], 16), int(parts[1], 16),
                                        bytes.fromhex(parts[2])))
        except FileNotFoundError:
            pass
        return packets

    def absences(self):
        return [(options, extra) for command, options, extra in self.heard()
                if command == IPMSG_BR_ABSENCE]

    def saver_record(self):
        try:
            with open(os.path.join(self.work, "saver.txt"), encoding="ascii") as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def set_saver(self, on):
        self.bus.get_object("org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver").SetActive(
            on, dbus_interface="org.freedesktop.ScreenSaver")

    # ---- the road --------------------------------------------------------------------------

    def run(self):
        self.make_network()
        self.start_x()
        self.start_bus()
        env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.bus_address)
        self.spawn("saver", ["/usr/bin/python3", os.path.join(HERE, "screen_saver_standin.py"),
                             os.path.join(self.work, "saver.txt")], env=env)
        wait_for("the stand-in screen saver", lambda: "ready" in self.saver_record(), 10)
        self.spawn("peer", ["ip", "netns", "exec", self.ns_peer, "/usr/bin/python3",
                            os.path.join(HERE, "ipmsg_peer.py"),
                            os.path.join(self.work, "peer.txt")])
        peer_record = os.path.join(self.work, "peer.txt")
        wait_for("the scripted peer", lambda: os.path.exists(peer_record), 10)

        self.step("kestrel starts with the peer chat on")
        self.start_program("kestrel", SETTINGS, prefix=("ip", "netns", "exec", self.ns_program))
        entry = self.until("the entry broadcast", lambda: [
            p for p in self.heard() if p[0] == IPMSG_BR_ENTRY], 20)
        check(entry[0][2] == NICK.encode(), "the entry carries %r" % entry[0][2])
        # The poll looks at the saver once a second from here on.
        self.until("the first look at the saver", lambda: "get-active 0" in self.saver_record(), 10)

        self.step("the screen saver starts")
        self.set_saver(True)
        saver_on = time.monotonic()
        away = self.until("the away announcement", lambda: self.absences(), 25)
        took = time.monotonic() - saver_on
        self.step("away announced after %.1f s" % took)
        # One poll to learn of it (the answer comes back for the next poll), 20 s, a packet.
        check(19 <= took <= 24, "away came %.1f s after the saver started, not about 21 s" % took)
        options, extra = away[0]
        check(options & ABSENCE_OPTION, "the away announcement lacks the absence option")
        check(extra == NICK.encode() + b"[" + UNKNOWN + b"]",
              "the away announcement carries %r" % extra)

        # The saver runs on for a while: no second away, no reminder.
        time.sleep(3)
        check(len(self.absences()) == 1, "away announced again while the saver ran on")
        check(not self.windows(REMINDER_TITLE, True), "a reminder opened while the saver ran")

        self.step("the screen saver stops")
        self.set_saver(False)
        reminder = self.until("the reminder", lambda: self.windows(REMINDER_TITLE, True), 35)[0]
        self.step("the reminder is open")
        time.sleep(0.5)  # let it draw
        self.shot("away_reminder.png", reminder)
        check(len(self.absences()) == 1, "something was announced when the reminder opened")

        self.step("its button")
        saver_mark = len(self.saver_record())
        x, y, width, height = self.geometry(reminder)
        # The button sits centred in the lower part: 48 to 63 of the dialog's 70 units.
        self.click(reminder, width // 2, height * 55 // 70)
        back = self.until("the present announcement", lambda: self.absences()[1:], 5)
        options, extra = back[0]
        check(not options & ABSENCE_OPTION, "the present announcement has the absence option")
        check(extra == NICK.encode(), "the present announcement carries %r" % extra)
        self.until("the reminder closed", lambda: not self.windows(REMINDER_TITLE, True), 5)
        # Present ends a screen saver, as the one at the desk would; the stand-in hears it.
        self.until("the screen saver told to end",
                   lambda: "set-active 0" in self.saver_record()[saver_mark:], 5)
        self.alive()
        self.step("done")


if __name__ == "__main__":
    sys.exit(main(__doc__, lambda args: PresenceRoad(args.program, args.out), RUN_LIMIT_S))

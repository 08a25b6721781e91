#!/usr/bin/python3
"""The peer chat against iptux, end to end: the real kestrel with Chating=1 in one network
namespace, Debian's iptux (a black-box IP Messenger client) in a second one, joined by a veth
pair (192.0.2.1 and 192.0.2.2). Both draw on the test's own Xvfb; iptux has its own HOME, its
own session bus (dbus-run-session) and logs every packet (-l DEBUG).

What it asserts:
  1. iptux lists the program's nickname (its log shows our entry or our answer to its entry,
     and its list shows a "Taro" row that opens a chat window titled with our address);
  2. a message sent from iptux's chat window (xdotool) appears in the program's chat window,
     is acknowledged once with 0x21 and iptux's packet number;
  3. the program's member list holds iptux (screenshot of the list window), and a message
     typed in the chat window to the drop-down's peer reaches iptux, asking for a receipt;
     iptux's 0x21 with its number ends the program's wait (no box);
  4. iptux quitting takes it off the list: a message from its address afterwards is neither
     acknowledged nor shown;
  5. after exit (history saved on yes) 会話履歴<yymmdd>.txt holds iptux's line once.
Fails, not skips, when iptux is missing. Screenshots go to --out (and /tmp/kestrel-shots).

Needs root (ip netns). Usage: iptux_e2e.py --program build/kestrel --out <dir>
"""
import json
import os
import re
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from chat_e2e import (CHAT, IPMSG_RECVMSG, IPMSG_SENDCHECKOPT, IPMSG_SENDMSG, MEMBER_LIST,
                      PROGRAM_ADDRESS, ChatRoad, Namespaces, ScriptedPeer)
from desktop import check, main, wait_for

RUN_LIMIT_S = 150
IPTUX = "/usr/bin/iptux"
IPTUX_NICK = "Iptux"
FROM_IPTUX = "konnichiwa from iptux"
TO_IPTUX = "ohayo iptux"


def iptux_packets(log):
    """The packets in iptux's debug log as (direction, address, bytes): received ones are
    logged as a quoted string, sent ones as a hex dump."""
    packets = []
    lines = log.splitlines()
    i = 0
    while i < len(lines):
        line = lines[i]
        received = re.search(r"received udp message from ([\d.]+):", line)
        sent = re.search(r"send udp message to ([\d.]+):", line)
        if received and i + 1 < len(lines):
            text = lines[i + 1].strip()
            if text.startswith('"') and text.endswith('"'):
                raw = text[1:-1].encode("latin-1", errors="replace").decode("unicode_escape")
                packets.append(("in", received.group(1), raw.encode("latin-1", errors="replace")))
            i += 2
            continue
        if sent:
            data = b""
            i += 1
            while i < len(lines) and re.match(r"^[0-9a-f]{8}  ", lines[i]):
                hexes = lines[i][10:59].split()
                data += bytes(int(h, 16) for h in hexes)
                i += 1
            packets.append(("out", sent.group(1), data))
            continue
        i += 1
    return packets


def fields(packet):
    return packet.split(b"\0", 1)[0].split(b":", 5)


def mode_of(packet):
    f = fields(packet)
    return int(f[4]) & 0xFF if len(f) > 4 and f[4].isdigit() else None


class IptuxRoad(ChatRoad):
    def __init__(self, program, out):
        super().__init__(program, out)
        self.iptux = None
        self.iptux_log = None

    def iptux_said(self):
        try:
            with open(self.iptux_log, "rb") as f:
                return iptux_packets(f.read().decode("utf-8", errors="replace"))
        except FileNotFoundError:
            return []

    def iptux_until(self, what, condition, timeout_s):
        """wait_for() that also fails as soon as iptux has ended."""
        def probe():
            check(self.iptux.poll() is None, "iptux ended early (exit %s)" % self.iptux.returncode)
            return condition()
        return wait_for(what, probe, timeout_s)

    def start_iptux(self):
        home = os.path.join(self.work, "iptux-home")
        os.makedirs(os.path.join(home, ".iptux"))
        with open(os.path.join(home, ".iptux", "config.json"), "w") as f:
            json.dump({"nick_name": IPTUX_NICK, "belong_group": "test",
                       "candidacy_encode": "cp932", "preference_encode": "cp932"}, f)
        self.iptux_log = os.path.join(self.work, "iptux.log")
        # All iptux, its session bus and what that activates (settings, the accessibility bus)
        # keep goes below its own HOME: a first run every time, nothing shared with another.
        runtime = os.path.join(home, "runtime")
        os.makedirs(runtime, mode=0o700)
        env = dict(os.environ, HOME=home, DISPLAY=self.display,
                   XDG_CONFIG_HOME=os.path.join(home, ".config"),
                   XDG_CACHE_HOME=os.path.join(home, ".cache"),
                   XDG_DATA_HOME=os.path.join(home, ".local", "share"),
                   XDG_STATE_HOME=os.path.join(home, ".local", "state"),
                   XDG_RUNTIME_DIR=runtime)
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        self.iptux = self.spawn("iptux", ["ip", "netns", "exec", self.ns.peer, "dbus-run-session",
                                          "--", IPTUX, "-l", "DEBUG"], env=env)
        # A first run under a fresh HOME on a loaded machine takes a while.
        main = self.iptux_until("iptux's window",
                                lambda: (self.windows(IPTUX_NICK, True) or [None])[0], 45)
        # Out of the way of the program's windows, at the right edge.
        self.x("xdotool", "windowmove", str(main), "900", "0")
        return main

    def run(self):
        check(os.geteuid() == 0, "needs root for ip netns")
        check(os.path.exists(IPTUX), IPTUX + " is not installed")
        self.ns = Namespaces()
        self.start_x()
        self.start_bus()
        iptux_main = self.start_iptux()
        self.iptux_until("iptux's entry", lambda: any(
            mode_of(p) == 1 for d, _, p in self.iptux_said() if d == "out"), 15)
        settings = ("[Environment]\nMailCheck=0\nNewsCheck=0\nIdentify=0\nPasswdCheck=0\n"
                    "debug=1\n\n[PeerChat]\nChating=1\nAliaseName=Taro\nAutoUpdate=1\n\n"
                    "[UserInterface]\nBeIcon=0\nBePopup=0\n\n[Sound]\nSound=0\n")
        self.start_program("chat", settings, prefix=("ip", "netns", "exec", self.ns.program))
        main_window = self.window("Kestrel for Intranet", 20)

        self.step("iptux hears the program and lists its nickname")
        self.until("our entry in iptux's log", lambda: [
            p for d, a, p in self.iptux_said()
            if d == "in" and a == PROGRAM_ADDRESS and mode_of(p) in (1, 3)
            and fields(p)[5] == b"Taro"], 20)
        talk = self.open_iptux_chat(iptux_main)
        self.shot("iptux-list.png", iptux_main)

        self.step("the program's member list shows iptux")
        self.open_member_list(main_window)
        members = self.window(MEMBER_LIST)
        time.sleep(0.5)
        self.shot("iptux-member-list.png", members)

        self.step("a message from iptux appears in the chat window and is acknowledged")
        self.x("xdotool", "windowfocus", "--sync", str(talk))
        x, y, w, h = self.geometry(talk)
        self.click(talk, 150, h - 100)  # iptux's input pane, above Close and Send
        self.x("xdotool", "type", "--delay", "20", FROM_IPTUX)
        self.x("xdotool", "key", "ctrl+Return")
        sent = self.until("iptux's message", lambda: [
            p for d, a, p in self.iptux_said() if d == "out" and a == PROGRAM_ADDRESS
            and mode_of(p) == IPMSG_SENDMSG and FROM_IPTUX.encode() in p], 10)
        number = fields(sent[0])[1]
        chat = self.window(CHAT)
        self.until("the acknowledgement", lambda: [
            p for d, a, p in self.iptux_said()
            if d == "in" and a == PROGRAM_ADDRESS and mode_of(p) == IPMSG_RECVMSG], 10)
        time.sleep(1)  # room for a second, wrong acknowledgement
        acks = [p for d, a, p in self.iptux_said()
                if d == "in" and a == PROGRAM_ADDRESS and mode_of(p) == IPMSG_RECVMSG]
        check(len(acks) == 1 and fields(acks[0])[5] == number,
              "acknowledged as %r, iptux's number %r" % (acks, number))
        check(len(self.windows(CHAT, True)) == 1, "more than one chat window")

        self.step("an answer typed in the chat window reaches iptux and is acknowledged")
        self.pick_peer_in_chat(chat)
        self.type_in_chat(chat, TO_IPTUX)
        self.key(chat, "Return")
        got = self.until("our message in iptux's log", lambda: [
            p for d, a, p in self.iptux_said() if d == "in" and a == PROGRAM_ADDRESS
            and mode_of(p) == IPMSG_SENDMSG], 10)
        check(fields(got[0])[5] == TO_IPTUX.encode(), "iptux got %r" % got)
        check(int(fields(got[0])[4]) & IPMSG_SENDCHECKOPT, "sent without asking for a receipt")
        ours = fields(got[0])[1]
        self.until("iptux's acknowledgement", lambda: [
            p for d, a, p in self.iptux_said() if d == "out" and a == PROGRAM_ADDRESS
            and mode_of(p) == IPMSG_RECVMSG and fields(p)[5] == ours], 10)
        time.sleep(4)  # past the 3-second wait: no "not arrived" box may appear
        check(not self.windows("お知らせ", True) and not self.windows("警告", True),
              "a box appeared after the acknowledged send")
        self.shot("iptux-chat-window.png", chat)
        self.shot("iptux-desktop.png")

        self.step("iptux quitting takes it off the member list")
        self.key(chat, "Escape")
        self.gone(CHAT)
        self.x("xdotool", "windowfocus", "--sync", str(iptux_main))
        self.x("xdotool", "key", "ctrl+q")
        self.iptux.wait(10)
        wait_for("iptux's exit in its log", lambda: any(
            d == "out" and mode_of(p) == 2 for d, _, p in self.iptux_said()), 5,
            shown=lambda: self.iptux_said())
        time.sleep(0.5)
        self.open_member_list(main_window)
        members = self.window(MEMBER_LIST)
        time.sleep(0.5)
        self.shot("iptux-member-list-after-exit.png", members)
        # Its address is free now: a scripted peer there is a stranger to the program.
        self.peer = ScriptedPeer(self.ns.socket_in_peer())
        self.peer.send(IPMSG_SENDMSG | IPMSG_SENDCHECKOPT, b"still there?")
        time.sleep(1.5)
        check(not self.peer.with_mode(IPMSG_RECVMSG),
              "a message from the peer that left was acknowledged")
        check(not self.windows(CHAT, True), "a message from the peer that left was shown")

        self.step("exit: the history holds iptux's line once")
        self.exit_and_save(main_window)
        today = time.strftime("%y%m%d")
        history = self.program_file(("会話履歴%s.txt" % today).encode("cp932").decode(
            "utf-8", errors="surrogateescape"))
        text = history.decode("cp932", errors="replace")
        check(re.search(r"受\[Iptux\([^)]*\)\]  %s\r\n" % FROM_IPTUX, text), "history: %r" % text)
        check(text.count(FROM_IPTUX) == 1, "history holds iptux's message %d times"
              % text.count(FROM_IPTUX))
        check(TO_IPTUX + "\r\n" in text, "history: %r" % text)

    def open_iptux_chat(self, iptux_main):
        """Opens iptux's chat window with the program's row: the list's type-ahead finds the
        row by nickname, Return on it opens the talk window."""
        self.x("xdotool", "windowfocus", "--sync", str(iptux_main))
        x, y, w, h = self.geometry(iptux_main)
        self.click(iptux_main, w // 2, h - 40)
        time.sleep(0.3)
        self.x("xdotool", "type", "--delay", "20", "Taro")
        time.sleep(0.3)
        self.x("xdotool", "key", "Escape")
        time.sleep(0.2)
        self.x("xdotool", "key", "Return")
        talk = self.until("iptux's talk window", self.talk_window, 10)
        # Below iptux's list, clear of the program's main and chat windows.
        self.x("xdotool", "windowmove", "--sync", str(talk), "890", "590")
        return talk

    def talk_window(self):
        r = self.x("xdotool", "search", "--onlyvisible", "--name",
                   "^Talk with Taro\\(.*\\) IP:%s$" % re.escape(PROGRAM_ADDRESS), check_rc=False)
        found = [int(w) for w in r.stdout.split()]
        return found[0] if found else None

    def stop(self):
        if self.ns:
            # iptux, its bus and anything else left in the peer's namespace are this test's.
            pids = subprocess.run(["ip", "netns", "pids", self.ns.peer], capture_output=True)
            for pid in pids.stdout.split():
                try:
                    os.kill(int(pid), 15)
                except (ProcessLookupError, ValueError):
                    pass
        super().stop()


if __name__ == "__main__":
    sys.exit(main(__doc__, lambda args: IptuxRoad(args.program, args.out), RUN_LIMIT_S))

#!/usr/bin/python3
"""The news road, end to end: the real kestrel on its own X server, from a new article in a
watched group on the harness's INN to the news reader reached over D-Bus.

It needs the running harness (servers/start-all.sh): KESTREL_IT_NNTP_PORT names INN's port,
KESTREL_IT_NNTP_RO_PORT its read-only reader server's (greeting "201": no posting), which is the
one the program checks, and KESTREL_IT_NNTP_POST its posting helper. What it starts, all private to this test and all
ended at the end: Xvfb, a session bus with bus_peers.py on it (a stand-in Netscape owning
dde.Netscape, and a notification area, so the tray icon can be read), and kestrel with fresh
settings (news check only, every 3 minutes, BeIcon and BePopup on) and a fresh program
directory whose watch list holds fj.a and fj.b at INN's current last article numbers and a
group INN does not know.

What it asserts:
  1. the service starts with no log-in (mail check and ident are off) and the main window
     hides to the tray;
  2. after an article is posted to fj.b, the first check (25 s after the start) brings up the
     popup "新規ニュース通知", placed one eighth of the free space in from the top-left
     corner, and the tray icon and the window icon leave their idle state;
  3. the watch list then holds fj.b's new number and the others' old ones, as CR LF lines
     "group:number", and the event log holds the dialogue: MODE READER answered "201", one
     GROUP per watched group;
  4. "記事を読む" with no group selected sends nothing; with fj.b selected it sends exactly one
     Request "news:fj.b,,0xFFFFFFFF,0x1" to dde.Netscape and the popup stays open;
  5. "閉じる" closes the popup, and the tray icon and the window icon equal the idle ones again.
Screenshots of the popup go to --out and to /tmp/kestrel-shots/; look at them: the popup
should list fj.b alone under "新しい記事が投稿されています".

Usage: news_road_e2e.py --program build/kestrel --out <dir>
"""
import os
import re
import socket
import subprocess
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from desktop import MAIN_TITLE, SCREEN_W, SCREEN_H, Desktop, Failure, check, main

RUN_LIMIT_S = 90

POPUP_TITLE = "新規ニュース通知"
NEW_GROUP = "fj.b"
OTHER_GROUP = "fj.a"
UNKNOWN_GROUP = "fj.kestrel.nowhere"
WATCH_LIST = "newschck.lst"


def harness(name):
    value = os.environ.get(name, "")
    if not value:
        raise Failure("%s is not set: start the harness (servers/start-all.sh) and source "
                      "its servers.env" % name)
    return value


def last_article(port, group):
    """INN's last article number of group, from "211 count first last group"."""
    with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
        replies = s.makefile("rb")
        greeting = replies.readline()
        check(greeting.startswith((b"200", b"201")), "INN greeted with %r" % greeting)
        s.sendall(b"GROUP %s\r\n" % group.encode("ascii"))
        fields = replies.readline().split()
        s.sendall(b"QUIT\r\n")
    check(len(fields) >= 4 and fields[0] == b"211", "GROUP %s: %r" % (group, fields))
    return int(fields[3])


def post_article(poster, port, group):
    """Posts one article to group and returns the group's new last article number."""
    r = subprocess.run([sys.executable, poster, group, "--port", str(port),
                        "--subject", "Kestrel news road"],
                       capture_output=True, timeout=30)
    check(r.returncode == 0, "posting to %s failed: %s" % (group, r.stderr.decode(errors="replace")))
    return int(r.stdout.split()[-1])


class NewsRoad(Desktop):
    def __init__(self, program, out):
        self.port = int(harness("KESTREL_IT_NNTP_PORT"))
        self.read_only_port = int(harness("KESTREL_IT_NNTP_RO_PORT"))
        self.poster = harness("KESTREL_IT_NNTP_POST")
        super().__init__(program, out)

    def settings(self):
        return ("[Environment]\nNNTPServer=127.0.0.1\nNNTPPort=%d\nNewsCheck=1\nMailCheck=0\n"
                "Identify=0\nPasswdCheck=0\nNewsReader=0\ndebug=1\n\n[Timer]\nNewsTimer=3\n\n"
                "[PeerChat]\nChating=0\n\n[UserInterface]\nBeIcon=1\nBePopup=1\n\n"
                "[Sound]\nSound=0\n" % self.read_only_port)

    @staticmethod
    def watch_list(numbers):
        return b"".join(b"%s:%d\r\n" % (group.encode("ascii"), number)
                        for group, number in numbers)

    def run(self):
        self.start_x()
        self.start_bus()

        known = [(OTHER_GROUP, last_article(self.port, OTHER_GROUP)),
                 (NEW_GROUP, last_article(self.port, NEW_GROUP)),
                 (UNKNOWN_GROUP, 7)]
        self.start_program("news", self.settings(), {WATCH_LIST: self.watch_list(known)})

        self.step("service start")
        self.item = self.until("the tray icon on the bus", lambda: self.events("item "), 20)[0]
        self.until("the news timer", lambda: b"NEWS TIMER SET COMPLETE\r\n" in self.event_log(), 20)
        frames = self.windows(MAIN_TITLE, visible_only=False)
        check(len(frames) == 1, "main windows found: %r" % frames)
        frame = frames[0]
        # The service start posts its icon before the hide: once hidden, the icons are idle.
        self.until("the main window to hide to the tray",
                   lambda: self.map_state(frame) == "IsUnMapped", 10)
        idle_tray, idle_window = self.tray_icon(), self.window_icon(frame)
        check(not self.windows(POPUP_TITLE, True), "a popup before the first check")

        self.step("post to %s" % NEW_GROUP)
        new_number = post_article(self.poster, self.port, NEW_GROUP)
        check(new_number > known[1][1], "INN's %s stayed at %d" % (NEW_GROUP, new_number))
        # The first check comes 25 s after the start.
        check(b"Newscheck Start!!" not in self.event_log(), "the check began before the post")

        popup = self.until("the popup", lambda: self.windows(POPUP_TITLE, True), 45)
        check(len(popup) == 1, "popups found: %r" % popup)
        popup = popup[0]
        self.step("popup shown")
        # The icons are the program's to change when it reports; asked for until they do.
        self.until("the tray icon to leave idle with news pending",
                   lambda: self.tray_icon() != idle_tray, 10)
        self.until("the window icon to leave idle with news",
                   lambda: self.window_icon(frame) != idle_window, 10)
        x, y, w, h = self.geometry(popup)
        check((x, y) == ((SCREEN_W - w) // 8, (SCREEN_H - h) // 8),
              "popup %dx%d placed at %d,%d" % (w, h, x, y))

        expected = self.watch_list([(OTHER_GROUP, known[0][1]), (NEW_GROUP, new_number),
                                    (UNKNOWN_GROUP, 7)])
        # The popup, the watch list and the event log are written apart: each is waited for.
        self.until("the watch list %r" % expected,
                   lambda: self.program_file(WATCH_LIST) == expected, 10,
                   shown=lambda: repr(self.program_file(WATCH_LIST)))
        log = self.event_log_holding("the check's dialogue in the event log",
                                     b"nntp socket delete\r\n")
        # The reader-mode answer repeats the read-only server's "201".
        check(re.search(rb"^\S+ \S+  201 ", log, re.M), "the event log lacks the server's 201")
        for line in ["Newscheck Start!!", "mode reader", "group " + OTHER_GROUP, "group " + NEW_GROUP,
                     "group " + UNKNOWN_GROUP, "quit", "nntp socket delete"]:
            check(line.encode("ascii") + b"\r\n" in log, "the event log lacks %r" % line)
        check(log.count(b"Newscheck Start!!\r\n") == 1, "more than one check ran")

        self.shot("news-popup.png")
        self.shot("news-popup-window.png", popup)

        # 163x125 dialog units: the group list at 7,19 (149x76), "記事を読む" at 7,102 (73x15),
        # "閉じる" at 102,102 (54x15).
        read_at = (w * 435 // 1630, h * 1095 // 1250)
        self.step("read articles with no group selected")
        self.click(popup, *read_at)
        self.step("select %s and read articles" % NEW_GROUP)
        self.click(popup, w * 80 // 163, h * 19 // 125 + 8)
        self.shot("news-popup-selected.png", popup)
        self.click(popup, *read_at)
        self.until("the news reader's request", lambda: self.events("request "), 10)
        requests = [bytes.fromhex(r).decode("utf-8") for r in self.events("request ")]
        check(requests == ["news:%s,,0xFFFFFFFF,0x1" % NEW_GROUP],
              "news reader requests: %r" % requests)
        check(self.map_state(popup) == "IsViewable", "the popup closed after reading")

        self.step("close the popup")
        self.click(popup, w * 1290 // 1630, h * 1095 // 1250)
        self.until("the popup to close", lambda: self.map_state(popup) != "IsViewable", 10)
        self.until("the idle tray icon", lambda: self.tray_icon() == idle_tray, 10)
        self.until("the idle window icon", lambda: self.window_icon(frame) == idle_window, 10)
        check(len(self.events("request ")) == 1, "closing asked the news reader again")
        check(self.events("news-execute ") == [] and self.events("execute ") == [],
              "a reader was sent a command")
        self.alive()
        self.step("passed")


if __name__ == "__main__":
    sys.exit(main(__doc__, lambda args: NewsRoad(args.program, args.out), RUN_LIMIT_S))

#!/usr/bin/python3
"""The desktop's own mail reader, end to end: the real kestrel on its own X server with a
settings file that names no reader at all, as after a fresh install, against a scripted POP3
server of today's kind (no LAST, five messages listed by UIDL).

What it starts, all private to this test and all ended at the end: Xvfb, a session bus with
bus_peers.py (a notification area, and a stand-in AL-Mail that must stay untouched), the POP3
server on 127.0.0.1, kestrel, and a small recording program that the run's own
XDG_DATA_HOME/XDG_CONFIG_HOME register as the x-scheme-handler/mailto application.

What it asserts:
  1. the mail check brings up the popup "新規メール着信通知";
  2. its button "メールを受信する" starts the recording program once, with no arguments (the
     mailbox, not a new message), within a second of the click, and closes the popup;
  3. no box comes and nothing goes to AL-Mail over the bus;
  4. the listed mail is marked read for the next check (seenmail.dat is written).

Usage: desktop_reader_e2e.py --program build/kestrel --out <dir>
"""
import os
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from desktop import Desktop, check, main, wait_for
from mail_road_e2e import Pop3Script, scramble

RUN_LIMIT_S = 90

POPUP_TITLE = "新規メール着信通知"
BOX_TITLE = "環境設定の見直し"
USER, PASSWORD = "kestrel", "secret"


class TodaysPop3(Pop3Script):
    """No message count in the greeting to the password and no LAST: the check lists the
    mailbox."""
    REPLIES = {
        "USER": b"+OK",
        "PASS": b"+OK Logged in.",
        "STAT": b"+OK 5 1234",
        "LAST": b"-ERR unknown command",
        "UIDL": b"+OK\r\n1 m-one\r\n2 m-two\r\n3 m-three\r\n4 m-four\r\n5 m-five\r\n.",
        "QUIT": b"+OK",
    }


def handler_files(desktop_id, exec_line):
    """A desktop entry in the run's XDG_DATA_HOME and the user's choice of it for mailto in
    its XDG_CONFIG_HOME, as `xdg-mime default` writes it."""
    return {
        "user/.local/share/applications/" + desktop_id: (
            "[Desktop Entry]\nType=Application\nName=Mail\nExec=%s\n"
            "MimeType=x-scheme-handler/mailto;\n" % exec_line).encode(),
        "config/mimeapps.list": (
            "[Default Applications]\nx-scheme-handler/mailto=%s\n" % desktop_id).encode(),
    }


class DesktopReaderRoad(Desktop):
    def __init__(self, program, out):
        super().__init__(program, out)
        self.pop = None

    def settings(self):
        # No MailReader, MailFile or NewsReader: whatever a fresh file gets.
        return ("[Environment]\nPOPServer=127.0.0.1\nPOPPort=%d\nMailCheck=1\nNewsCheck=0\n"
                "Identify=0\nPasswdCheck=0\nDefaultUserId=%s\nPassword=%s\ndebug=1\n\n"
                "[PeerChat]\nChating=0\n\n[UserInterface]\nBeIcon=1\nBePopup=1\n\n"
                "[Sound]\nSound=0\n" % (self.pop.port, USER, scramble(PASSWORD)))

    def popup_click(self, name, user_files):
        """One program run up to the click on "メールを受信する"; returns the click's time."""
        self.pop = TodaysPop3()
        self.start_program(name, self.settings(), user_files=user_files)
        self.step("%s: log-in and mail check" % name)
        self.pop.release()
        popup = self.until("the popup", lambda: self.windows(POPUP_TITLE, True), 40)
        check(len(popup) == 1, "popups found: %r" % popup)
        popup = popup[0]
        x, y, w, h = self.geometry(popup)
        self.shot(name + "-popup.png", popup)
        self.step("%s: receive mail" % name)
        clicked = time.monotonic()
        # "メールを受信する" sits at 7,35 (73x15) of the 163x59 dialog units.
        self.click(popup, w * 435 // 1630, h * 425 // 590)
        self.until("the popup to close", lambda: self.map_state(popup) != "IsViewable", 10)
        return clicked

    def run(self):
        self.start_x()
        self.start_bus()
        record = os.path.join(self.work, "recorder.txt")
        recorder = os.path.join(self.work, "record-start")
        with open(recorder, "w") as f:
            f.write('#!/bin/sh\necho "$(date +%%s.%%N) started $*" >> "%s"\n' % record)
        os.chmod(recorder, 0o755)

        clicked = self.popup_click("recorder",
                                   handler_files("recorder.desktop", recorder + " %u"))
        clicked_wall = time.time() - (time.monotonic() - clicked)
        lines = wait_for("the recording program", lambda: (
            open(record).read().splitlines() if os.path.exists(record) else None), 10)
        check(len(lines) == 1 and lines[0].split(" ", 1)[1] == "started ",
              "recording program runs: %r" % lines)
        delay = float(lines[0].split(" ", 1)[0]) - clicked_wall
        check(delay < 1.0, "the reader started %.2f s after the click" % delay)
        self.step("recorder started %.2f s after the click" % delay)

        self.until("the listed mail marked read", lambda: self.program_file("seenmail.dat"), 10)
        check(not self.windows(BOX_TITLE, False), "a box came up")
        check(self.events("execute ") == [], "AL-Mail was asked: %r" % self.events("execute "))
        time.sleep(0.5)
        check(len(open(record).read().splitlines()) == 1, "the reader started twice")
        self.alive()
        self.step("passed")

    def dump(self):
        if self.pop:
            for i in range(len(self.pop.sessions)):
                print("pop3 connection %d: %r" % (i, self.pop.session(i)))
        super().dump()

    def stop(self):
        if self.pop:
            self.pop.close()
        super().stop()


if __name__ == "__main__":
    sys.exit(main(__doc__, lambda args: DesktopReaderRoad(args.program, args.out), RUN_LIMIT_S))

#!/usr/bin/python3
"""The mail road over TLS, end to end: the real kestrel on its own X server against the
harness's TLS-only dovecot, once by STLS (plain log-ins refused outside TLS) and once by POP3S.

It needs the running harness (servers/start-all.sh): KESTREL_IT_POP3_TLS_HOST, the STLS and
POP3S ports, the test CA, the mail user and dovecot's log from its servers.env. The Maildir is
the harness's own (KESTREL_IT_POP3_TLS_MAILDIR); this test empties it and leaves three
messages in it again, as the harness made it.

For each road (STLS, POP3S) it asserts:
  1. three messages delivered: the check logs in over TLS with the saved password and the
     popup "新規メール着信通知" comes up; "メールを受信する" sends one Execute "[Retreive]" to
     the stand-in AL-Mail on the bus and closes it;
  2. one more message delivered: the next check (MailTimer=1, a minute on) brings the popup
     back, and its picture is not the one it had for three (the count is the only thing
     that differs; no reader of the label's text is available on this desktop);
  3. the reader started again, then a restart with the same program directory: the check
     runs to its end and no popup comes up;
and once, POP3S by the address the certificate is not for: one box ("認証失敗" or "メール監視
エラー"; its text, in the screenshot, names the host mismatch and says the account stayed
home), the event log names the mismatch and holds no USER or PASS, dovecot logs the session
with no log-in attempt and never the user's name, and no popup comes.
Screenshots go to --out and to /tmp/kestrel-shots/.

Usage: mail_tls_e2e.py --program build/kestrel --out <dir>
"""
import os
import re
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from desktop import Desktop, check, main
from mail_road_e2e import POPUP_TITLE, RETREIVE, scramble
from news_road_e2e import harness

RUN_LIMIT_S = 330

SEEN_FILE = "seenmail.dat"
CHECK_END = b"pop3 socket delete\r\n"
# Only the mail check sends STAT; the log-in at start does not.
CHECK_STAT = b"stat\r\n"
BOX_CAPTIONS = ("メール監視エラー", "認証失敗")


class MailTls(Desktop):
    def __init__(self, program, out):
        super().__init__(program, out)
        self.host = harness("KESTREL_IT_POP3_TLS_HOST")
        self.wrong_host = harness("KESTREL_IT_POP3_TLS_WRONG_HOST")
        self.stls_port = int(harness("KESTREL_IT_POP3_STLS_PORT"))
        self.pop3s_port = int(harness("KESTREL_IT_POP3S_PORT"))
        self.ca = harness("KESTREL_IT_POP3_TLS_CA")
        self.user = harness("KESTREL_IT_POP3_TLS_USER")
        self.password = harness("KESTREL_IT_POP3_TLS_PASS")
        self.maildir = harness("KESTREL_IT_POP3_TLS_MAILDIR")
        self.server_log = harness("KESTREL_IT_POP3_TLS_LOG")
        self.sequence = 0

    # ---- the mailbox -----------------------------------------------------------------------

    def deliver(self, subject):
        """Delivery as a mail server does it: written under tmp/, renamed into new/, given to
        the mail user (nobody)."""
        self.sequence += 1
        name = "%d.P%dQ%d.kestrel-e2e" % (time.time(), os.getpid(), self.sequence)
        temp = os.path.join(self.maildir, "tmp", name)
        with open(temp, "wb") as f:
            f.write(b"From: sender@example.invalid\r\nTo: %s@example.invalid\r\nSubject: %s\r\n"
                    b"Message-ID: <%s@example.invalid>\r\n\r\nBody.\r\n"
                    % (self.user.encode(), subject.encode(), name.encode()))
        os.chmod(temp, 0o644)
        subprocess.run(["chown", "nobody:nogroup", temp], check=True)
        os.rename(temp, os.path.join(self.maildir, "new", name))

    def empty_box(self):
        for sub in ("new", "cur"):
            folder = os.path.join(self.maildir, sub)
            for name in os.listdir(folder):
                os.remove(os.path.join(folder, name))

    def dovecot_log(self):
        with open(self.server_log, "rb") as f:
            return f.read()

    # ---- the program -------------------------------------------------------------------------

    def settings(self, server, port, security):
        return ("[Environment]\nPOPServer=%s\nPOPPort=%d\nPOPSecurity=%d\nTLSCAFile=%s\n"
                "MailCheck=1\nNewsCheck=0\nIdentify=0\nPasswdCheck=0\n"
                "DefaultUserId=%s\nPassword=%s\nMailReader=1\ndebug=1\n\n[PeerChat]\nChating=0\n"
                "\n[Timer]\nMailTimer=1\n\n[UserInterface]\nBeIcon=1\nBePopup=1\n\n[Sound]\nSound=0\n"
                % (server, port, security, self.ca, self.user, scramble(self.password)))

    def popup(self, what, timeout_s):
        found = self.until(what, lambda: self.windows(POPUP_TITLE, True), timeout_s)
        check(len(found) == 1, "popups found: %r" % found)
        return found[0]

    def receive(self, popup, readings):
        """Clicks "メールを受信する" and waits for the reader's command and the popup to close."""
        x, y, w, h = self.geometry(popup)
        self.click(popup, w * 435 // 1630, h * 425 // 590)
        self.until("the reader's command", lambda: len(self.events("execute ")) == readings, 10)
        check(self.events("execute ") == [RETREIVE.hex()] * readings,
              "reader commands: %r" % self.events("execute "))
        self.until("the popup to close", lambda: self.map_state(popup) != "IsViewable", 10)

    def picture(self, window, name, what, accept=lambda pixels: True):
        """The popup's pixels once drawn and taken by accept(); its screenshot goes to name."""
        pixels = self.drawn_pixels(what, window, accept)
        self.shot(name, window)
        return pixels

    def road(self, name, port, security):
        self.empty_box()
        for n in (1, 2, 3):
            self.deliver("%s message %d" % (name, n))

        self.step("%s: three messages" % name)
        self.start_program(name, self.settings(self.host, port, security))
        popup = self.popup("the popup for three", 40)
        # The popup and the log lines of the check come by different roads: wait for the lines
        # (STAT follows the log-in, and the lines are written in order).
        log = self.event_log_holding("the check in the event log", CHECK_STAT)
        check(log.count(CHECK_STAT) == 1, "checks run: %d" % log.count(CHECK_STAT))
        if security == 1:
            check(b"stls\r\n" in log, "the check did not ask for STLS")
        check(("user %s\r\n" % self.user).encode() in log, "no log-in in the event log")
        check(re.search(rb"TLS ESTABLISHED \(TLSv1\.[23] \S+\)\r\n", log),
              "the event log does not name the protocol and cipher")
        check(self.password.encode() not in log, "the event log holds the password")
        three = self.picture(popup, "mail-tls-%s-three.png" % name, "the popup for three drawn")
        self.receive(popup, 1)

        self.step("%s: one more message" % name)
        self.deliver("%s message 4" % name)
        popup = self.popup("the popup for one more", 90)
        self.until("the second check in the event log",
                   lambda: self.event_log().count(CHECK_STAT) >= 2, 10,
                   shown=lambda: "%d checks" % self.event_log().count(CHECK_STAT))
        check(self.event_log().count(CHECK_STAT) == 2, "the second popup came without a check")
        self.picture(popup, "mail-tls-%s-one.png" % name,
                     "the popup for one drawn unlike the one for three (it looks the same for "
                     "three unread and for one)", lambda pixels: pixels != three)
        self.receive(popup, 2)

        self.step("%s: restart" % name)
        # Kept when the reader is started; the file is replaced whole, never written in place.
        seen = self.until("the seen-mail file (what was kept of the mail the reader was "
                          "started for)", lambda: self.program_file(SEEN_FILE), 10)
        self.stop_program()
        self.start_program(name + "-again", self.settings(self.host, port, security),
                           files={SEEN_FILE: seen})
        self.until("the check after the restart",
                   lambda: self.event_log().count(CHECK_STAT) == 1 and
                   self.event_log().rstrip(b"\r\n").endswith(CHECK_END.rstrip(b"\r\n")), 40)
        # The popup follows the check's report at once; give the event loop a moment anyway.
        time.sleep(1)
        check(not self.windows(POPUP_TITLE, True), "a popup came for mail already read")
        self.alive()
        self.stop_program()

    def wrong_certificate(self):
        self.step("wrong certificate")
        from_length = len(self.dovecot_log())
        self.start_program("wrong", self.settings(self.wrong_host, self.pop3s_port, 2))
        box = self.until("a box", lambda: [w for c in BOX_CAPTIONS
                                           for w in self.windows(c, True)], 40)[0]
        self.shot("mail-tls-wrong-host.png", box)
        check(len(self.windows(self.window_name(box), True)) == 1, "more than one box")
        # Qt's boxes offer their text to neither the clipboard nor the selection on X11: the
        # text is in the screenshot, its fault in the event log.
        self.until("the fault in the event log",
                   lambda: b"TLS ERROR (IP address mismatch)" in self.event_log(), 10)
        log = self.event_log()
        check(("user %s" % self.user).encode() not in log and b"pass " not in log,
              "the account went out: the event log holds USER or PASS")
        # dovecot's words for a connection that ended before any log-in; the second where its
        # log-in process had not yet heard from its auth service (a loaded machine).
        seen = self.until("dovecot's record of the session", lambda: (
            self.dovecot_log()[from_length:]
            if any(words in self.dovecot_log()[from_length:]
                   for words in (b"no auth attempts", b"disconnected before auth was ready"))
            else None), 10)
        check(("user=<%s>" % self.user).encode() not in seen, "dovecot saw the user: %r" % seen)
        check(not self.windows(POPUP_TITLE, True), "a popup came from a refused server")
        self.alive()
        self.stop_program()

    def window_name(self, window):
        return self.x("xdotool", "getwindowname", str(window)).stdout.decode().strip()

    def run(self):
        self.start_x()
        self.start_bus()
        try:
            self.road("stls", self.stls_port, 1)
            self.road("pop3s", self.pop3s_port, 2)
            self.wrong_certificate()
        finally:
            self.empty_box()
            for n in (1, 2, 3):
                self.deliver("harness message %d" % n)
        self.step("passed")


if __name__ == "__main__":
    sys.exit(main(__doc__, lambda args: MailTls(args.program, args.out), RUN_LIMIT_S))

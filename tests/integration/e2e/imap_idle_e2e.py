#!/usr/bin/python3
"""The IMAP road end to end: the real kestrel on its own X server against the harness's
dovecot over IMAP, with the mail timer at an hour, so only IDLE can bring the news in time.

It needs the running harness (servers/start-all.sh): KESTREL_IT_IMAP_PORT and the counted
user (KESTREL_IT_POP3_COUNTED_*), whose Maildir this test empties and leaves empty.

What it asserts:
  1. with an empty INBOX the log-in at start and the check go over IMAP (LOGIN with the
     password masked in the event log, STATUS, then IDLE) and no popup comes;
  2. a message renamed into the Maildir's new/ brings the popup "新規メール着信通知" within
     5 seconds (an hour before the timer would);
  3. the event log never holds the password.
Screenshots go to --out and to /tmp/kestrel-shots/.

Usage: imap_idle_e2e.py --program build/kestrel --out <dir>
"""
import os
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from desktop import Desktop, check, main
from mail_road_e2e import POPUP_TITLE, scramble
from news_road_e2e import harness

RUN_LIMIT_S = 100
POPUP_LIMIT_S = 5


class ImapIdle(Desktop):
    def __init__(self, program, out):
        super().__init__(program, out)
        self.port = int(harness("KESTREL_IT_IMAP_PORT"))
        self.user = harness("KESTREL_IT_POP3_COUNTED_USER")
        self.password = harness("KESTREL_IT_POP3_COUNTED_PASS")
        self.maildir = harness("KESTREL_IT_POP3_COUNTED_MAILDIR")

    def deliver(self, subject):
        name = "%d.P%d.kestrel-imap-e2e" % (time.time(), os.getpid())
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

    def settings(self):
        return ("[Environment]\nMailProtocol=1\nPOPServer=127.0.0.1\nPOPPort=%d\nPOPSecurity=0\n"
                "MailCheck=1\nNewsCheck=0\nIdentify=0\nPasswdCheck=0\n"
                "DefaultUserId=%s\nPassword=%s\nMailReader=1\ndebug=1\n\n[PeerChat]\nChating=0\n"
                "\n[Timer]\nMailTimer=60\n\n[UserInterface]\nBeIcon=1\nBePopup=1\n\n[Sound]\n"
                "Sound=0\n" % (self.port, self.user, scramble(self.password)))

    def run(self):
        self.start_x()
        self.start_bus()
        self.empty_box()
        try:
            self.step("start over IMAP with an empty INBOX")
            self.start_program("imap", self.settings())
            log = self.event_log_holding("the IDLE in the event log", b"+ idling", timeout_s=40)
            check(('LOGIN "%s" ********' % self.user).encode() in log,
                  "no masked LOGIN in the event log")
            check(b"STATUS INBOX (UNSEEN)" in log, "no STATUS in the event log")
            check(not self.windows(POPUP_TITLE, True), "a popup came for an empty INBOX")

            self.step("delivery")
            delivered = time.monotonic()
            self.deliver("IMAP IDLE e2e")
            popup = self.until("the popup", lambda: self.windows(POPUP_TITLE, True),
                               POPUP_LIMIT_S)
            took = time.monotonic() - delivered
            self.step("popup %.2f s after the delivery" % took)
            self.shot("imap-idle-popup.png", popup[0])
            check(self.password.encode() not in self.event_log(),
                  "the event log holds the password")
            self.alive()
            self.stop_program()
        finally:
            self.empty_box()
        self.step("passed")


if __name__ == "__main__":
    sys.exit(main(__doc__, lambda args: ImapIdle(args.program, args.out), RUN_LIMIT_S))

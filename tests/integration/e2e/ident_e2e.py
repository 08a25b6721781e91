#!/usr/bin/python3
"""The ident road, end to end: the real kestrel logs in against a POP3 server with its saved
password, starts its ident responder on a high AUTHPort, and Perl's Net::Ident, asking it
about a connection, learns the logged-in user name.

What it starts, all private to this test and all ended at the end: Xvfb, a session bus with
the bus peers, the scripted POP3 server of the mail road (for the log-in), and kestrel with
Identify on and the mail and news checks off.

What it asserts:
  1. the log-in uses the saved password (USER/PASS/QUIT on the POP3 server);
  2. the responder listens on the configured AUTHPort once the service has started;
  3. Net::Ident, asking about a connection between two of its own sockets, gets the
     logged-in user name and the system "MS-DOS", twice in a row;
  4. the event log holds the answer line and never the password.

Usage: ident_e2e.py --program build/kestrel --out <dir>
"""
import os
import socket
import subprocess
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from desktop import Desktop, check, main
from mail_road_e2e import PASSWORD, USER, Pop3Script, scramble

RUN_LIMIT_S = 60

# The asking server the ident tests share: it connects to itself on loopback and asks, with
# Net::Ident, who owns the other end, through the responder's port.
ASKING_SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "fakes",
                             "asking_ident_server.pl")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def listening(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=1):
            return True
    except OSError:
        return False


class IdentRoad(Desktop):
    def __init__(self, program, out):
        super().__init__(program, out)
        self.pop = None

    def run(self):
        self.start_x()
        self.start_bus()
        self.pop = Pop3Script()
        self.pop.release()
        auth_port = free_port()
        settings = ("[Environment]\nPOPServer=127.0.0.1\nPOPPort=%d\nMailCheck=0\nNewsCheck=0\n"
                    "Identify=1\nAUTHPort=%d\nPasswdCheck=0\nDefaultUserId=%s\nPassword=%s\n"
                    "debug=1\n\n[PeerChat]\nChating=0\n\n[UserInterface]\nBeIcon=1\n\n"
                    "[Sound]\nSound=0\n" % (self.pop.port, auth_port, USER, scramble(PASSWORD)))
        self.start_program("ident", settings)

        self.step("log-in with the saved password")
        self.until("the log-in", lambda: (self.pop.session(0) or ([], False))[1], 20)
        commands, _ = self.pop.session(0)
        check(commands == ["user " + USER, "pass " + PASSWORD, "quit"],
              "log-in dialogue was %r" % commands)

        self.step("the responder listens on AUTHPort %d" % auth_port)
        self.until("the ident responder", lambda: listening(auth_port), 20)

        for round_ in range(2):
            self.step("Net::Ident asks (round %d)" % (round_ + 1))
            out = subprocess.run(["perl", ASKING_SERVER, str(auth_port)],
                                 capture_output=True, timeout=30)
            answer = out.stdout.decode(errors="replace")
            check(answer == "%s|MS-DOS\n" % USER,
                  "Net::Ident said %r (%s)" % (answer, out.stderr.decode(errors="replace")))

        self.step("the event log")
        log = self.event_log_holding("the answer line in the event log",
                                     (":USERID:MS-DOS:%s\r\n" % USER).encode())
        check(PASSWORD.encode() not in log, "the password is in the event log")
        self.alive()
        self.step("passed")

    def dump(self):
        if self.pop:
            print("pop3 connection 0: %r" % (self.pop.session(0),))
        super().dump()

    def stop(self):
        if self.pop:
            self.pop.close()
        super().stop()


if __name__ == "__main__":
    sys.exit(main(__doc__, lambda args: IdentRoad(args.program, args.out), RUN_LIMIT_S))

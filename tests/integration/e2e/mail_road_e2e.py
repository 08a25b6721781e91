#!/usr/bin/python3
"""The mail road, end to end: the real kestrel on its own X server, from a POP3 server that
reports three unread messages to the mail reader reached over D-Bus.

What it starts, all private to this test and all ended at the end: Xvfb (a free display),
a session bus, bus_peers.py on it (a stand-in AL-Mail owning dde.ALMail and a notification
area, so the tray icon is a StatusNotifierItem the test can read and click), a scripted POP3
server on 127.0.0.1, and kestrel twice, each time with fresh settings (a saved password,
BeIcon on) and a fresh program directory.

What it asserts:
  1. the saved password logs in without a dialog (the first connection is USER/PASS/QUIT
     with the saved password) and the main window hides to the tray;
  2. the mail check (USER/PASS/LAST/QUIT) brings up the popup "新規メール着信通知",
     placed one eighth of the free space in from the top-left corner, and the tray icon
     and the window icon leave the idle state they had when the check began;
  3. in the first program run its button "メールを受信する" sends exactly one Execute
     "[Retreive]" to dde.ALMail and closes the popup; in the second, Return (the default
     button "閉じる") closes it and starts nothing;
  4. the tray icon and the window icon then equal the idle ones again, and the event log
     holds both dialogues with "pass ********" and never the password;
  5. a double click on the tray icon, with nothing pending, brings the main window back.
Screenshots of the popup and the main window go to --out and to /tmp/kestrel-shots/.

Usage: mail_road_e2e.py --program build/kestrel --out <dir>
"""
import socket
import sys
import threading

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from desktop import MAIN_TITLE, ITEM, SCREEN_W, SCREEN_H, Desktop, check, main

RUN_LIMIT_S = 60

POPUP_TITLE = "新規メール着信通知"
USER, PASSWORD = "kestrel", "secret"
RETREIVE = b"[Retreive]"


def scramble(plain):
    """The form a saved password takes in Environment/Password: the text plus a marker,
    back to front, each byte b at position k written as the four hex digits of
    b * (27k + 3) + 2."""
    text = plain + "K"
    n = len(text)
    return "".join("%04x" % (ord(text[n - 1 - k]) * (27 * k + 3) + 2) for k in range(n))


class Pop3Script:
    """A POP3 server that reports three unread messages. Each connection is kept as the
    list of command lines it sent. Connections after the first wait, before their greeting,
    until the test has taken its idle readings (release())."""

    REPLIES = {
        "USER": b"+OK",
        "PASS": b"+OK kestrel has 3 messages (1234 octets)",
        "LAST": b"+OK 0",
        "QUIT": b"+OK",
    }

    def __init__(self):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(4)
        self.port = self.sock.getsockname()[1]
        self.lock = threading.Lock()
        self.sessions = []  # (commands, finished) per connection
        self.gate = threading.Event()
        self.closing = False
        threading.Thread(target=self._accept, daemon=True).start()

    def release(self):
        self.gate.set()

    def session(self, index):
        with self.lock:
            if index >= len(self.sessions):
                return None
            commands, finished = self.sessions[index]
            return list(commands), finished[0]

    def close(self):
        self.closing = True
        self.gate.set()
        self.sock.close()

    def _accept(self):
        while not self.closing:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            with self.lock:
                index = len(self.sessions)
                entry = ([], [False])
                self.sessions.append(entry)
            threading.Thread(target=self._serve, args=(conn, index, entry), daemon=True).start()

    def _serve(self, conn, index, entry):
        commands, finished = entry
        with conn:
            conn.settimeout(20)
            try:
                if index > 0:
                    self.gate.wait(10)
                conn.sendall(b"+OK ready\r\n")
                for line in conn.makefile("rb"):
                    text = line.decode("latin-1").rstrip("\r\n")
                    with self.lock:
                        commands.append(text)
                    verb = text.split(" ", 1)[0].upper()
                    conn.sendall(self.REPLIES.get(verb, b"-ERR unknown command") + b"\r\n")
                    if verb == "QUIT":
                        break
            except OSError:
                pass
        with self.lock:
            finished[0] = True


class MailRoad(Desktop):
    def __init__(self, program, out):
        super().__init__(program, out)
        self.pop = None

    def settings(self):
        return ("[Environment]\nPOPServer=127.0.0.1\nPOPPort=%d\nMailCheck=1\nNewsCheck=0\n"
                "Identify=0\nPasswdCheck=0\nDefaultUserId=%s\nPassword=%s\nMailReader=1\n"
                "debug=1\n\n[PeerChat]\nChating=0\n\n[UserInterface]\nBeIcon=1\nBePopup=1\n\n"
                "[Sound]\nSound=0\n" % (self.pop.port, USER, scramble(PASSWORD)))

    def mail_road(self, name, close_by):
        """One program run: log-in, mail check, popup, closed by "receive" (the button
        "メールを受信する") or by "return" (the default button "閉じる")."""
        if self.pop:
            self.pop.close()
        self.pop = Pop3Script()
        self.start_program(name, self.settings())

        self.step("%s: log-in with the saved password" % name)
        items = self.until("the tray icon on the bus", lambda: self.events("item "), 20)
        self.item = items[0]
        login = self.until("the log-in dialogue", lambda: (
            self.pop.session(0) if self.pop.session(0) and self.pop.session(0)[1] else None), 20)
        check(login[0] == ["user " + USER, "pass " + PASSWORD, "quit"],
              "log-in dialogue: %r" % login[0])

        self.step("%s: mail check" % name)
        self.until("the mail check", lambda: self.pop.session(1), 30)
        # Nothing changes the icons between the service start and this check's report: what
        # they show now is the idle state.
        frames = self.windows(MAIN_TITLE, visible_only=False)
        check(len(frames) == 1, "main windows found: %r" % frames)
        frame = frames[0]
        check(self.map_state(frame) == "IsUnMapped", "the main window did not hide to the tray")
        idle_tray, idle_window = self.tray_icon(), self.window_icon(frame)
        self.pop.release()

        popup = self.until("the popup", lambda: self.windows(POPUP_TITLE, True), 30)
        check(len(popup) == 1, "popups found: %r" % popup)
        popup = popup[0]
        self.step("%s: popup shown" % name)
        check_session = self.pop.session(1)
        check(check_session[0] == ["user " + USER, "pass " + PASSWORD, "last", "quit"],
              "mail check dialogue: %r" % check_session[0])
        # The icons are the program's to change when it reports; asked for until they do.
        self.until("the tray icon to leave idle with mail pending",
                   lambda: self.tray_icon() != idle_tray, 10)
        self.until("the window icon to leave idle with mail",
                   lambda: self.window_icon(frame) != idle_window, 10)
        x, y, w, h = self.geometry(popup)
        check((x, y) == ((SCREEN_W - w) // 8, (SCREEN_H - h) // 8),
              "popup %dx%d placed at %d,%d" % (w, h, x, y))

        if close_by == "receive":
            self.shot("mail-popup.png")
            self.shot("mail-popup-window.png", popup)
            self.step("%s: receive mail" % name)
            # "メールを受信する" sits at 7,35 (73x15) of the 163x59 dialog units.
            self.click(popup, w * 435 // 1630, h * 425 // 590)
            self.until("the reader's command", lambda: self.events("execute "), 10)
            check(self.events("execute ") == [RETREIVE.hex()],
                  "reader commands: %r" % self.events("execute "))
        else:
            self.step("%s: close with Return" % name)
            self.x("xdotool", "windowfocus", "--sync", str(popup))
            self.x("xdotool", "key", "--window", "0", "Return")
        self.until("the popup to close", lambda: self.map_state(popup) != "IsViewable", 10)
        if close_by != "receive":
            check(self.events("execute ") == [], "closing started the mail reader")

        self.step("%s: back to idle" % name)
        self.until("the idle tray icon", lambda: self.tray_icon() == idle_tray, 10)
        self.until("the idle window icon", lambda: self.window_icon(frame) == idle_window, 10)

        # Tracing is on: both dialogues are in the event log, the password in neither.
        self.until("the event log", lambda: self.event_log().count(b"pass ********\r\n") == 2, 10)
        check(PASSWORD.encode() not in self.event_log(), "the event log holds the password")
        return frame

    def run(self):
        self.start_x()
        self.start_bus()
        self.mail_road("receive", "receive")
        self.stop_program()
        frame = self.mail_road("close", "return")

        self.step("tray double click brings the main window back")
        item = self.bus.get_object(self.item, "/StatusNotifierItem")
        item.Activate(10, 10, dbus_interface=ITEM)
        item.Activate(10, 10, dbus_interface=ITEM)
        self.until("the main window", lambda: self.map_state(frame) == "IsViewable", 10)
        check(not self.windows(POPUP_TITLE, True), "a popup came back with nothing pending")
        self.shot("main-window.png", frame)
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
    sys.exit(main(__doc__, lambda args: MailRoad(args.program, args.out), RUN_LIMIT_S))

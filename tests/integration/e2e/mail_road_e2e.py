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
import argparse
import ctypes
import hashlib
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SHOTS = "/tmp/kestrel-shots"
SCREEN_W, SCREEN_H = 1280, 1024
RUN_LIMIT_S = 60

MAIN_TITLE = "Kestrel for Intranet"
POPUP_TITLE = "新規メール着信通知"
USER, PASSWORD = "kestrel", "secret"
RETREIVE = b"[Retreive]"
ITEM = "org.kde.StatusNotifierItem"
PROPERTIES = "org.freedesktop.DBus.Properties"


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def wait_for(what, condition, timeout_s, slice_s=0.05):
    """Polls condition() until it gives a true value, which is returned; fails after timeout_s."""
    end = time.monotonic() + timeout_s
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure("timed out waiting for " + what)
        time.sleep(slice_s)


def die_with_parent():
    # Children must not outlive this script, even when it is killed outright.
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL("libc.so.6", use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


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


class Run:
    def __init__(self, program, out):
        self.program = program
        self.out = out
        self.work = tempfile.mkdtemp(prefix="kestrel-e2e.")
        self.procs = []  # (name, Popen, log file), ended in reverse order
        self.display = None
        self.bus_address = None
        self.bus = None
        self.item = None
        self.pop = None
        self.app = None
        self.home = None  # the current program run's directory
        self.mark = 0  # bus record lines before the current program run
        self.started = None

    # ---- helpers -------------------------------------------------------------------------

    def spawn(self, name, argv, env=None, **kw):
        log = open(os.path.join(self.work, name + ".log"), "wb")
        p = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=kw.pop("stdout", log),
                             stderr=log, preexec_fn=die_with_parent, **kw)
        self.procs.append((name, p, log))
        return p

    def x(self, *argv, check_rc=True):
        env = dict(os.environ, DISPLAY=self.display)
        try:
            r = subprocess.run(argv, env=env, capture_output=True, timeout=20)
        except subprocess.TimeoutExpired:
            raise Failure("%s did not finish" % " ".join(argv))
        if check_rc and r.returncode != 0:
            raise Failure("%s failed: %s" % (" ".join(argv), r.stderr.decode(errors="replace")))
        return r

    def windows(self, title, visible_only):
        argv = ["xdotool", "search"] + (["--onlyvisible"] if visible_only else [])
        r = self.x(*argv, "--name", "^%s$" % re.escape(title), check_rc=False)
        return [int(w) for w in r.stdout.split()]

    def map_state(self, window):
        r = self.x("xwininfo", "-id", str(window), check_rc=False)
        m = re.search(rb"Map State: (\w+)", r.stdout)
        return m.group(1).decode() if m else "Gone"

    def geometry(self, window):
        r = self.x("xdotool", "getwindowgeometry", "--shell", str(window))
        values = dict(line.split("=", 1) for line in r.stdout.decode().split())
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def window_icon(self, window):
        """A digest of the window's _NET_WM_ICON, the icon the frame shows in title bar and
        task bar; it changes together with the tray icon."""
        r = self.x("xprop", "-id", str(window), "-notype", "32c", "_NET_WM_ICON")
        check(b"_NET_WM_ICON" in r.stdout and b"=" in r.stdout, "the main window has no icon")
        return hashlib.sha1(r.stdout).hexdigest()

    def tray_icon(self):
        """A digest of the tray icon's pictures as the notification area receives them."""
        pixmaps = self.bus.get_object(self.item, "/StatusNotifierItem").Get(
            ITEM, "IconPixmap", dbus_interface=PROPERTIES)
        check(len(pixmaps) > 0, "the tray icon has no picture")
        digest = hashlib.sha1()
        for width, height, data in pixmaps:
            digest.update(b"%dx%d:" % (int(width), int(height)) + bytes(data))
        return digest.hexdigest()

    def record(self):
        try:
            with open(os.path.join(self.work, "record.txt"), encoding="ascii") as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def shot(self, name, window="root"):
        path = os.path.join(self.out, name)
        self.x("import", "-window", str(window), path)
        os.makedirs(SHOTS, exist_ok=True)
        shutil.copy(path, os.path.join(SHOTS, name))
        print("screenshot:", path, "(copied to %s)" % SHOTS)

    def step(self, text):
        since = "" if self.started is None else " [%.1f s]" % (time.monotonic() - self.started)
        print("--", text + since, flush=True)

    # ---- the run -------------------------------------------------------------------------

    def start_x(self):
        read_fd, write_fd = os.pipe()
        self.spawn("xvfb", ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                            "%dx%dx24" % (SCREEN_W, SCREEN_H), "-nolisten", "tcp"],
                   pass_fds=(write_fd,))
        os.close(write_fd)
        with os.fdopen(read_fd, "rb") as f:
            number = f.readline().strip().decode()
        check(number.isdigit(), "Xvfb named no display (see xvfb.log)")
        self.display = ":" + number
        wait_for("the X server", lambda: self.x("xdpyinfo", check_rc=False).returncode == 0, 10)

    def start_bus(self):
        p = self.spawn("dbus", ["dbus-daemon", "--session", "--nofork", "--print-address=1",
                                "--address=unix:path=%s/bus" % self.work],
                       stdout=subprocess.PIPE)
        self.bus_address = p.stdout.readline().decode().strip()
        check(self.bus_address.startswith("unix:"), "dbus-daemon printed no address")
        env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.bus_address)
        self.spawn("bus_peers", ["/usr/bin/python3", os.path.join(HERE, "bus_peers.py"),
                                 os.path.join(self.work, "record.txt")], env=env)
        wait_for("the bus peers", lambda: "ready" in self.record(), 10)
        import dbus.bus  # Debian's python3-dbus; only this test needs it
        self.bus = dbus.bus.BusConnection(self.bus_address)

    def write_settings(self, home):
        conf = os.path.join(home, "config", "Harrowgate")
        os.makedirs(conf)
        with open(os.path.join(conf, "Kestrel.conf"), "w", encoding="ascii") as f:
            f.write("[Environment]\nPOPServer=127.0.0.1\nPOPPort=%d\nMailCheck=1\nNewsCheck=0\n"
                    "Identify=0\nPasswdCheck=0\nDefaultUserId=%s\nPassword=%s\nMailReader=1\n"
                    "debug=1\n\n[PeerChat]\nChating=0\n\n[UserInterface]\nBeIcon=1\nBePopup=1\n\n"
                    "[Sound]\nSound=0\n" % (self.pop.port, USER, scramble(PASSWORD)))

    def start_program(self, name):
        """Starts kestrel with fresh settings and directories of its own, under work/<name>."""
        home = os.path.join(self.work, name)
        for d in ("home", "tmp", "runtime"):
            os.makedirs(os.path.join(home, d), mode=0o700)
        self.write_settings(home)
        env = dict(os.environ,
                   DISPLAY=self.display,
                   QT_QPA_PLATFORM="xcb",
                   DBUS_SESSION_BUS_ADDRESS=self.bus_address,
                   XDG_CONFIG_HOME=os.path.join(home, "config"),
                   KESTREL_HOME=os.path.join(home, "home"),
                   # The single-instance socket lives in the temporary directory: a private
                   # one keeps any other running copy from turning this one away.
                   TMPDIR=os.path.join(home, "tmp"),
                   XDG_RUNTIME_DIR=os.path.join(home, "runtime"))
        self.home = home
        self.mark = len(self.record())
        self.started = time.monotonic()
        self.app = self.spawn(name + "-output", [self.program], env=env)

    def stop_program(self):
        self.app.terminate()
        self.app.wait(10)

    def events(self, prefix):
        """This program run's bus record lines that start with prefix, without it."""
        return [line[len(prefix):] for line in self.record()[self.mark:] if line.startswith(prefix)]

    def alive(self):
        check(self.app.poll() is None, "kestrel ended early (exit %s)" % self.app.returncode)

    def until(self, what, condition, timeout_s):
        """wait_for() that also fails as soon as the program has ended."""
        def probe():
            self.alive()
            return condition()
        return wait_for(what, probe, timeout_s)

    def mail_road(self, name, close_by):
        """One program run: log-in, mail check, popup, closed by "receive" (the button
        "メールを受信する") or by "return" (the default button "閉じる")."""
        if self.pop:
            self.pop.close()
        self.pop = Pop3Script()
        self.start_program(name)

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
        check(self.tray_icon() != idle_tray, "the tray icon stayed idle with mail pending")
        check(self.window_icon(frame) != idle_window, "the window icon stayed idle with mail")
        x, y, w, h = self.geometry(popup)
        check((x, y) == ((SCREEN_W - w) // 8, (SCREEN_H - h) // 8),
              "popup %dx%d placed at %d,%d" % (w, h, x, y))

        if close_by == "receive":
            self.shot("mail-popup.png")
            self.shot("mail-popup-window.png", popup)
            self.step("%s: receive mail" % name)
            # "メールを受信する" sits at 7,35 (73x15) of the 163x59 dialog units.
            self.x("xdotool", "mousemove", "--window", str(popup),
                   str(w * 435 // 1630), str(h * 425 // 590), "click", "1")
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
        check(self.window_icon(frame) == idle_window, "the window icon is not the idle one")

        # Tracing is on: both dialogues are in the event log, the password in neither.
        self.until("the event log", lambda: self.event_log().count(b"pass ********\r\n") == 2, 10)
        check(PASSWORD.encode() not in self.event_log(), "the event log holds the password")
        return frame

    def event_log(self):
        try:
            with open(os.path.join(self.home, "home", "kestrel.log"), "rb") as f:
                return f.read()
        except FileNotFoundError:
            return b""

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
        print("---- diagnostics (work dir %s)" % self.work)
        if self.pop:
            for i in range(len(self.pop.sessions)):
                print("pop3 connection %d: %r" % (i, self.pop.session(i)))
        print("bus record:", self.record())
        for name in sorted(os.listdir(self.work)):
            if name.endswith(".log"):
                text = open(os.path.join(self.work, name), "rb").read()
                print("---- %s\n%s" % (name, text.decode(errors="replace")))
        log = os.path.join(self.home or self.work, "home", "kestrel.log")
        if os.path.exists(log):
            print("---- event log\n" + open(log, "rb").read().decode("cp932", errors="replace"))

    def stop(self):
        if self.pop:
            self.pop.close()
        for _, p, log in reversed(self.procs):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
            if p.stdout:
                p.stdout.close()
            log.close()
        shutil.rmtree(self.work, ignore_errors=True)


def on_alarm(signum, frame):
    raise Failure("the run took more than %d s" % RUN_LIMIT_S)


def on_term(signum, frame):
    raise Failure("stopped by signal %d" % signum)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)

    signal.signal(signal.SIGALRM, on_alarm)
    signal.signal(signal.SIGTERM, on_term)
    signal.alarm(RUN_LIMIT_S)
    run = Run(os.path.abspath(args.program), os.path.abspath(args.out))
    try:
        run.run()
        return 0
    except Exception as e:  # a failed check, or a tool or the bus letting the run down
        print("FAILED:", "%s: %s" % (type(e).__name__, e) if not isinstance(e, Failure) else e,
              flush=True)
        run.dump()
        return 1
    finally:
        signal.alarm(0)
        run.stop()


if __name__ == "__main__":
    sys.exit(main())

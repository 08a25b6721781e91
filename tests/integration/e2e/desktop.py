"""What the end-to-end tests share: a private desktop for the real kestrel and the ways to look
at it.

Desktop starts, all private to one test and all ended by stop(): Xvfb on a free display, a
session bus with bus_peers.py on it (the stand-in readers and a notification area, so the
tray icon is a StatusNotifierItem the test can read and click), and kestrel itself with
settings and a program directory of its own. main() runs a test's Desktop subclass with a
time limit and prints the diagnostics when it fails.
"""
import argparse
import ctypes
import hashlib
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SHOTS = "/tmp/kestrel-shots"
SCREEN_W, SCREEN_H = 1280, 1024

MAIN_TITLE = "Kestrel for Intranet"
ITEM = "org.kde.StatusNotifierItem"
PROPERTIES = "org.freedesktop.DBus.Properties"



def without_broadcasts(settings):
    """The peer chat is on by default and broadcasts on every interface; these tests run on the
    machine's own network, so it is turned off unless the settings say otherwise."""
    if "Chating=" in settings:
        return settings
    if "[PeerChat]\n" in settings:
        return settings.replace("[PeerChat]\n", "[PeerChat]\nChating=0\n", 1)
    return settings.rstrip("\n") + "\n[PeerChat]\nChating=0\n"

class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def wait_for(what, condition, timeout_s, slice_s=0.05, shown=None):
    """Polls condition() until it gives a true value, which is returned; fails after timeout_s.
    Whatever another process writes (a log, a record, a file) is read this way, never once at
    the instant of some other event: it lands a moment later, later still on a loaded machine.
    shown(), when given, tells what was read last; the failure quotes it."""
    end = time.monotonic() + timeout_s
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            message = "timed out waiting for " + what
            if shown:
                message += "; last read: %s" % shown()
            raise Failure(message)
        time.sleep(slice_s)


def die_with_parent():
    # Children must not outlive the test, even when it is killed outright.
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL("libc.so.6", use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


class Desktop:
    def __init__(self, program, out):
        self.program = program
        self.out = out
        self.work = tempfile.mkdtemp(prefix="kestrel-e2e.")
        self.procs = []  # (name, Popen, log file), ended in reverse order
        self.display = None
        self.bus_address = None
        self.bus = None
        self.item = None
        self.app = None
        self.home = None  # the current program run's directory
        self.mark = 0  # bus record lines before the current program run
        self.started = None

    # ---- processes and tools -------------------------------------------------------------

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

    # ---- windows -------------------------------------------------------------------------

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

    def click(self, window, x, y):
        self.x("xdotool", "mousemove", "--window", str(window), str(x), str(y), "click", "1")

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

    def pixels(self, window):
        """The window's picture as raw RGB bytes: equal pictures give equal bytes (a PNG
        carries the time it was made)."""
        return self.x("import", "-window", str(window), "-depth", "8", "rgb:-").stdout

    def drawn_pixels(self, what, window, accept=lambda pixels: True, timeout_s=10):
        """The window's pixels once it is drawn (not one colour), unchanged over two looks in a
        row and taken by accept(): a window is mapped a moment before it is painted."""
        last = [None]

        def look():
            now = self.pixels(window)
            steady = now == last[0] and now.count(now[:3]) * 3 != len(now)
            last[0] = now
            return now if steady and accept(now) else None
        return self.until(what, look, timeout_s)

    def shot(self, name, window="root"):
        path = os.path.join(self.out, name)
        self.x("import", "-window", str(window), path)
        os.makedirs(SHOTS, exist_ok=True)
        shutil.copy(path, os.path.join(SHOTS, name))
        print("screenshot:", path, "(copied to %s)" % SHOTS)

    def step(self, text):
        since = "" if self.started is None else " [%.1f s]" % (time.monotonic() - self.started)
        print("--", text + since, flush=True)

    # ---- the bus -------------------------------------------------------------------------

    def record(self):
        try:
            with open(os.path.join(self.work, "record.txt"), encoding="ascii") as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def events(self, prefix):
        """This program run's bus record lines that start with prefix, without it."""
        return [line[len(prefix):] for line in self.record()[self.mark:] if line.startswith(prefix)]

    # ---- starting --------------------------------------------------------------------------

    def start_x(self):
        # -noreset: between two runs of the program no client is left, and a server that resets
        # then refuses a connection now and then (2 in 200 back-to-back tries here), so the
        # program's next start could not open its display.
        read_fd, write_fd = os.pipe()
        self.spawn("xvfb", ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                            "%dx%dx24" % (SCREEN_W, SCREEN_H), "-nolisten", "tcp", "-noreset"],
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
        import dbus.bus  # Debian's python3-dbus; only these tests need it
        self.bus = dbus.bus.BusConnection(self.bus_address)

    def start_program(self, name, settings, files=None, prefix=(), user_files=None):
        """Starts kestrel under work/<name> with settings (the text of Kestrel.conf) in a fresh
        configuration directory and files ({name: bytes}) in a fresh program directory; prefix
        is put before the program's path (e.g. "ip netns exec <ns>"). user_files ({path: bytes},
        relative to work/<name>) go into the run's own configuration and home directories
        ("config/..." is XDG_CONFIG_HOME, "user/.local/share/..." XDG_DATA_HOME)."""
        home = os.path.join(self.work, name)
        for d in ("home", "tmp", "runtime", "user"):
            os.makedirs(os.path.join(home, d), mode=0o700)
        conf = os.path.join(home, "config", "Harrowgate")
        os.makedirs(conf)
        with open(os.path.join(conf, "Kestrel.conf"), "w", encoding="ascii") as f:
            f.write(without_broadcasts(settings))
        for file_name, data in (files or {}).items():
            with open(os.path.join(home, "home", file_name), "wb") as f:
                f.write(data)
        for path, data in (user_files or {}).items():
            path = os.path.join(home, path)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
        env = dict(os.environ,
                   DISPLAY=self.display,
                   QT_QPA_PLATFORM="xcb",
                   DBUS_SESSION_BUS_ADDRESS=self.bus_address,
                   XDG_CONFIG_HOME=os.path.join(home, "config"),
                   KESTREL_HOME=os.path.join(home, "home"),
                   # The single-instance socket lives in the temporary directory: a private
                   # one keeps any other running copy from turning this one away.
                   TMPDIR=os.path.join(home, "tmp"),
                   XDG_RUNTIME_DIR=os.path.join(home, "runtime"),
                   # Caches (fonts, Qt's) and data of this run's own: every run is a first
                   # run, as on a fresh machine, and none leans on what an earlier one left.
                   HOME=os.path.join(home, "user"),
                   XDG_CACHE_HOME=os.path.join(home, "user", ".cache"),
                   XDG_DATA_HOME=os.path.join(home, "user", ".local", "share"),
                   XDG_STATE_HOME=os.path.join(home, "user", ".local", "state"))
        self.home = home
        self.mark = len(self.record())
        self.started = time.monotonic()
        self.app = self.spawn(name + "-output", list(prefix) + [self.program], env=env)

    def stop_program(self):
        self.app.terminate()
        self.app.wait(10)

    def program_file(self, name):
        """The bytes of a file in the current program directory; b"" when it is missing."""
        try:
            with open(os.path.join(self.home, "home", name), "rb") as f:
                return f.read()
        except FileNotFoundError:
            return b""

    def event_log(self):
        return self.program_file("kestrel.log")

    def alive(self):
        check(self.app.poll() is None, "kestrel ended early (exit %s)" % self.app.returncode)

    def until(self, what, condition, timeout_s, shown=None):
        """wait_for() that also fails as soon as the program has ended."""
        def probe():
            self.alive()
            return condition()
        return wait_for(what, probe, timeout_s, shown=shown)

    def event_log_holding(self, what, *needles, timeout_s=10):
        """The event log once it holds every needle (bytes); fails, quoting it, at the deadline."""
        return self.until(what, lambda: (lambda log: log if all(n in log for n in needles)
                                         else None)(self.event_log()), timeout_s,
                          shown=lambda: self.event_log().decode("cp932", errors="replace"))

    # ---- the end ---------------------------------------------------------------------------

    def dump(self):
        print("---- diagnostics (work dir %s)" % self.work)
        print("bus record:", self.record())
        for name in sorted(os.listdir(self.work)):
            if name.endswith(".log"):
                text = open(os.path.join(self.work, name), "rb").read()
                print("---- %s\n%s" % (name, text.decode(errors="replace")))
        log = os.path.join(self.home or self.work, "home", "kestrel.log")
        if os.path.exists(log):
            print("---- event log\n" + open(log, "rb").read().decode("cp932", errors="replace"))

    def stop(self):
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


def main(doc, make_run, limit_s, add_arguments=None):
    """Runs make_run(args).run() within limit_s seconds; returns the exit status."""
    parser = argparse.ArgumentParser(description=doc.splitlines()[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--out", required=True)
    if add_arguments:
        add_arguments(parser)
    args = parser.parse_args()
    args.program = os.path.abspath(args.program)
    args.out = os.path.abspath(args.out)
    os.makedirs(args.out, exist_ok=True)

    def on_alarm(signum, frame):
        raise Failure("the run took more than %d s" % limit_s)

    def on_term(signum, frame):
        raise Failure("stopped by signal %d" % signum)

    signal.signal(signal.SIGALRM, on_alarm)
    signal.signal(signal.SIGTERM, on_term)
    signal.alarm(limit_s)
    run = None
    try:
        run = make_run(args)
        run.run()
        return 0
    except Exception as e:  # a failed check, or a tool or the bus letting the run down
        print("FAILED:", "%s: %s" % (type(e).__name__, e) if not isinstance(e, Failure) else e,
              flush=True)
        if run:
            run.dump()
        return 1
    finally:
        signal.alarm(0)
        if run:
            run.stop()

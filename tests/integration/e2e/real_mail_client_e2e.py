#!/usr/bin/python3
"""The desktop's own mail reader, with a real one: Debian's Claws Mail, registered as the
x-scheme-handler/mailto application in the run's own XDG_DATA_HOME/XDG_CONFIG_HOME, is started
by the popup's "メールを受信する" of a kestrel whose settings name no reader, and shows its
window (the first-run assistant, as it has no account yet) within the deadline.

The road up to the click is desktop_reader_e2e.py's. Claws Mail runs with the run's own
HOME and is ended with the run, by the process id its window gives.

Usage: real_mail_client_e2e.py --program build/kestrel --out <dir>
"""
import os
import shutil
import signal
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from desktop import check, main
from desktop_reader_e2e import BOX_TITLE, DesktopReaderRoad, handler_files

RUN_LIMIT_S = 120
CLIENT = "claws-mail"


class RealClientRoad(DesktopReaderRoad):
    def __init__(self, program, out):
        super().__init__(program, out)
        self.client_pids = []

    def client_windows(self):
        r = self.x("xdotool", "search", "--onlyvisible", "--class", CLIENT, check_rc=False)
        return r.stdout.split()

    def run(self):
        program = shutil.which(CLIENT)
        check(program is not None, "%s is not installed (scripts/setup.sh installs it)" % CLIENT)
        self.start_x()
        self.start_bus()
        check(not self.client_windows(), "a %s window was there before the click" % CLIENT)
        # The entry as Debian ships it, under an id of the test's own.
        self.popup_click("client", handler_files("kestrel-test-claws.desktop",
                                                 program + " %u"))
        windows = self.until("the %s window" % CLIENT, self.client_windows, 45)
        for window in windows:
            pid = self.x("xdotool", "getwindowpid", window, check_rc=False).stdout.strip()
            if pid.isdigit():
                self.client_pids.append(int(pid))
        self.shot("client-window.png")
        check(not self.windows(BOX_TITLE, False), "a box came up")
        check(self.events("execute ") == [], "AL-Mail was asked: %r" % self.events("execute "))
        self.alive()
        self.step("passed")

    def stop(self):
        # Started by the program through the desktop, not by this test: ended by its window's
        # process id.
        for pid in set(self.client_pids):
            try:
                os.kill(pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        super().stop()


if __name__ == "__main__":
    sys.exit(main(__doc__, lambda args: RealClientRoad(args.program, args.out), RUN_LIMIT_S))

#!/usr/bin/python3
"""The settings dialogs, end to end: the real kestrel on its own X server, its environment
settings opened from the main window's menu with the keyboard, the POP server changed and OK
pressed.

What it starts, all private to this test and all ended at the end: Xvfb (a free display), a
session bus with bus_peers.py on it, and kestrel with fresh settings (the mail check on, no
saved password, the peer chat off) and a fresh program directory.

What it asserts:
  1. the log-in dialog of the first start can be cancelled, leaving the service stopped;
  2. "ｵﾌﾟｼｮﾝ(O)" > "環境設定(&E)..." opens the dialog "環境設定";
  3. after the POP server is typed and OK pressed, Kestrel.conf holds the new server under
     [Environment] and the main form's mail server field shows it (read back through the
     clipboard);
  4. each of the seven settings dialogs opens from its menu command and is photographed.
Screenshots go to --out and to /tmp/kestrel-shots/ (settings-*.png).

Usage: settings_e2e.py --program build/kestrel --out <dir>
"""
import os
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from desktop import MAIN_TITLE, Desktop, check, main, wait_for

RUN_LIMIT_S = 120
NEW_SERVER = "pop.kestrel.example"

# Menu bar order: ﾈｯﾄﾜｰｸ, ｺﾐｭﾆｹｰﾀ, ｵﾌﾟｼｮﾝ, ﾍﾙﾌﾟ. Each dialog: its caption, the menu's
# place in the bar and the item's place among the menu's enabled items (the arrow keys pass
# over grey ones, such as ﾋﾟｱﾁｬｯﾄ with the chat off).
DIALOGS = [
    ("環境設定", 2, 0, "settings-environment.png"),
    ("タイマー設定", 2, 1, "settings-timer.png"),
    ("サウンド設定", 2, 2, "settings-sound.png"),
    ("ユーザインタフェース", 2, 3, "settings-user-interface.png"),
    ("コミュニケータオプション", 1, 0, "settings-communicator.png"),
    ("他ﾈｯﾄﾜｰｸへのﾌﾞﾛｰﾄﾞｷｬｽﾄ", 1, 1, "settings-broadcast.png"),
    ("居所場所の登録", 1, 2, "settings-places.png"),
]


class SettingsRun(Desktop):
    def key(self, *keys):
        if not keys:
            return
        self.x("xdotool", "key", "--delay", "80", *keys)

    def main_window(self):
        return self.until("the main window",
                          lambda: (self.windows(MAIN_TITLE, visible_only=True) or [None])[0], 20)

    def open_from_menu(self, menu_index, item_index, caption):
        frame = self.main_window()
        self.x("xdotool", "windowactivate", "--sync", str(frame), check_rc=False)
        self.x("xdotool", "windowfocus", "--sync", str(frame))
        # Alt alone puts the keyboard on the menu bar.
        self.key("alt")
        self.key(*(["Right"] * menu_index))
        self.key("Down")
        self.key(*(["Down"] * item_index))
        self.key("Return")
        return self.until("the dialog " + caption,
                          lambda: (self.windows(caption, visible_only=True) or [None])[0], 10)

    def clipboard(self):
        r = subprocess.run(["python3", "-c",
                            "import tkinter; r = tkinter.Tk(); r.withdraw(); "
                            "print(r.clipboard_get(), end='')"],
                           env=dict(os.environ, DISPLAY=self.display), capture_output=True,
                           timeout=20)
        return r.stdout.decode(errors="replace")

    def conf(self):
        with open(os.path.join(self.home, "config", "Harrowgate", "Kestrel.conf"),
                  encoding="utf-8") as f:
            return f.read()

    def run(self):
        self.start_x()
        self.start_bus()
        self.start_program("settings", "[Environment]\nPOPServer=127.0.0.1\nPOPPort=9\n"
                                       "PasswdCheck=0\n[UserInterface]\nBeIcon=0\n"
                                       # on this machine's own network: no broadcasts
                                       "[PeerChat]\nChating=0\n")

        self.step("cancel the first log-in")
        login = self.until("the log-in dialog",
                           lambda: (self.windows("ログイン", visible_only=True) or [None])[0], 20)
        self.x("xdotool", "windowfocus", "--sync", str(login))
        self.key("Escape")
        self.until("the log-in dialog to close",
                   lambda: not self.windows("ログイン", visible_only=True), 10)

        self.step("change the POP server in the environment settings")
        dlg = self.open_from_menu(2, 0, "環境設定")
        self.x("xdotool", "windowfocus", "--sync", str(dlg))
        # From the user name: the news check, the mail check, then the POP server (the news
        # fields are grey with the news check off).
        self.key("Tab", "Tab", "Tab", "ctrl+a")
        self.x("xdotool", "type", "--delay", "20", NEW_SERVER)
        self.shot("settings-environment-edited.png", dlg)
        self.key("Return")
        self.until("the dialog to close", lambda: not self.windows("環境設定", visible_only=True),
                   10)
        wait_for("Kestrel.conf to hold the new server",
                 lambda: "POPServer=%s\n" % NEW_SERVER in self.conf(), 10)

        frame = self.main_window()
        self.shot("settings-main-window.png", frame)
        # The form's mail server field: dialog units (124, 54, 68, 12) at 1.95 x 1.55 pixels,
        # below the menu bar; the field takes the focus on a click and copies with Ctrl+C.
        x, y, w, h = self.geometry(frame)
        bar = self.menu_bar_height(frame)
        self.click(frame, int(124 * 1.95 + 30), bar + int(54 * 1.55 + 9))
        self.key("ctrl+a", "ctrl+c")
        shown = wait_for("the form's mail server", lambda: self.clipboard() or None, 10)
        check(shown == NEW_SERVER, "the form shows %r as the mail server" % shown)

        self.step("photograph every settings dialog")
        for caption, menu, item, shot in DIALOGS:
            dlg = self.open_from_menu(menu, item, caption)
            time.sleep(0.3)
            self.shot(shot, dlg)
            self.x("xdotool", "windowfocus", "--sync", str(dlg))
            self.key("Escape")
            self.until("the dialog %s to close" % caption,
                       lambda: not self.windows(caption, visible_only=True), 10)
        self.alive()
        print("settings end to end: passed")

    def menu_bar_height(self, frame):
        # The client area starts below the bar; Qt's bar on this font is about 24 pixels.
        return 24


if __name__ == "__main__":
    sys.exit(main(__doc__, lambda args: SettingsRun(args.program, args.out), RUN_LIMIT_S))

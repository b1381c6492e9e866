#!/usr/bin/env python3
"""The real program in real windows, under a real window manager, on a busy machine: a
seeded random stream of what a player does, for as long as asked.

Usage: soak.py [--minutes M] [--seed S] --splash <splash.bmp> --out <folder> -- <command...>

The program runs on a virtual display of its own with openbox managing its windows and two
busy processes beside it. Each step is one thing a player does: a click on Roll, Hold or
Quit, on a title of the menu bar or an item of its pop-up, on a control of an open dialog or
message box; a key (the accelerators, Enter, Escape, Tab, Space, arrows); a window dragged
by its title bar; a New Game against a chosen opponent; now and then a close through the
frame. After every step the program must be alive with nothing on its standard error;
every few steps it must still answer (the key A opens About within a few seconds, Enter
closes it). Its window may go only for a step that asks for it: a close through the frame
at any time, Exit (Escape, or the menu bar's Exit) when no game runs. Then the splash must
show and the program must end with code 0, and the next run starts. A close through the
frame may be refused only while a dialog or box of the program is open, and the last run
must end through its frame.

The same script serves the Windows build under Wine (the command starts with wine-run): its
windows then get a prefix of their own in which Wine lets the window manager frame them.

A failure prints the seed and the last steps, and keeps the last screenshots in the folder.
"""
import argparse
import collections
import os
import random
import shutil
import signal
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from game_play_e2e import (CELLS, OPPONENT, RULES, START_ORDER, STRATEGY,  # noqa: E402
                           Board, buttons_in, menu_titles, read_bmp)
from run_game import FRAME, Grabber, Shot, report_failure  # noqa: E402
from xvfb import start_display, stop_display  # noqa: E402

TITLE = "Zant Pig"
SCREEN_W, SCREEN_H = 1024, 768  # the virtual display's (tests/e2e/xvfb.py)
CLIENT_W, CLIENT_H = 600, 400
BUTTONS = {"Roll": (362, 357), "Hold": (449, 357), "Quit": (536, 357)}
OPPONENTS = ("Human", "Newbie", "Amateur", "Pro")
KEYS = ["n", "r", "o", "p", "s", "a", "Escape", "Return", "Return", "Escape", "Tab", "Tab",
        "space", "Up", "Down", "Left", "Right"]
RING = 6  # screenshots kept of the last steps


class Failed(Exception):
    pass


class Ended(Exception):
    """The program's main window went: the run is over (checked by the caller)."""


class Client:
    """The main window's client area as read from the screen (the interface of
    run_game.Shot, with the client's corner at 0, 0)."""

    def __init__(self, rows):
        self.w, self.h, self.px = CLIENT_W, len(rows), b"".join(rows)

    def at(self, x, y):
        i = (y * self.w + x) * 3
        return tuple(self.px[i:i + 3])


class Display:
    """The virtual screen, its window manager and what is on it."""

    def __init__(self, busy):
        self.xvfb, self.name = start_display()
        self.env = dict(os.environ, DISPLAY=self.name)
        self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 20
        while "window id" not in self.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"):
            if time.time() > deadline or self.wm.poll() is not None:
                raise Failed("openbox did not start")
            time.sleep(0.1)
        self.busy = [subprocess.Popen(["sh", "-c", "while :; do :; done"]) for _ in range(busy)]
        self.grabber = Grabber(self.name)

    def close(self):
        self.grabber.close()
        for p in self.busy:
            p.kill()
            p.wait()
        self.wm.terminate()
        try:
            self.wm.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.wm.kill()
        stop_display(self.xvfb)

    def run(self, *args, timeout=10):
        """What a command printed; nothing when it did not finish in time (an xdotool that
        waits for a window that never comes)."""
        try:
            return subprocess.run([str(a) for a in args], env=self.env, capture_output=True,
                                  text=True, timeout=timeout).stdout
        except subprocess.TimeoutExpired:
            return ""

    def xdo(self, *args):
        return self.run("xdotool", *args)

    def info(self, window):
        """(name, x, y, w, h, viewable) of a window's client area, or None when it is gone."""
        out = self.run("xwininfo", "-id", window)
        if "Map State" not in out:
            return None
        values, name = {}, ""
        for line in out.splitlines():
            line = line.strip()
            if line.startswith("xwininfo: Window id:"):
                name = line.split('"', 1)[1].rsplit('"', 1)[0] if '"' in line else ""
            elif ":" in line:
                key, value = line.split(":", 1)
                values[key.strip()] = value.strip()
        return (name, int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
                int(values["Width"]), int(values["Height"]), values["Map State"] == "IsViewable")

    def windows(self):
        """The windows openbox manages that are on the screen: {id: (name, x, y, w, h)}."""
        found = {}
        for w in self.clients():
            got = self.info(w)
            if got and got[5]:
                found[w] = got[:5]
        return found

    def iconic(self, window):
        """Minimised by the window manager (a click on a minimise button)."""
        return "Iconic" in self.run("xprop", "-id", window, "WM_STATE")

    def clients(self):
        out = self.run("xprop", "-root", "_NET_CLIENT_LIST")
        return [w.strip() for w in out.split("#", 1)[1].split(",")] if "#" in out else []

    def extents(self, window):
        """The frame openbox draws around a window: (left, right, top, bottom)."""
        out = self.run("xprop", "-id", window, "_NET_FRAME_EXTENTS")
        if "=" not in out:
            return (0, 0, 0, 0)
        return tuple(int(v) for v in out.split("=", 1)[1].split(","))

    def shot(self, path):
        subprocess.run(["import", "-display", self.name, "-window", "root", "-depth", "8", path],
                       check=True)
        return Shot(path)

    def click(self, x, y, button=1):
        self.xdo("mousemove", int(x), int(y))
        time.sleep(0.03)
        self.xdo("click", button)

    def key(self, name, window=None):
        """A key press, to the window given (made the active one first) or to whichever has
        the keyboard focus."""
        if window:
            self.run("xdotool", "windowactivate", "--sync", window, timeout=1)
        self.xdo("key", name)

    def drag(self, x0, y0, x1, y1):
        self.xdo("mousemove", int(x0), int(y0))
        time.sleep(0.1)
        self.xdo("mousedown", 1)
        time.sleep(0.15)  # the window manager takes the press before the pointer moves on
        for i in range(1, 9):
            self.xdo("mousemove", int(x0 + (x1 - x0) * i / 8), int(y0 + (y1 - y0) * i / 8))
            time.sleep(0.04)
        time.sleep(0.1)
        self.xdo("mouseup", 1)


class Soak:
    def __init__(self, args, display):
        self.args, self.d = args, display
        self.rng = random.Random(args.seed)
        self.history = collections.deque(maxlen=25)
        self.counts = collections.Counter()
        self.asks = []  # what may have ended the main window since the last answer check
        self.idle = False  # no game ran before the step, as far as the board showed
        self.origin = None  # the main window's client area on the screen, as last seen
        self.ring = collections.deque()
        self.proc = self.main = self.titles = None
        self.splash = read_bmp(args.splash)
        self.splash_seen = self.run_started = 0.0
        self.last_board = None  # 'game' or 'no game', as the watcher last saw the board
        self.done = False
        self.watching = threading.Thread(target=self.watch, args=(Grabber(display.name),),
                                         daemon=True)
        self.watching.start()
        self.wine = os.path.basename(args.command[0]).startswith("wine-run")
        self.env = dict(display.env)
        if self.wine:
            self.prepare_wine()

    # --- Runs of the program ------------------------------------------------------------
    def prepare_wine(self):
        """A Wine prefix of the soak's own, in which the window manager frames Wine's
        windows (the tests' prefix has Wine manage them itself, for want of one)."""
        prefix = os.path.join(os.path.dirname(os.path.abspath(self.args.command[0])),
                              "wineprefix-wm")
        self.env["ZANT_WINEPREFIX"] = prefix
        if not os.path.exists(os.path.join(prefix, ".zant-wm")):
            subprocess.run([self.args.command[0], "--init"], env=self.env, check=True)
            subprocess.run([self.args.command[0], "reg", "add", r"HKCU\Software\Wine\X11 Driver",
                            "/v", "Managed", "/t", "REG_SZ", "/d", "Y", "/f"], env=self.env,
                           check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            open(os.path.join(prefix, ".zant-wm"), "w").close()

    def start(self):
        self.counts["runs"] += 1
        self.err_path = os.path.join(self.args.out, "stderr.txt")
        self.err = open(self.err_path, "w")
        self.proc = subprocess.Popen(self.args.command, env=self.env, stdout=subprocess.DEVNULL,
                                     stderr=self.err)
        self.note(f"run {self.counts['runs']} started")
        self.asks, self.run_started, self.last_board, self.origin = [], time.time(), None, None
        deadline = time.time() + (90 if self.wine else 30)
        while True:
            self.alive()
            mains = [w for w, (name, x, y, width, height) in self.d.windows().items()
                     if name == TITLE and width == CLIENT_W and height > CLIENT_H]
            if mains:
                self.main = mains[0]
                break
            if time.time() > deadline:
                raise Failed("the main window did not appear")
            time.sleep(0.2)
        self.titles = None

    def alive(self):
        if self.proc.poll() is not None:
            raise Failed(f"the program ended with code {self.proc.returncode}")
        self.err.flush()
        if os.path.getsize(self.err_path):
            raise Failed("the program wrote to its standard error:\n" +
                         open(self.err_path, errors="replace").read()[-2000:])

    def ending(self, why):
        """The main window has gone: the splash must show, and the program end with 0."""
        self.note(f"the main window went ({why})")
        deadline, seen = time.time() + (30 if self.wine else 10), False
        self.looks, self.best_look = 0, (0, [])  # and the best: share of the picture, rows
        covers = []
        while not seen and time.time() < deadline and self.proc.poll() is None:
            if self.looks % 5 == 4:
                # Boxes of the program still open stay until the program ends, and the
                # window manager may keep the one with the keyboard over the new splash.
                covers = [(x - 4, y - 24, w + 8, h + 28) for name, x, y, w, h in
                          self.others().values() if (w, h) != self.splash[:2]]
            seen = self.splash_shown([]) or (covers and self.splash_shown(covers))
            time.sleep(0.02)
        seen = seen or self.splash_seen > self.run_started
        try:
            code = self.proc.wait(timeout=max(deadline - time.time(), 0) + 20)
        except subprocess.TimeoutExpired:
            raise Failed("the program did not end after its window went")
        self.err.close()
        if os.path.getsize(self.err_path):
            raise Failed("the program wrote to its standard error:\n" +
                         open(self.err_path, errors="replace").read()[-2000:])
        if code != 0:
            raise Failed(f"the program ended with code {code} after its window went")
        if not seen:
            best = self.best_look
            path = os.path.join(self.args.out, "failure_splash_best_look.ppm")
            if best[1]:
                with open(path, "wb") as f:
                    f.write(b"P6 %d %d 255\n" % (len(best[1][0]) // 3, len(best[1])) + b"".join(best[1]))
            raise Failed(f"the splash was not seen after the main window went: {self.looks} "
                         f"looks, at best {100 * best[0]:.0f} % of the picture where no box of "
                         f"the program was ({path}; boxes over it: {covers})")
        self.counts[why] += 1
        self.proc = self.main = None

    def watch(self, grabber):
        """Looks at the screen some twenty times a second, on a connection of its own, so
        that neither a step of the soak nor a slow answer of the window system keeps it from
        seeing what lasts only a moment: when two fifths of the splash picture at least show
        in the middle of the screen (boxes of the program may stand over the rest), and
        whether the board, while in sight, shows a game running (a turn total in a turn
        cell) or none."""
        w, h, want = self.splash
        x0, y0, part = (SCREEN_W - w) // 2, (SCREEN_H - h) // 2, 3 * (w // 8)
        frame = bytes(FRAME)
        while not self.done:
            rows = grabber.rows(x0, y0, w, h)
            same = sum(1 for got, row in zip(rows, want) for i in range(0, 3 * w, part)
                       if got[i:i + part] == row[i:i + part])
            if 5 * same >= 2 * h * len(range(0, 3 * w, part)):
                self.splash_seen = time.time()
            if self.origin:
                # The turn cells, x 360..449 and 530..589 of rows 210..249, right of the
                # separator at x 300, which shows where the board is in sight.
                rows = grabber.rows(self.origin[0] + 300, self.origin[1] + 210, 300, 40)
                if len(rows) == 40 and all(r[:3] == frame for r in rows):
                    game = any(max(r[i:i + 3]) > 80 for r in rows for a, b in ((60, 150), (230, 290))
                               for i in range(3 * a, 3 * b, 3))
                    self.last_board = "game" if game else "no game"
            time.sleep(0.05)
        grabber.close()

    def splash_shown(self, covers):
        """The splash picture, drawn one to one, in the middle of the screen: where no
        other window of the program (covers: x, y, w, h with its frame) may stand over it,
        nine pixels in ten at least, and a fifth of the picture at least."""
        w, h, rows = self.splash
        x0, y0 = (SCREEN_W - w) // 2, (SCREEN_H - h) // 2
        seen = self.d.grabber.rows(x0, y0, w, h)
        if len(seen) != h:
            return False
        looked = same = 0
        for j in range(h):
            spans = [(0, w)]
            for cx, cy, cw, ch in covers:
                if cy <= y0 + j < cy + ch:
                    a, b = cx - x0, cx - x0 + cw
                    spans = [part for s0, s1 in spans
                             for part in ((s0, min(s1, a)), (max(s0, b), s1)) if part[0] < part[1]]
            for a, b in spans:
                looked += b - a
                if seen[j][3 * a:3 * b] == rows[j][3 * a:3 * b]:
                    same += b - a
        self.looks += 1
        self.best_look = max(self.best_look, (same / max(looked, 1), seen), key=lambda b: b[0])
        return looked * 5 >= w * h and same * 10 >= looked * 9

    # --- What is on the screen ----------------------------------------------------------
    def where(self):
        """The main window's client area on the screen; Ended when it has gone. A window
        minimised meanwhile (openbox gives a dialog a minimise button, which takes the main
        window with it) is brought back, as a player would from a task list."""
        got = self.d.info(self.main)
        if got and not got[5] and self.restore():
            got = self.d.info(self.main)
        if not got or not got[5]:
            raise Ended()
        _, x, y, w, h, _ = got
        self.origin = (x + w - CLIENT_W, y + h - CLIENT_H)
        return self.origin

    def client(self):
        """The main window's client area, read straight from the screen."""
        ox, oy = self.where()
        rows = self.d.grabber.rows(ox, oy, CLIENT_W, CLIENT_H)
        return Client(rows) if len(rows) == CLIENT_H else None

    def game_waits(self):
        """A game certainly runs and waits for a person's move: Roll, Hold and Quit are
        enabled and the board is the same on two looks 0.3 s apart. With the buttons enabled
        the program takes input at once, so nothing given before the first look is still to
        be handled."""
        first = self.client()
        if first is None or Board(first, (0, 0), None).buttons() != "enabled":
            return False
        time.sleep(0.3)
        second = self.client()
        return second is not None and second.px == first.px

    def restore(self):
        minimised = [w for w in self.d.clients() if self.d.iconic(w)]
        if not minimised:
            return False
        self.note(f"restore {len(minimised)} minimised window(s)")
        self.counts["restores"] += 1
        deadline = time.time() + 10
        while minimised and time.time() < deadline:
            for w in minimised:
                self.d.xdo("windowactivate", w)
            time.sleep(0.3)
            minimised = [w for w in minimised if self.d.iconic(w)]
        if minimised:
            raise Failed("a minimised window could not be brought back")
        return True

    def others(self):
        return {w: v for w, v in self.d.windows().items() if w != self.main}

    def menu(self):
        """The titles of the menu bar, found once a run on a screenshot."""
        if not self.titles:
            ox, oy = self.where()
            board = type("Board", (), {})()
            board.shot, board.ox, board.oy = self.d.shot(os.path.join(self.args.out, "menu.ppm")), ox, oy
            self.titles = [((a + b) // 2 - ox) for a, b in menu_titles(board)]
            if len(self.titles) != 5:
                self.titles = None
                return [44, 120, 182, 244, 309]  # maybe covered by a dialog: look again later
        return self.titles

    # --- Steps ----------------------------------------------------------------------------
    def note(self, text):
        self.history.append(f"{time.strftime('%H:%M:%S')} {text}")

    def ask(self, kind):
        """Notes, before it is given, input that may end the main window: 'close' (through the
        frame, which ends the program at any time) or 'exit' (Exit from the key Escape, from
        the menu bar, or from Enter on its Exit title, which ends it only when no game runs).
        Exit while a game waits for a move is no ask: the program must refuse it."""
        if kind == "exit" and self.game_waits():
            self.note("  (a game waits for a move: Exit must be refused)")
            return
        self.asks.append(kind)

    def click(self, x, y):
        """A click on the screen, meant for a box or a dialog."""
        self.landing(x, y)
        self.d.click(x, y)

    def landing(self, x, y):
        """A click meant for another window that lands above the main window's client area,
        on the menu bar or the frame, may be Exit or a close: the window it was meant for
        may have gone meanwhile."""
        if self.origin and self.origin[0] - 10 <= x < self.origin[0] + CLIENT_W + 10 and \
                self.origin[1] - 60 <= y < self.origin[1]:
            self.asks.append("close")

    def why_gone(self):
        """What the main window went for: 'closes' or 'exits'. Failed when no input since the
        last answer check asked for it, or when only Exit did and the board's last look
        showed a game running."""
        steps = [line for line in self.history if "answer check" not in line]
        if not self.asks:
            raise Failed("the main window went, but no step since the last answer check asked "
                         "for it (a close through the frame, or Exit with no game running); "
                         f"the last step: {steps[-1] if steps else None}")
        if "close" in self.asks:
            return "closes"
        if self.last_board == "game":
            raise Failed("the main window went for Exit, but its board showed a game running "
                         f"(a turn total) to the last; the last step: {steps[-1] if steps else None}")
        return "exits"

    def step(self):
        # A player with no game running starts one more often than not, and one whose move is
        # awaited makes it more often than not.
        buttons, self.idle = self.board_now()
        kinds = [(self.button, 60 if buttons == "enabled" else 30), (self.menu_title, 8),
                 (self.menu_item, 6), (self.dialog_control, 20), (self.a_key, 20), (self.move, 4),
                 (self.new_game, 30 if self.idle else 3), (self.frame_close, 1)]
        choice = self.rng.choices([k for k, _ in kinds], [w for _, w in kinds])[0]
        choice()
        self.counts["steps"] += 1

    def board_now(self):
        """What the board shows now: Roll, Hold and Quit ('enabled', 'greyed' or otherwise, as
        Board.buttons says), and whether no game runs (the buttons greyed, both turn cells
        empty)."""
        client = self.client()
        if client is None:
            return None, False
        buttons = Board(client, (0, 0), None).buttons()
        return buttons, buttons == "greyed" and not any(
            max(client.at(x, y)) > 80 for x0, y0, x1, y1 in (CELLS["turn 1"], CELLS["turn 2"])
            for y in range(y0, y1, 2) for x in range(x0, x1, 2))

    def button(self):
        name = self.rng.choice(["Roll"] * 6 + ["Hold"] * 3 + ["Quit"])
        ox, oy = self.where()
        self.note(f"click {name}")
        self.d.click(ox + BUTTONS[name][0], oy + BUTTONS[name][1])

    def menu_title(self):
        titles = self.menu()
        i = self.rng.randrange(len(titles))
        ox, oy = self.where()
        twice = self.rng.random() < 0.4
        self.note(f"click menu title {i + 1}" + (" twice" if twice else ""))
        if i == len(titles) - 1:
            self.ask("exit")
        self.d.click(ox + titles[i], oy - 10)
        if twice:
            time.sleep(0.2)
            self.d.click(ox + titles[i], oy - 10)

    def menu_item(self):
        """The Strategy pop-up, and one of its three items."""
        titles = self.menu()
        ox, oy = self.where()
        i = self.rng.randrange(3)
        self.note(f"Strategy pop-up, item {i + 1}")
        self.d.click(ox + titles[2], oy - 10)
        time.sleep(0.3)
        self.d.click(ox + titles[2] + 20, oy + 11 + 18 * i)

    def dialog_control(self):
        """A click on a control of an open dialog or message box."""
        others = self.others()
        if not others:
            return self.button()
        window = self.rng.choice(sorted(others))
        name, x, y, w, h = others[window]
        template = {"Select Your Opponent": OPPONENT, "Start Order": START_ORDER}.get(name)
        if name == "" and w > 250 and h > 250:
            template = RULES if w < h else STRATEGY
        if template:
            control = self.rng.choice([k for k in template if k not in ("size", "text", "lines")])
            cx, cy, cw, ch = template[control]
            tw, th = template["size"]
            px, py = x + (cx + cw / 2) * w / tw, y + (cy + ch / 2) * h / th
            self.note(f"click {control} in {name or 'a dialog'}")
        else:
            # A message box: one of its buttons, found on the screen, or anywhere in it.
            shot = self.d.shot(os.path.join(self.args.out, "box.ppm"))
            found = buttons_in(shot, (x, y + h // 2, x + w, y + h))
            if found and self.rng.random() < 0.8:
                px, py = self.rng.choice(found)
                self.note(f"click a button of box '{name}'")
            else:
                px, py = x + self.rng.randrange(w), y + self.rng.randrange(h)
                self.note(f"click in box '{name}' at {px - x},{py - y}")
        self.click(px, py)

    def a_key(self):
        key = self.rng.choice(KEYS)
        self.note(f"key {key}")
        if key in ("Escape", "Return"):
            self.ask("exit")
        self.d.key(key)

    def move(self):
        """A window dragged by its title bar, somewhere else on the screen."""
        windows = {w: v for w, v in self.d.windows().items() if v[0]}  # those with a title
        if not windows:
            return
        window = self.rng.choice(sorted(windows))
        name, x, y, w, h = windows[window]
        top = self.d.extents(window)[2]
        if top < 10:
            return
        tx, ty = x + w // 3, y - top // 2
        nx = self.rng.randrange(20, max(21, 1024 - w - 20))
        ny = self.rng.randrange(top + 5, max(top + 6, 768 - h - 10))
        self.note(f"drag '{name}' from {x},{y} to {nx},{ny}")
        if window != self.main:
            for px, py in ((tx, ty), (tx + nx - x, ty + ny - y)):
                self.landing(px, py)
        self.d.drag(tx, ty, tx + nx - x, ty + ny - y)

    def wait_window(self, name, seconds):
        deadline = time.time() + seconds
        while time.time() < deadline:
            self.where()
            for w, v in self.others().items():
                if v[0] == name:
                    return w, v
            time.sleep(0.1)
        return None, None

    def new_game(self):
        """New Game against a chosen opponent, both dialogs answered with clicks."""
        opponent = self.rng.choice(OPPONENTS)
        self.note(f"new game against {opponent}")
        self.where()
        self.d.key("n", self.main)
        window, got = self.wait_window("Select Your Opponent", 4 if self.idle else 1)
        if not window:
            self.note("  (no opponent dialog: a game runs, or a box is open)")
            return
        for control in (["Human"] if opponent == "Human" else ["Computer", opponent]) + ["OK"]:
            name, x, y, w, h = self.d.info(window)[:5] if self.d.info(window) else (None,) * 5
            if name is None:
                return
            cx, cy, cw, ch = OPPONENT[control]
            self.click(x + (cx + cw / 2) * w / 152, y + (cy + ch / 2) * h / 112)
            time.sleep(0.15)
        window, got = self.wait_window("Start Order", 6)
        if not window:
            self.note("  (no start-order dialog)")
            return
        name, x, y, w, h = got
        cx, cy, cw, ch = START_ORDER["Roll"]
        self.click(x + (cx + cw / 2) * w / 136, y + (cy + ch / 2) * h / 80)
        self.counts["games"] += 1
        self.counts["games against " + opponent] += 1

    def frame_close(self):
        """A click on the close box of the main window's frame. The program may refuse it
        only while a window of its own is open over the main window: a dialog (which
        disables its owner), a box, or a pop-up menu (which takes the click that closes
        it)."""
        self.where()  # brought back first if it was minimised
        got = self.d.info(self.main)
        if not got:
            raise Ended()
        _, x, y, w, h, _ = got
        left, right, top, bottom = self.d.extents(self.main)
        seen = self.others()
        self.note("close through the frame")
        self.asks.append("close")
        self.d.click(x + w + right - 11, y - top // 2 - 1)
        deadline = time.time() + (20 if self.wine else 8)
        while time.time() < deadline:
            self.where()  # Ended once the window goes
            # Input given before may still open a window that takes the close and goes again
            # soon after (a pop-up menu, a dialog opened late by a busy program): looked for
            # on every turn, not to miss it.
            seen |= self.others()
            time.sleep(0.05)
        seen |= self.others()
        self.where()
        open_then = sorted({name or "(untitled)" for name, *_ in seen.values()})
        if open_then:
            self.note(f"  (the close was refused: open were {', '.join(open_then)})")
            return
        # Nothing of the program's is open: the close may still wait behind a move (the
        # computer's turn is a chain of steps, which come before input). Input is handled in
        # order: once the key A given now has opened About, the close has been handled.
        self.note("  (no window of the program open: the key A, to see the close handled)")
        self.d.key("a", self.main)
        about, _ = self.wait_window("About", 120)  # Ended should the window go meanwhile
        if not about:
            raise Failed("the program did not answer within two minutes of a close through "
                         "the frame")
        raise Failed("a close through the frame was refused with no dialog, box or menu of the "
                     "program open")

    # --- Does it still answer? ------------------------------------------------------------
    def answers(self):
        """Every dialog and box closed, then the key A opens About and Enter closes it."""
        deadline = time.time() + (90 if self.wine else 30)
        while time.time() < deadline:
            self.close_all()
            # An open menu (under Wine a window the window manager does not know) goes with a
            # click beside it, on a part of the board that does nothing.
            ox, oy = self.where()
            self.d.click(ox + 450, oy + 200)
            self.note("answer check: key A")
            self.d.key("a", self.main)
            about, _ = self.wait_window("About", 3)
            if about:
                self.d.key("Return", about)
                if self.wait_gone(about, 5):
                    # Input is handled in order: all that came before the Enter that closed
                    # the box was, and the window stayed.
                    self.counts["answered"] += 1
                    self.asks = []
                    return
        raise Failed("the game did not answer: no About box for the key A, or it did not close")

    def wait_gone(self, window, seconds):
        deadline = time.time() + seconds
        while time.time() < deadline:
            if window not in self.others():
                return True
            self.where()
            time.sleep(0.1)
        return False

    def close_all(self):
        """Closes what is open over the main window, the one opened last first: dialogs and
        boxes opened from one another run nested loops, and only the innermost one takes
        Enter and Escape (as on Windows); a click on a button works in any of them."""
        for window, (name, x, y, w, h) in reversed(list(self.others().items())):
            popup = name == "" and (w < 250 or h < 250)  # a pop-up menu: no title, small
            self.note(f"answer check: close '{name}'")
            self.ask("exit")  # the key goes to the main window if this one has just gone
            self.d.key("Escape" if popup else "Return", window)
            if popup or self.wait_gone(window, 1.5):
                continue
            self.note(f"answer check: click a button of '{name}'")
            template = {"Select Your Opponent": (OPPONENT, "OK"), "Start Order": (START_ORDER, "Roll")}
            template = template.get(name) or ((RULES if w < h else STRATEGY), "Close")
            if name in ("Select Your Opponent", "Start Order", ""):
                (t, control) = template
                cx, cy, cw, ch = t[control]
                tw, th = t["size"]
                self.click(x + (cx + cw / 2) * w / tw, y + (cy + ch / 2) * h / th)
            else:
                shot = self.d.shot(os.path.join(self.args.out, "box.ppm"))
                found = buttons_in(shot, (x, y + h // 2, x + w, y + h))
                if found:
                    self.click(*found[0])
            self.wait_gone(window, 1.5)

    # --- The whole soak -------------------------------------------------------------------
    def keep_screen(self):
        path = os.path.join(self.args.out, f"ring_{self.counts['steps']:06d}.png")
        subprocess.run(["import", "-display", self.d.name, "-window", "root", path], check=False)
        self.ring.append(path)
        while len(self.ring) > RING:
            os.remove(self.ring.popleft())

    def run(self):
        end = time.time() + self.args.minutes * 60
        began = time.time()
        while time.time() < end:
            if self.proc is None:
                self.start()
            try:
                self.step()
                time.sleep(self.rng.choice([0, 0.05, 0.1, 0.3]))
                self.alive()
                self.where()
                if self.asks and self.game_waits():
                    self.asks = []  # all handled, and the window stayed
                if self.counts["steps"] % 5 == 0:
                    self.keep_screen()
                if self.counts["steps"] % 12 == 0:
                    self.answers()
            except Ended:
                self.ending(self.why_gone())
        if self.proc is not None:
            # The last run ends through its frame, as a player leaves.
            try:
                for _ in range(3):
                    self.answers()  # no dialog left open
                    self.frame_close()
                raise Failed("the last run did not end through its frame in 3 tries")
            except Ended:
                self.ending(self.why_gone())
        c = self.counts
        against = ", ".join(f"{o} {c['games against ' + o]}" for o in OPPONENTS)
        print(f"soak: {c['steps']} steps in {time.time() - began:.0f} s, {c['runs']} runs, "
              f"{c['games']} games begun ({against}), {c['closes']} closes through the frame, "
              f"{c['exits']} exits, {c['answered']} answer checks, {c['restores']} restores of "
              f"minimised windows, deaths 0 (seed {self.args.seed})")

    def report(self, text):
        kept = report_failure(self.args.seed, self.counts["steps"], text, self.history, self.ring,
                              self.args.out)
        if self.proc and self.proc.poll() is None and not self.wine and shutil.which("gdb"):
            # A program that stopped answering: where it is.
            trace = subprocess.run(["gdb", "-p", str(self.proc.pid), "-batch", "-ex", "bt"],
                                   capture_output=True, text=True, timeout=120).stdout
            print("where the program is:")
            print("\n".join(line for line in trace.splitlines() if line.startswith("#")))
        final = os.path.join(self.args.out, "failure_final.png")
        subprocess.run(["import", "-display", self.d.name, "-window", "root", final], check=False)
        print("screenshots:", " ".join(kept + [final]))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--minutes", type=float, default=2)
    parser.add_argument("--seed", type=int, default=20261209)
    parser.add_argument("--busy", type=int, default=2, help="busy processes beside the program")
    parser.add_argument("--splash", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("command", nargs="+")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    for old in os.listdir(args.out):
        if old.startswith(("ring_", "failure_")):
            os.remove(os.path.join(args.out, old))

    # A soak stopped from outside (a test's time-out) still takes its display, its window
    # manager, the busy processes and the program with it.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(2))
    display = Display(args.busy)
    soak = None
    try:
        soak = Soak(args, display)
        soak.run()
        return 0
    except Failed as fault:
        soak.report(str(fault)) if soak else print("FAILED:", fault)
        return 1
    finally:
        if soak and soak.proc and soak.proc.poll() is None:
            soak.proc.kill()
            soak.proc.wait()
        if soak:
            soak.done = True
            soak.watching.join(timeout=10)
        display.close()


if __name__ == "__main__":
    sys.exit(main())

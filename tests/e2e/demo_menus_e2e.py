#!/usr/bin/env python3
"""The demo's menu bar, keys, dialog and message box in a real X window on a virtual display:
opens each with xdotool as a user would and checks the screenshots region by region.

Usage: demo_menus_e2e.py --out <folder> -- <zant-demo command...>

What is checked: the grey menu bar with its three titles; the pop-up below "Options" with
its check mark, greyed item and highlighted row; a command from the pop-up and from a key;
the message box (its icon, and the main window still clickable meanwhile, as the box has no
owner); the dialog (its owner disabled meanwhile, arrows choosing a radio button, Enter
closing it). The demo's status line shows what came of each command, and is read: of the
texts the demo can show, the one whose picture, drawn by ImageMagick in the same face at
the same size, is nearest to the screen's.
"""
import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xclose  # noqa: E402
from game_play_e2e import Dialog  # noqa: E402
from xvfb import start_display, stop_display  # noqa: E402

GREY = (192, 192, 192)
NAVY = (0, 0, 128)
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
SHADOW = (128, 128, 128)
BLUE = (0, 0, 255)
STATUS = (0, 224, 96)
CLIENT_W, CLIENT_H = 400, 300
STATUS_BOX = (0, 176, 400, 206)  # client coordinates
BUTTON_CENTRES = [(74, 260), (200, 260), (326, 260)]
# Everything the status line can say (drawn in bold Arial of 20 pixels to the em), and the
# demo's dialog (its template in dialog units).
STATUS_TEXTS = ["Click a button", "Clicked: One", "Clicked: Two", "Clicked: Three", "Check: on",
                "Check: off", "Message: Yes", "Message: No", "Dialog: Red", "Dialog: Green",
                "Dialog: Blue", "Greyed item (never)"]
DEMO_DIALOG = {"size": (152, 96), "Red": (16, 16, 60, 12), "Green": (16, 36, 60, 12),
               "Blue": (16, 56, 60, 12)}


def ink(grid, threshold=0.3):
    """A picture of text (rows of ink coverage, 0 to 1) cut down to its ink."""
    ys = [y for y, r in enumerate(grid) if max(r, default=0) > threshold]
    xs = [x for x in range(len(grid[0]) if grid else 0) if any(r[x] > threshold for r in grid)]
    return [r[xs[0]:xs[-1] + 1] for r in grid[ys[0]:ys[-1] + 1]] if ys else []


def words(picture, gap=4):
    """A picture of text cut into its words, where at least gap columns have no ink."""
    found, start, last = [], None, None
    for x in range(len(picture[0]) if picture else 0):
        if any(r[x] > 0.3 for r in picture):
            if start is not None and x - last > gap:
                found.append([r[start:last + 1] for r in picture])
                start = None
            start, last = x if start is None else start, x
    return found + ([[r[start:last + 1] for r in picture]] if start is not None else [])


def difference(a, b):
    """How unlike two pictures of text are, 0 to 1: word by word (the two draw the spaces a
    little differently), the most unlike pair."""
    wa, wb = words(a), words(b)
    if not wa or len(wa) != len(wb):
        return 1.0
    return max(unlike(x, y) for x, y in zip(wa, wb))


def unlike(a, b):
    """How unlike two pictures of a word are, 0 to 1: the least sum of the differences of
    their coverage, shifted by up to 2 pixels either way, against the sum of both."""
    if abs(len(a[0]) - len(b[0])) > 4 or abs(len(a) - len(b)) > 4:
        return 1.0
    total, best = sum(map(sum, a)) + sum(map(sum, b)), 1.0
    for dy in range(-2, 3):
        for dx in range(-2, 3):
            d = 0.0
            for y in range(min(0, dy), max(len(a), len(b) + dy)):
                ra = a[y] if 0 <= y < len(a) else []
                rb = b[y - dy] if 0 <= y - dy < len(b) else []
                for x in range(min(0, dx), max(len(a[0]), len(b[0]) + dx)):
                    va = ra[x] if 0 <= x < len(ra) else 0
                    vb = rb[x - dx] if 0 <= x - dx < len(rb) else 0
                    d += abs(va - vb)
            best = min(best, d / total)
    return best


class StatusReader:
    """Reads the status line: each text it can say is drawn by ImageMagick in the face that
    fontconfig gives for bold Arial (the one the layer draws with) at the same size; the
    screen reads as the nearest of them, when that one is near and the next is at least
    twice as far. (The two rasterise a glyph or two a little differently: the text shown
    is at most 0.13 away, the next at least 0.2.)"""

    def __init__(self):
        font = subprocess.run(["fc-match", "-f", "%{file}", "Arial:bold"], check=True,
                              capture_output=True, text=True).stdout
        self.texts = {}
        for text in STATUS_TEXTS:
            pgm = subprocess.run(["convert", "-background", "black", "-fill", "white", "-font", font,
                                  "-pointsize", "20", "-density", "72", f"label:{text}", "-depth", "8",
                                  "pgm:-"], check=True, capture_output=True).stdout
            _, w, h, _, px = pgm.split(maxsplit=4)
            w, h = int(w), int(h)
            px = px[-w * h:]
            self.texts[text] = ink([[px[y * w + x] / 255 for x in range(w)] for y in range(h)])

    def read(self, shot, box):
        """The text in the box of the screen, or a note of what it looked like."""
        x0, y0, x1, y1 = box
        grid = [[max(shot.at(x, y)) for x in range(x0, x1)] for y in range(y0, y1)]
        peak = max(map(max, grid))
        if peak == 0:
            return "(nothing)"
        seen = ink([[v / peak for v in r] for r in grid])
        ranked = sorted((difference(seen, picture), text) for text, picture in self.texts.items())
        (best, text), (second, _) = ranked[0], ranked[1]
        if best <= 0.2 and second >= 2 * best:
            return text
        return f"(unclear: {text}? {best:.3f} against {second:.3f})"


class Shot:
    """The screen as 8-bit RGB pixels."""

    def __init__(self, path, display):
        env = dict(os.environ, DISPLAY=display)
        subprocess.run(["import", "-window", "root", path], check=True, env=env)
        data = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True,
                              capture_output=True).stdout
        self.w, self.h = 1024, 768
        self.px = data

    def at(self, x, y):
        i = (y * self.w + x) * 3
        return tuple(self.px[i:i + 3])

    def count(self, box, colour):
        x0, y0, x1, y1 = box
        return sum(1 for y in range(max(y0, 0), min(y1, self.h)) for x in range(max(x0, 0), min(x1, self.w))
                   if self.at(x, y) == colour)


class Run:
    def __init__(self, display, out):
        self.display, self.out, self.failures, self.n = display, out, [], 0
        self.env = dict(os.environ, DISPLAY=display)

    def fail(self, text):
        print("FAIL:", text)
        self.failures.append(text)

    def check(self, cond, text):
        if not cond:
            self.fail(text)
        return cond

    def xdo(self, *args):
        return subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True, text=True).stdout

    def shot(self, name):
        self.n += 1
        return Shot(os.path.join(self.out, f"{self.n:02d}_{name}.png"), self.display)

    def find(self, title, seconds=10):
        deadline = time.time() + seconds
        while time.time() < deadline:
            ids = self.xdo("search", "--onlyvisible", "--name", f"^{title}$").split()
            if ids:
                return ids[0]
            time.sleep(0.1)
        return None

    def gone(self, title, seconds=5):
        deadline = time.time() + seconds
        while time.time() < deadline:
            if not self.xdo("search", "--onlyvisible", "--name", f"^{title}$").split():
                return True
            time.sleep(0.1)
        return False

    def geometry(self, win):
        values = dict(line.split("=") for line in self.xdo("getwindowgeometry", "--shell", win).split())
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def click(self, x, y):
        self.xdo("mousemove", x, y)
        time.sleep(0.1)
        self.xdo("click", "1")

    def keys(self, win, *names):
        self.xdo("windowfocus", "--sync", win)
        for k in names:
            self.xdo("key", k)
            time.sleep(0.1)

    def wait_for(self, name, test, seconds=5):
        """Screenshots until test(shot) holds; returns the last shot."""
        deadline = time.time() + seconds
        while True:
            s = self.shot(name)
            if test(s) or time.time() > deadline:
                return s
            time.sleep(0.2)


def title_runs(shot, left, top, width, bar):
    """Runs of ink on the menu bar, separated by gaps wider than a word space."""
    runs, start, last = [], None, None
    for x in range(left, left + width):
        ink = any(shot.at(x, y) != GREY for y in range(top + 3, top + bar - 3))
        if not ink:
            continue
        if start is not None and x - last > 8:
            runs.append((start, last))
            start = None
        if start is None:
            start = x
        last = x
    if start is not None:
        runs.append((start, last))
    return runs


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("command", nargs="+")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    for old in os.listdir(args.out):
        if old.endswith(".png"):
            os.remove(os.path.join(args.out, old))
    for tool in ("Xvfb", "xdotool", "import", "convert"):
        if subprocess.run(["which", tool], capture_output=True).returncode:
            print(f"SKIP: {tool} is not installed (script/bootstrap installs it)")
            return 77

    xvfb, display = start_display()
    run = Run(display, args.out)
    demo = subprocess.Popen(args.command, env=run.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        return check_all(run, demo)
    finally:
        if demo.poll() is None:
            demo.kill()
        stop_display(xvfb)


def check_all(run, demo):
    win = run.find("Zant Layer Demo")
    if not win:
        print("FAIL: the demo window did not appear")
        return 1
    wx, wy, ww, wh = run.geometry(win)
    bar = wh - CLIENT_H
    run.check(ww == CLIENT_W and 15 <= bar <= 25, f"window {ww}x{wh}: expected {CLIENT_W} wide, a bar above 300")
    cx, cy = wx, wy + bar  # the client area's corner on the screen

    status_box = (cx + STATUS_BOX[0], cy + STATUS_BOX[1], cx + STATUS_BOX[2], cy + STATUS_BOX[3])
    reader = StatusReader()

    def status(s):
        return s.count(status_box, STATUS)

    def says(s):
        return reader.read(s, status_box)

    def expect_status(name, text, what):
        """Waits for the status line to say text; it must."""
        s = run.wait_for(name, lambda s: says(s) == text)
        run.check(says(s) == text, f"{what}: the status line should say '{text}', says '{says(s)}'")
        return s

    # --- The menu bar -------------------------------------------------------------------
    s = run.wait_for("menubar", lambda s: len(title_runs(s, wx, wy, ww, bar)) == 3)
    grey = s.count((wx, wy, wx + ww, wy + bar), GREY)
    run.check(grey > ww * bar * 0.7, f"the menu bar should be grey ({grey} grey pixels)")
    titles = title_runs(s, wx, wy, ww, bar)
    if not run.check(len(titles) == 3, f"expected 3 titles on the bar, found {titles}"):
        return 1
    mid_y = wy + bar // 2

    # --- The pop-up: check mark, greyed item, highlight; a command from it ---------------
    left = titles[2][0]
    popup_box = (left - 12, wy + bar, left + 220, wy + bar + 70)
    run.click((titles[2][0] + titles[2][1]) // 2, mid_y)
    s = run.wait_for("popup", lambda s: s.count(popup_box, GREY) > 2000)
    run.check(s.count(popup_box, GREY) > 2000, "the pop-up did not open below its title")
    run.xdo("mousemove", left + 40, wy + bar + 10)  # over the first item
    s = run.wait_for("popup_hover", lambda s: s.count(popup_box, NAVY) > 300)
    run.check(s.count(popup_box, NAVY) > 300, "the item under the pointer should be highlighted in navy")
    run.check(s.count(popup_box, WHITE) > 30, "the check mark of the first item should show (white on navy)")
    run.check(s.count(popup_box, SHADOW) > 20, "the greyed item should be drawn greyed")
    # The sunken title: a shadow line on top, a white one at the bottom.
    run.check(s.at(left + 2, wy + 1) == SHADOW and s.at(left + 2, wy + bar - 1) == WHITE,
              "the open title should look sunken")
    before = status(s)
    run.check(before == 0 and says(s) == "Click a button",
              f"before any command the status line should say 'Click a button', says '{says(s)}'")
    run.click(left + 40, wy + bar + 3 + 16 * 2 + 8)  # the third item: toggle the check
    s = expect_status("after_toggle", "Check: off", "the pop-up's command (the item was checked)")
    run.check(s.count(popup_box, NAVY) == 0, "the pop-up should close after its command")

    # --- A key: T toggles the check back ------------------------------------------------
    run.keys(win, "t")
    expect_status("after_key", "Check: on", "the key T")

    # --- The message box: ownerless, so the main window stays clickable ------------------
    run.keys(win, "m")
    box = run.find("Demo Message")
    if run.check(box is not None, "the key M should open the message box"):
        bx, by, bw, bh = run.geometry(box)
        run.check(abs(bx + bw // 2 - 512) <= 2 and abs(by + bh // 2 - 384) <= 12,
                  f"the box should be centred on the screen, is at {bx},{by} {bw}x{bh}")
        s = run.shot("message_box")
        run.check(s.count((bx, by, bx + bw, by + bh), BLUE) > 100, "the information icon (blue) should show")
        run.check(s.count((bx, by, bx + bw, by + bh), GREY) > bw * bh // 2, "the box should have a grey face")
        run.click(cx + BUTTON_CENTRES[0][0], cy + BUTTON_CENTRES[0][1])  # "One" on the main window
        expect_status("click_behind_box", "Clicked: One", "a click on the main window while the box is open")
        run.check(run.find("Demo Message", 1) is not None, "the box should stay open meanwhile")
        run.click(bx + 4, by + bh - 4)  # back to the box (its face), as a user would
        run.keys(box, "Tab", "Return")  # No
        run.check(run.gone("Demo Message"), "Tab and Enter should answer the box")
        expect_status("after_box", "Message: No", "the box answered No")

    # --- The dialog: its owner disabled, arrows choose, Enter closes ---------------------
    run.click((titles[0][0] + titles[0][1]) // 2, mid_y)
    dialog = run.find("Demo Dialog")
    if run.check(dialog is not None, "'Dialog (D)' on the bar should open the dialog"):
        dx, dy, dw, dh = run.geometry(dialog)
        run.check(cx < dx < cx + 40 and cy < dy < cy + 40,
                  f"the dialog should sit near the top left of the main client area, is at {dx},{dy}")
        s = run.shot("dialog")
        run.check(s.count((dx, dy, dx + dw, dy + dh), GREY) > dw * dh // 2, "the dialog should have a grey face")
        run.check(s.count((dx, dy, dx + dw // 2, dy + dh), WHITE) > 50, "the radio buttons should show")
        # A click on "Three" of the disabled owner, then keys for the dialog: input is handled
        # in order, so once the dialog shows Green chosen the click has been handled too,
        # and the status line (as far as the dialog leaves it in sight) must be as it was.
        run.origin = (cx, cy)
        radios = Dialog(run, dialog, DEMO_DIALOG)
        before = s.px
        shown = [(x, y) for y in range(status_box[1], status_box[3])
                 for x in range(status_box[0], status_box[2]) if not dx <= x < dx + dw or not dy <= y < dy + dh]
        run.click(cx + BUTTON_CENTRES[2][0], cy + BUTTON_CENTRES[2][1])
        run.keys(dialog, "Tab", "Down")  # to Red, then Green
        s = run.wait_for("dialog_green", lambda s: radios.radio_checked(s, "Green"))
        run.check(radios.radio_checked(s, "Green") and not radios.radio_checked(s, "Red"),
                  "Tab and Down should choose Green in the dialog")
        changed = sum(1 for x, y in shown if s.px[(y * s.w + x) * 3:(y * s.w + x) * 3 + 3]
                      != before[(y * s.w + x) * 3:(y * s.w + x) * 3 + 3])
        run.check(len(shown) > 1000 and changed == 0,
                  f"a click on the disabled owner must do nothing: {changed} of the {len(shown)} "
                  "pixels of the status line in sight changed")
        run.keys(dialog, "Return")
        run.check(run.gone("Demo Dialog"), "Enter should close the dialog")
        expect_status("after_dialog", "Dialog: Green", "the dialog's choice")

    # --- Closing ----------------------------------------------------------------------------
    xclose.close_window(int(win), run.display)
    try:
        code = demo.wait(timeout=10)
        run.check(code == 0, f"the demo exited with {code}, expected 0")
    except subprocess.TimeoutExpired:
        run.fail("the demo did not exit within 10 s of closing its window")

    if run.failures:
        print(f"{len(run.failures)} check(s) failed; screenshots in {run.out}")
        return 1
    print(f"demo menus e2e: all checks passed; screenshots in {run.out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

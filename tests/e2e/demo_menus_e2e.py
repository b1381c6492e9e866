#!/usr/bin/env python3
"""The demo's menu bar, keys, dialog and message box in a real X window on a virtual display:
opens each with xdotool as a user would and checks the screenshots region by region.

Usage: demo_menus_e2e.py --out <folder> -- <zant-demo command...>

What is checked: the grey menu bar with its three titles; the pop-up below "Options" with
its check mark, greyed item and highlighted row; a command from the pop-up and from a key;
the message box (its icon, and the main window still clickable meanwhile, as the box has no
owner); the dialog (its owner disabled meanwhile, arrows choosing a radio button, Enter
closing it). The demo's status line shows what came of each command.
"""
import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xclose  # noqa: E402
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

    def span(self, box, colour):
        x0, y0, x1, y1 = box
        xs = [x for y in range(y0, y1) for x in range(x0, x1) if self.at(x, y) == colour]
        return (min(xs), max(xs)) if xs else None


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

    def status(s):
        return s.count((cx + STATUS_BOX[0], cy + STATUS_BOX[1], cx + STATUS_BOX[2], cy + STATUS_BOX[3]), STATUS)

    def status_span(s):
        return s.span((cx + STATUS_BOX[0], cy + STATUS_BOX[1], cx + STATUS_BOX[2], cy + STATUS_BOX[3]), STATUS)

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
    run.click(left + 40, wy + bar + 3 + 16 * 2 + 8)  # the third item: toggle the check
    s = run.wait_for("after_toggle", lambda s: status(s) > 50)
    run.check(before == 0 and status(s) > 50, "the pop-up's command should write the status line")
    run.check(s.count(popup_box, NAVY) == 0, "the pop-up should close after its command")
    toggle_span = status_span(s)

    # --- A key: T toggles the check back ------------------------------------------------
    run.keys(win, "t")
    s = run.wait_for("after_key", lambda s: status_span(s) != toggle_span)
    run.check(status_span(s) != toggle_span, "the key T should give its command ('Check: on')")
    key_span = status_span(s)

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
        s = run.wait_for("click_behind_box", lambda s: status_span(s) != key_span)
        run.check(status_span(s) != key_span, "a click on the main window should be handled while the box is open")
        run.check(run.find("Demo Message", 1) is not None, "the box should stay open meanwhile")
        clicked_span = status_span(s)
        run.click(bx + 4, by + bh - 4)  # back to the box (its face), as a user would
        run.keys(box, "Tab", "Return")  # No
        run.check(run.gone("Demo Message"), "Tab and Enter should answer the box")
        s = run.wait_for("after_box", lambda s: status_span(s) != clicked_span)
        run.check(status_span(s) != clicked_span, "the box's answer should write the status line ('Message: No')")
    answer_span = status_span(run.shot("answer"))

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
        run.click(cx + BUTTON_CENTRES[2][0], cy + BUTTON_CENTRES[2][1])  # "Three": the owner is disabled
        time.sleep(0.5)
        run.check(status_span(run.shot("click_behind_dialog")) == answer_span,
                  "a click on the disabled owner must do nothing")
        run.keys(dialog, "Tab", "Down")  # to Red, then Green
        time.sleep(0.3)
        run.shot("dialog_green")
        run.keys(dialog, "Return")
        run.check(run.gone("Demo Dialog"), "Enter should close the dialog")
        s = run.wait_for("after_dialog", lambda s: status_span(s) != answer_span)
        run.check(status_span(s) != answer_span, "the dialog's choice should write the status line ('Dialog: Green')")

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

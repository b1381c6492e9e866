#!/usr/bin/env python3
"""Plays the first moves of a game in a real X window, as a user would, and keeps a picture
of the game in progress (the one in the README): once the table top is ready, New Game
(key N), the opponent and start dialogs accepted with Enter, then Roll and Hold clicked
for one turn and Roll for the next, until the die lies on the table.

Checked on the way: each dialog comes up as a window of its own and goes again; Roll
becomes usable when it is the player's turn; and the picture shows a game under way:
the players' names in the header band, the die on the table, the win probability.

Usage: game_in_progress.py --table <table.bmp> --out <file.png> -- <command...>
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xclose  # noqa: E402
from run_game import Checker, Shot, Table, find_client, find_window, take  # noqa: E402
from xvfb import start_display, stop_display  # noqa: E402

# The buttons' top-left corners in the client area; each is 50 x 30.
BUTTONS = {"Roll": (337, 342), "Hold": (424, 342)}
ROLL = BUTTONS["Roll"]
ROLLS = 3  # rolls of the player's last turn before the picture


def xdotool(display, *args):
    return subprocess.run(["xdotool", *args], env=dict(os.environ, DISPLAY=display),
                          capture_output=True, text=True).stdout.split()


class Game:
    def __init__(self, display, window, pid, table, folder):
        self.display, self.window, self.pid = display, window, pid
        self.table, self.folder, self.origin, self.count = table, folder, None, 0

    def look(self):
        """A screenshot, and the client area's origin on it."""
        self.count += 1
        path = os.path.join(self.folder, f"shot{self.count}.ppm")
        take(self.display, path)
        shot = Shot(path)
        os.remove(path)
        found = find_client(shot)
        if found:
            self.origin = found
        return shot

    def windows(self):
        """The program's visible windows other than the main window."""
        found = xdotool(self.display, "search", "--onlyvisible", "--pid", str(self.pid))
        return {int(w) for w in found} - {self.window}

    def wait(self, what, test, seconds=30):
        deadline = time.time() + seconds
        while time.time() < deadline:
            if test():
                return
            time.sleep(0.1)
        raise SystemExit(f"FAILED: {what} within {seconds} s")

    def roll_usable(self):
        """Roll's caption is drawn dark (not greyed): the player may move."""
        shot = self.look()
        if not self.origin:
            return False
        x0, y0 = self.origin[0] + ROLL[0], self.origin[1] + ROLL[1]
        dark = sum(1 for y in range(y0 + 5, y0 + 25) for x in range(x0 + 5, x0 + 45)
                   if max(shot.at(x, y)) < 90)
        return dark >= 10

    def table_look(self):
        shot = self.look()
        return Checker(shot, self.origin, self.table).left_half() if self.origin else None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--table", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("command", nargs="+")
    args = parser.parse_args()

    xvfb, display = start_display()
    proc = None
    failures = []
    try:
        with tempfile.TemporaryDirectory() as folder:
            proc = subprocess.Popen(args.command, env=dict(os.environ, DISPLAY=display))
            window = find_window(display, time.time() + 60, proc)
            game = Game(display, window, proc.pid, Table(args.table), folder)
            game.wait("the table top ready", lambda: game.table_look() == "normal", 60)

            xdotool(display, "key", "--window", str(window), "n")
            gone = set()
            for dialog in ("opponent", "start"):
                game.wait(f"the {dialog} dialog", lambda: len(game.windows() - gone) == 1)
                (shown,) = game.windows() - gone
                xdotool(display, "key", "Return")
                game.wait(f"the {dialog} dialog gone", lambda: shown not in game.windows())
                gone.add(shown)

            # Two rolls and Hold, so that the score board has points on it; the computer
            # plays its turn; then rolls until the player has rolled a few times and the die
            # lies on the table (a 1 clears it and passes the turn).
            moves = ["Roll", "Roll", "Hold"] + ["Roll"] * ROLLS
            done = 0
            while done < len(moves) + 12:
                game.wait("Roll usable on the player's turn", game.roll_usable, 60)
                if done >= len(moves) and game.table_look() != "normal":
                    break
                button = BUTTONS[moves[done] if done < len(moves) else "Roll"]
                x, y = game.origin[0] + button[0] + 25, game.origin[1] + button[1] + 15
                xdotool(display, "mousemove", str(x), str(y), "click", "1")
                time.sleep(1.5)  # a rolled die's face stays on show for a second
                done += 1

            shot = game.look()
            check = Checker(shot, game.origin, game.table)
            if check.left_half() == "normal":
                failures.append(f"no die on the table after {done} moves")
            header = [check.px(x, y) for y in range(5, 55) for x in range(305, 595)]
            if sum(1 for p in header if max(p) > 80) < 200:
                failures.append("the header band does not name the players")
            message = [check.px(x, y) for y in range(290, 335) for x in range(310, 590)]
            if sum(1 for p in message if max(p) > 80) < 50:
                failures.append("no win probability on the message line")
            subprocess.run(["import", "-display", display, "-window", str(window), args.out],
                           check=True)
            print(f"{done} moves; picture of the window in {args.out}")
            xclose.close_window(window, display)
            proc.wait(timeout=30)
    finally:
        if proc is not None and proc.poll() is None:
            proc.kill()
            proc.wait()
        stop_display(xvfb)

    for text in failures:
        print("FAILED:", text)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Whole games against the computer in a real X window on a virtual display, played with the
mouse and the keys as a person plays, each step read back from the screen.

Usage: game_play_e2e.py --dice <dice.bmp> --splash <splash.bmp> --out <folder> [--game-seconds N] -- <command...>

The same check serves the SDL2 build and the Windows build under Wine:
- New Game from the menu bar: the opponent dialog (Computer and Amateur clicked, OK) and the
  start-order dialog (its Roll button); a roll; Rules (key R) and, from the Strategy pop-up,
  Strategy Options with its warning answered Yes, each dialog closed with its button and the
  board found as it was; then Quit.
- New Game with the key N, the same choices, and the game played to a win: the person rolls
  until the turn total is 20 or more and then holds, the computer plays its turns.
- Escape (Exit, allowed once the game is over): the closing splash shows its picture in
  the middle of the screen while the program ends, and exit code 0.

The notices are looked for while they are on show, inside their pause of 1.5 s, during
which the program handles no message: "Game terminated" after Quit, and "Rolling 1
terminates turn" after each 1 that player 1 rolls or the computer rolls.

After every step the board is read: which name the header highlights, the die in its rest
cell, the four score cells read as numbers, the buttons enabled or greyed, the message line.
The scores follow from the faces on the die, so the cells are checked exactly: the person's
always, the computer's wherever each of its rolls was seen (it holds at 20 as Amateur). The
digits seen with known values are learnt and read the cells whose values are not known. The
screenshots the checks were made on are kept in the output folder.
"""
import argparse
import os
import struct
import subprocess
import sys
import time
import zlib
from collections import Counter

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_game import FRAME, Grabber, find_client  # noqa: E402
from xvfb import start_display, stop_display  # noqa: E402

BLACK = (0, 0, 0)
NAME_GREY = (108, 108, 108)  # the name of the player who waits
SUCCESS = (0, 255, 128)      # the win message
WARNING = (224, 224, 0)      # the notices after a 1 and after Quit
# Where the text of each notice begins on the message line: it is drawn from x 340 and from
# x 375; the first letter's own margin and lean may move its first ink a few pixels.
NOTICES = {"rolled 1": (338, 352), "quit": (373, 387)}
TITLE = "Zant Pig"

# The board in client coordinates. Cells are (left, top, right, bottom), right and bottom
# excluded; each number is drawn from the top-left corner of its cell.
CELLS = {"total 1": (360, 110, 450, 150), "total 2": (530, 110, 590, 150),
         "turn 1": (360, 210, 450, 250), "turn 2": (530, 210, 590, 250)}
MESSAGE_LINE = (301, 290, 590, 340)
BUTTONS = {"Roll": (362, 357), "Hold": (449, 357), "Quit": (536, 357)}
DIE_REST = (56, 188)
DIE_SIZE = 50
HOLD_AT = 20
SPLASH = (280, 200)  # the closing splash, centred on the screen

# Dialog templates in dialog units: size, and the controls clicked or looked at.
OPPONENT = {"size": (152, 112), "OK": (102, 70, 36, 14), "Computer": (16, 16, 60, 12),
            "Human": (98, 16, 40, 12), "Newbie": (16, 50, 60, 12), "Amateur": (16, 70, 60, 12),
            "Pro": (16, 90, 60, 12)}
START_ORDER = {"size": (136, 80), "Roll": (50, 58, 36, 14), "text": (12, 10, 120, 42)}
RULES = {"size": (220, 232), "Close": (91, 213, 36, 14), "text": (12, 10, 210, 203), "lines": 21}
STRATEGY = {"size": (280, 250), "Close": (122, 230, 36, 14), "text": (12, 10, 262, 218),
            "lines": 23}


class Failed(Exception):
    """A step that cannot go on: the rest of the run would only report follow-on faults."""


def read_bmp(path):
    """A 24-bit BMP as (width, height, rows of RGB bytes from the top)."""
    data = open(path, "rb").read()
    offset = int.from_bytes(data[10:14], "little")
    w = int.from_bytes(data[18:22], "little", signed=True)
    h = int.from_bytes(data[22:26], "little", signed=True)
    if int.from_bytes(data[28:30], "little") != 24:
        raise ValueError(f"{path}: not a 24-bit bitmap")
    stride = (w * 3 + 3) // 4 * 4
    rows = []
    for y in range(abs(h)):
        src = (abs(h) - 1 - y) if h > 0 else y
        bgr = data[offset + src * stride:offset + src * stride + w * 3]
        rows.append(bytes(b for i in range(0, w * 3, 3) for b in (bgr[i + 2], bgr[i + 1], bgr[i])))
    return w, abs(h), rows


def row(shot, x, y, n):
    """n pixels of a screenshot from (x, y) rightwards, as RGB bytes."""
    start = (y * shot.w + x) * 3
    return shot.px[start:start + n * 3]


def save_png(shot, path, box):
    """Writes the part box = (left, top, right, bottom) of a screenshot as a PNG file."""
    x0, y0 = max(box[0], 0), max(box[1], 0)
    x1, y1 = min(box[2], shot.w), min(box[3], shot.h)
    raw = b"".join(b"\0" + row(shot, x0, y, x1 - x0) for y in range(y0, y1))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    header = struct.pack(">IIBBBBB", x1 - x0, y1 - y0, 8, 2, 0, 0, 0)  # 8-bit RGB
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 6))
                + chunk(b"IEND", b""))


class Digits:
    """Reads the numbers of the score cells. A cell's picture, once seen with a known value,
    reads as that value. Each digit is also learnt as a patch of ink of its own, so a number
    never seen as a whole reads too, unless its digits touch. The same picture or patch
    standing for two different values, or one value drawn two ways, means a cell showed a
    wrong number."""

    def __init__(self):
        self.value, self.picture, self.digit = {}, {}, {}

    def read(self, cell):
        picture, patches = cell
        if picture in self.value:
            return self.value[picture]
        if not patches or any(p not in self.digit for p in patches):
            return None
        return int("".join(self.digit[p] for p in patches))

    def candidates(self, cell, values):
        """Those of values that the cell may show, as far as its picture and digits are known:
        a known picture reads as its value and a known patch as its digit. An unknown patch may
        be any digit: the smoothed edge of an italic neighbour can change a digit's patch, so
        a digit seen before may come as a patch not seen before."""
        picture, patches = cell
        if picture in self.value:
            return [v for v in values if v == self.value[picture]]
        fits = []
        for v in values:
            text = str(v)
            if not patches or self.picture.get(v, picture) != picture:
                continue
            if len(patches) == len(text) and not all(
                    self.digit[p] == d for p, d in zip(patches, text) if p in self.digit):
                continue
            fits.append(v)
        return fits

    def learn(self, cell, value):
        """Learns a cell known to show value; returns a fault or None."""
        picture, patches = cell
        if self.value.setdefault(picture, value) != value:
            return f"shows the picture of {self.value[picture]} where {value} is expected"
        if self.picture.setdefault(value, picture) != picture:
            return f"shows {value} drawn otherwise than before"
        text = str(value)
        if len(patches) == len(text):
            for patch, digit in zip(patches, text):
                if self.digit.setdefault(patch, digit) != digit:
                    return f"shows a {self.digit[patch]} where {value} has a {digit}"
        return None


class Board:
    """A screenshot read as the game's board; coordinates are the client area's."""

    def __init__(self, shot, origin, dice_tiles):
        self.shot, self.ox, self.oy, self.tiles = shot, origin[0], origin[1], dice_tiles

    def px(self, x, y):
        return self.shot.at(self.ox + x, self.oy + y)

    def count(self, box, colour):
        x0, y0, x1, y1 = box
        return sum(1 for y in range(y0, y1) for x in range(x0, x1) if self.px(x, y) == colour)

    def header(self):
        """'Player 1' or 'Computer' (the name highlighted in the frame colour, the other one
        grey), 'blank', or 'unclear'."""
        left, right = (301, 0, 450, 60), (451, 0, 600, 60)  # x 450 is the divider
        lf, lg = self.count(left, FRAME), self.count(left, NAME_GREY)
        rf, rg = self.count(right, FRAME), self.count(right, NAME_GREY)
        if lf >= 40 and rg >= 40 and lg == 0 and rf == 0:
            return "Player 1"
        if rf >= 40 and lg >= 40 and rg == 0 and lf == 0:
            return "Computer"
        if lf + lg + rf + rg == 0:
            return "blank"
        return "unclear"

    def die(self):
        """The face in the die's rest cell, 0 for the bare table, None for anything else."""
        x, y = self.ox + DIE_REST[0], self.oy + DIE_REST[1]
        rows = [row(self.shot, x, y + j, DIE_SIZE) for j in range(DIE_SIZE)]
        for face, tile in enumerate(self.tiles):
            if rows == tile:
                return face
        return None

    def cell(self, name):
        """A score cell as (picture, patches): the picture is the cell's first 60 columns;
        the patches are the glyphs, left to right, as 8-connected patches of ink, each with
        its shape and shading from its own corner and its height in the cell."""
        x0, y0, x1, y1 = CELLS[name]
        picture = b"".join(row(self.shot, self.ox + x0, self.oy + y, 60) for y in range(y0, y1))
        ink = {(x, y): self.px(x, y) for y in range(y0, y1) for x in range(x0, x1)
               if max(self.px(x, y)) > 80}
        found = []
        while ink:
            start = next(iter(ink))
            todo, patch = [start], {start: ink.pop(start)}
            while todo:
                x, y = todo.pop()
                for n in ((x + dx, y + dy) for dx in (-1, 0, 1) for dy in (-1, 0, 1)):
                    if n in ink:
                        patch[n] = ink.pop(n)
                        todo.append(n)
            left = min(x for x, _ in patch)
            top = min(y for _, y in patch)
            shape = tuple(sorted((x - left, y - top, p) for (x, y), p in patch.items()))
            found.append((left, (top - y0, shape)))
        return picture, tuple(key for _, key in sorted(found))

    def buttons(self):
        """'enabled' when Roll, Hold and Quit all have dark captions, 'greyed' when all three
        are light buttons with captions drawn without dark pixels, otherwise 'mixed'."""
        looks = []
        for x, y in BUTTONS.values():
            inner = [self.px(x + i, y + j) for j in range(-10, 10) for i in range(-20, 20)]
            face = Counter(inner).most_common(1)[0][0]
            dark = sum(1 for p in inner if max(p) < 90)
            marked = sum(1 for p in inner if p != face)
            if sum(face) < 3 * 150:
                looks.append("other")
            elif dark >= 10:
                looks.append("enabled")
            elif marked >= 10:
                looks.append("greyed")
            else:
                looks.append("other")
        return looks[0] if len(set(looks)) == 1 else "mixed"

    def message(self):
        """What the message line shows: 'blank', 'win' (text in the success colour),
        'probability' (text in the frame colour), 'notice' (the warning colour) or 'other'."""
        colours = Counter(self.px(x, y) for y in range(MESSAGE_LINE[1], MESSAGE_LINE[3])
                          for x in range(MESSAGE_LINE[0], MESSAGE_LINE[2]))
        ink = sum(n for c, n in colours.items() if c != BLACK)
        if ink == 0:
            return "blank"
        for name, colour in (("win", SUCCESS), ("probability", FRAME), ("notice", WARNING)):
            others = [c for c in (SUCCESS, FRAME, WARNING) if c != colour]
            if colours[colour] >= 20 and not any(colours[c] for c in others):
                return name
        return "other"

    def notice(self):
        """The notice the message line shows, told apart by where its text begins: 'rolled 1'
        ("Rolling 1 terminates turn"), 'quit' ("Game terminated"), 'other' for text in the
        warning colour that begins elsewhere, None when it shows no notice."""
        if self.message() != "notice":
            return None
        x0, y0, x1, y1 = MESSAGE_LINE
        left = next(x for x in range(x0, x1) if any(self.px(x, y) != BLACK for y in range(y0, y1)))
        return next((name for name, (a, b) in NOTICES.items() if a <= left <= b), "other")

    def state(self):
        """'person' (player 1 to move), 'computer' (the computer moves), 'over' (a game won),
        'idle' (no game), or None in between."""
        buttons, header = self.buttons(), self.header()
        if buttons == "enabled" and header == "Player 1":
            return "person"
        if buttons == "greyed" and header == "Computer" and self.message() != "win":
            return "computer"
        if buttons == "greyed" and self.message() == "win":
            return "over"
        if buttons == "greyed" and self.message() == "blank" and self.die() == 0:
            return "idle"
        return None

    def client(self):
        """The client area's pixels, to compare two screenshots."""
        return b"".join(row(self.shot, self.ox, self.oy + y, 600) for y in range(400))


class Run:
    def __init__(self, display, out, proc, dice_tiles):
        self.display, self.out, self.proc, self.tiles = display, out, proc, dice_tiles
        self.env = dict(os.environ, DISPLAY=display)
        self.failures, self.kept, self.origin, self.window = [], 0, None, None
        self.grabber = None
        self.digits = Digits()
        self.notices = {}  # each notice seen since watch_notices(): its first screen
        self.faces = []  # the die's rest cell since watch_notices(), each change of it
        self.screen_centre = (512, 384)  # of the virtual display's 1024 x 768

    # --- Faults --------------------------------------------------------------------------
    def report(self, started, check):
        """Prints the run's time, its screenshots and its failures; the exit code."""
        print(f"{time.time() - started:.0f} s; {self.kept} screenshots kept in {self.out}")
        for f in self.failures:
            print("FAILED:", f)
        print(f"{check}: {len(self.failures)} failures" if self.failures else f"{check}: passed")
        return 1 if self.failures else 0

    def fail(self, text, board=None):
        if board is not None:
            text += f" (see {self.keep(board, 'fault')})"
        print("FAILED:", text, flush=True)
        self.failures.append(text)

    def check(self, ok, text, board=None):
        if not ok:
            self.fail(text, board)
        return ok

    # --- The display ---------------------------------------------------------------------
    def xdo(self, *args):
        return subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True,
                              text=True).stdout

    def windows(self):
        """The visible windows other than the root, as {id: name}."""
        ids = self.xdo("search", "--onlyvisible", "--name", "").split()
        found = {}
        for w in ids:
            x, y, width, height = self.geometry(w)
            if (width, height) != (1024, 768) and width > 1 and height > 1:
                found[w] = self.xdo("getwindowname", w).strip()
        return found

    def geometry(self, window):
        lines = self.xdo("getwindowgeometry", "--shell", window).split()
        values = dict(line.split("=", 1) for line in lines if "=" in line)
        return tuple(int(values.get(k, 0)) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def look(self):
        """The whole screen, read as the board."""
        if self.proc.poll() is not None:
            raise Failed(f"the program ended early with code {self.proc.returncode}")
        if self.grabber is None:
            self.grabber = Grabber(self.display)
        shot = self.grabber.shot()
        if self.origin is None:
            self.origin = find_client(shot)
            if self.origin is None:
                return None
        return self.seen(Board(shot, self.origin, self.tiles))

    def seen(self, board):
        """Every look goes through here: the notice it shows, if any, and the die are noted."""
        notice = board.notice()
        if notice is not None:
            self.notices.setdefault(notice, board)
        face = board.die()
        if not self.faces or self.faces[-1][0] != face:
            self.faces.append((face, board))
        return board

    def watch_notices(self):
        """Forgets the notices and faces seen so far: from here on every look notes those it
        sees."""
        self.notices, self.faces = {}, []

    def landed(self, since=0):
        """The last face that came to rest after the die had left its rest cell, among the
        changes of the die seen since watch_notices() from the one numbered since on, and the
        board it was first seen on; (None, None) when none did."""
        found = (None, None)
        for i in range(max(since, 1), len(self.faces)):
            if self.faces[i - 1][0] not in (2, 3, 4, 5, 6) and self.faces[i][0] in (2, 3, 4, 5, 6):
                found = self.faces[i]
        return found

    def expect_notice(self, notice, text, what):
        """The notice was seen on some look since watch_notices(); its screen is kept."""
        board = self.notices.get(notice)
        if board is None:
            others = ", ".join(sorted(self.notices)) or "no notice"
            return self.fail(f"{what}: \"{text}\" was never seen on the message line during its "
                             f"pause of 1.5 s (seen: {others})")
        self.keep(board, f"notice_{notice.replace(' ', '_')}")
        return True

    def keep(self, board, name):
        """Keeps a screenshot that a check was made on; the window and its dialogs."""
        self.kept += 1
        path = os.path.join(self.out, f"{self.kept:03d}_{name.replace(' ', '_')}.png")
        save_png(board.shot, path, (0, 0, self.origin[0] + 700, self.origin[1] + 520))
        return os.path.basename(path)

    def wait(self, test, seconds, what=None):
        """The first screen on which test(board) holds and that stays the same for a moment.
        When that is not seen in time: Failed, or without what the last screen."""
        deadline = time.time() + seconds
        last = None
        while True:
            board = self.look()
            if board is not None and test(board):
                # (A screen the browser's page kept as held still needs no second look.)
                if (getattr(board.shot, "held", False)
                        or (last is not None and last.shot.px == board.shot.px)):
                    return board
                last = board
                time.sleep(0.1)
                continue
            last = None
            if time.time() > deadline:
                if what is None and board is not None:
                    return board
                if board is not None:
                    what += (f" (last screen {self.keep(board, 'timeout')}: header {board.header()}, "
                             f"buttons {board.buttons()}, message line {board.message()})")
                raise Failed(f"not seen within {seconds:.0f} s: {what}")
            time.sleep(0.1)

    def expect(self, board, cell, value, what):
        """The cell shows value (None: the cell is empty)."""
        seen = board.cell(cell)
        if value is None:
            return self.check(not seen[0].strip(b"\0"), f"{what}: the {cell} cell is not empty", board)
        got = self.digits.read(seen)
        if got is not None and got != value:
            return self.fail(f"{what}: the {cell} cell shows {got}, expected {value}", board)
        fault = self.digits.learn(seen, value)
        return self.check(fault is None, f"{what}: the {cell} cell {fault}", board)

    def dialog(self, window, template):
        return Dialog(self, window, template)

    def wait_window(self, test, seconds, what):
        deadline = time.time() + seconds
        while time.time() < deadline:
            for w, name in self.windows().items():
                if test(w, name):
                    return w
            time.sleep(0.1)
        raise Failed(f"no window appeared: {what}")

    def wait_gone(self, window, seconds, what):
        deadline = time.time() + seconds
        while time.time() < deadline:
            if window not in self.windows():
                return
            time.sleep(0.1)
        raise Failed(f"the window stayed open: {what}")

    # --- Input ---------------------------------------------------------------------------
    def click_screen(self, x, y):
        self.xdo("mousemove", x, y)
        time.sleep(0.05)
        self.xdo("click", "1")

    def click(self, x, y):
        """A click at client coordinates of the main window."""
        self.click_screen(self.origin[0] + x, self.origin[1] + y)

    def key(self, name):
        # No window manager: a dialog that closes leaves no window with the keyboard focus.
        self.xdo("windowfocus", self.window)
        time.sleep(0.1)
        self.xdo("key", name)


# --- Dialogs -------------------------------------------------------------------------------
class Dialog:
    """A dialog from its template on the screen. Its client area stands 10 dialog units right
    of and below the main window's client corner, and the frame around it (none, or one drawn
    by Wine) is as wide on the left, right and bottom; so its window's geometry gives the
    dialog unit in pixels and where the client area is."""

    def __init__(self, run, window, template):
        self.run, self.window, self.template = run, window, template
        x, y, w, h = run.geometry(window)
        ox, oy = run.origin
        tw, th = template["size"]
        self.sx = (2 * x + w - 2 * ox) / (tw + 20)
        frame = ox + 10 * self.sx - x
        self.sy = (y + h - oy - frame) / (th + 10)
        self.left, self.top = ox + 10 * self.sx, oy + 10 * self.sy
        if not (1.2 <= self.sx <= 3 and 1.2 <= self.sy <= 3 and -1 <= frame <= 8):
            raise Failed(f"a dialog window at {x},{y} {w}x{h} does not fit a {tw}x{th} template "
                         "placed 10 dialog units into the client area")

    def box(self, name):
        """The control's rectangle on the screen."""
        x, y, w, h = self.template[name]
        return (round(self.left + x * self.sx), round(self.top + y * self.sy),
                round(self.left + (x + w) * self.sx), round(self.top + (y + h) * self.sy))

    def click(self, name):
        x0, y0, x1, y1 = self.box(name)
        self.run.click_screen((x0 + x1) // 2, (y0 + y1) // 2)

    def click_radio(self, name):
        x0, y0, x1, y1 = self.box(name)
        self.run.click_screen(x0 + 8, (y0 + y1) // 2)

    def radio_checked(self, shot, name):
        """A dark dot in the middle of the radio button's circle, at the control's left end."""
        x0, y0, x1, y1 = self.box(name)
        cx, cy = x0 + 6, (y0 + y1) // 2
        dark = [max(shot.at(cx + dx, cy + dy)) < 80 for dx in (-1, 0, 1) for dy in (-1, 0, 1)]
        return sum(dark) >= 5

    def button_there(self, shot, name):
        """A push button with a dark caption: the button's rectangle is edged by lines of one
        colour each (its bevel), and some pixels inside are dark."""
        x0, y0, x1, y1 = self.box(name)
        # The bottom edge: some row near the bottom whose run across the middle is one colour
        # that differs from the face.
        inside = [shot.at(x, y) for x in range(x0 + 3, x1 - 3) for y in range(y0 + 3, y1 - 3)]
        face = Counter(inside).most_common(1)[0][0]
        edge = any(len({shot.at(x, y) for x in range(x0 + 3, x1 - 3)}) == 1
                   and shot.at((x0 + x1) // 2, y) != face for y in range(y1 - 4, y1 + 3))
        return edge and sum(1 for p in inside if max(p) < 90) >= 10

    def text_lines(self, shot, name):
        """Dark pixels of the text in a static control (as far as it lies in the dialog), and
        its lines: bands of rows with dark pixels."""
        x0, y0, x1, y1 = self.box(name)
        x1 = min(x1, round(self.left + self.template["size"][0] * self.sx))
        rows = [sum(1 for x in range(x0, x1) if max(shot.at(x, y)) < 100) for y in range(y0, y1)]
        bands, inside = 0, False
        for n in rows:
            if n and not inside:
                bands += 1
            inside = n > 0
        return sum(rows), bands


def menu_titles(board):
    """The titles on the menu bar above the client area: runs of dark pixels, apart by more
    than the blanks between the words of one title."""
    shot, ox, oy = board.shot, board.ox, board.oy
    runs, start, last = [], None, None
    for x in range(ox, ox + 600):
        if not any(max(shot.at(x, y)) < 100 for y in range(oy - 15, oy - 4)):
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


def buttons_in(shot, box):
    """Push buttons in part of the screen (a message box): the widest runs of one colour
    other than the background, shorter than half the box, taken as button edges; returns
    the centres, left to right."""
    x0, y0, x1, y1 = box
    background = Counter(shot.at(x, y) for x in range(x0, x1, 3)
                         for y in range(y0, y1, 3)).most_common(1)[0][0]
    spans = {}
    for y in range(y0, y1):
        x = x0
        while x < x1:
            colour, end = shot.at(x, y), x
            while end + 1 < x1 and shot.at(end + 1, y) == colour:
                end += 1
            if colour != background and 30 <= end - x + 1 <= (x1 - x0) // 2:
                key = next((k for k in spans if abs(k[0] - x) <= 3 and abs(k[1] - end) <= 3), (x, end))
                spans.setdefault(key, []).append(y)
            x = end + 1
    found = [((a + b) // 2, (min(ys) + max(ys)) // 2) for (a, b), ys in spans.items()
             if 15 <= max(ys) - min(ys) <= 40]
    return sorted(found)


# --- The steps -----------------------------------------------------------------------------
def opponent_dialog(run, first):
    """Computer and Amateur clicked, checked on the screen, and OK."""
    window = run.wait_window(lambda w, n: n == "Select Your Opponent", 10, "the opponent dialog")
    dialog = run.dialog(window, OPPONENT)

    def chosen(board):
        return [n for n in ("Computer", "Human", "Newbie", "Amateur", "Pro")
                if dialog.radio_checked(board.shot, n)]

    # It shows the choice in force: the first time the computer at Newbie, then Amateur.
    expected = ["Computer", "Newbie" if first else "Amateur"]
    board = run.wait(lambda b: dialog.button_there(b.shot, "OK") and chosen(b) == expected, 5)
    run.keep(board, "opponent")
    run.check(dialog.button_there(board.shot, "OK"), "the opponent dialog: no OK button in its place", board)
    run.check(chosen(board) == expected, f"the opponent dialog shows {chosen(board)} chosen", board)
    dialog.click_radio("Computer")
    time.sleep(0.2)
    dialog.click_radio("Amateur")
    board = run.wait(lambda b: chosen(b) == ["Computer", "Amateur"], 5)
    run.keep(board, "opponent_chosen")
    run.check(chosen(board) == ["Computer", "Amateur"], f"after the clicks the opponent dialog shows "
              f"{chosen(board)} chosen", board)
    dialog.click("OK")
    run.wait_gone(window, 10, "the opponent dialog after OK")


def start_order_dialog(run):
    window = run.wait_window(lambda w, n: n == "Start Order", 10, "the start-order dialog")
    dialog = run.dialog(window, START_ORDER)
    board = run.wait(lambda b: dialog.button_there(b.shot, "Roll"), 5)
    run.keep(board, "start_order")
    dark, lines = dialog.text_lines(board.shot, "text")
    run.check(dark >= 200 and lines == 3, f"the start-order text: {dark} dark pixels in {lines} lines, "
              "expected 3 lines", board)
    run.check(dialog.button_there(board.shot, "Roll"), "the start-order dialog: no Roll button in its place",
              board)
    dialog.click("Roll")
    run.wait_gone(window, 10, "the start-order dialog after Roll")


def text_dialog(run, template, name, before):
    """The rules or the strategy dialog: a window without a title, at its place, with its
    text and its Close button; closed with the button, the board is as it was."""
    window = run.wait_window(lambda w, n: n == "" and w not in before, 10, f"the {name} dialog")
    dialog = run.dialog(window, template)
    board = run.wait(lambda b: dialog.button_there(b.shot, "Close"), 5)
    run.keep(board, name)
    dark, lines = dialog.text_lines(board.shot, "text")
    run.check(dark >= 2000 and lines == template["lines"],
              f"the {name} text: {dark} dark pixels in {lines} lines, expected {template['lines']} lines",
              board)
    run.check(dialog.button_there(board.shot, "Close"), f"the {name} dialog: no Close button in its place",
              board)
    dialog.click("Close")
    run.wait_gone(window, 10, f"the {name} dialog after Close")


def dialogs_over_the_game(run, board):
    """Rules (key R) and Strategy Options (from the Strategy pop-up, with its warning) while a
    move is awaited; after each the board shows again as it was."""
    picture = board.client()
    before = set(run.windows())
    run.key("r")
    text_dialog(run, RULES, "rules", before)
    after = run.wait(lambda b: b.state() == "person", 10, "the board after the rules")
    run.check(after.client() == picture, "the board differs after the rules dialog closed", after)

    titles = menu_titles(after)
    if not run.check(len(titles) == 5, f"{len(titles)} titles on the menu bar, expected 5", after):
        raise Failed("the menu bar")
    x0, x1 = titles[2]  # "Strategy"
    run.click_screen((x0 + x1) // 2, run.origin[1] - 10)
    opened = run.wait(lambda b: b.shot.px != after.shot.px, 5, "the Strategy pop-up")
    run.keep(opened, "strategy_popup")
    run.click_screen(x0 + 30, run.origin[1] + 10)  # its first item, Strategy Options
    box = run.wait_window(lambda w, n: n == "WARNING", 10, "the warning before the strategy text")
    x, y, w, h = run.geometry(box)
    board = run.wait(lambda b: len(buttons_in(b.shot, (x, y + h // 2, x + w, y + h))) == 2, 5)
    run.keep(board, "warning")
    shot = board.shot
    pixels = [shot.at(i, j) for i in range(x, x + w) for j in range(y, y + h)]
    red = sum(1 for r, g, b in pixels if r > 180 and max(g, b) < 90)  # the error icon
    dark = sum(1 for p in pixels if max(p) < 80)
    run.check(red >= 50 and dark >= 300, f"the warning box: {red} red pixels of its icon, {dark} dark pixels",
              board)
    cx, cy = run.screen_centre
    run.check(abs(x + w // 2 - cx) <= 3 and abs(y + h // 2 - cy) <= 12,
              f"the warning box is not centred on the screen: {x},{y} {w}x{h}", board)
    choices = buttons_in(shot, (x, y + h // 2, x + w, y + h))
    if len(choices) != 2:
        raise Failed(f"the warning box shows {len(choices)} buttons, expected Yes and No")
    before = set(run.windows())
    run.click_screen(*choices[0])  # Yes
    text_dialog(run, STRATEGY, "strategy", before)
    after = run.wait(lambda b: b.state() == "person", 10, "the board after the strategy text")
    run.check(after.client() == picture, "the board differs after the strategy dialog closed", after)
    return after


class Game:
    """One game, read move by move. possible: for each player, the totals the banks so far
    can have given, narrowed by what the cell shows; totals: each player's total, None while
    more than one is possible."""

    def __init__(self, run, name, seconds):
        self.run, self.name = run, name
        self.deadline = time.time() + seconds
        self.totals = [0, 0]
        self.possible = [{0}, {0}]
        self.moves = 0

    def total(self, player, board, options, what):
        """The player's total is one of options (a bank can have given those, or the total
        stands): the cell must show one of them, and the total is the one it shows as far as
        the digits tell."""
        cell = f"total {player + 1}"
        fits = self.run.digits.candidates(board.cell(cell), sorted(options))
        if not fits:
            self.run.fail(f"{what}: the {cell} cell shows none of {sorted(options)}", board)
            read = self.run.digits.read(board.cell(cell))
            fits = [read] if read is not None else sorted(options)
        elif len(fits) == 1:
            self.run.expect(board, cell, fits[0], what)
        self.possible[player] = set(fits)
        self.totals[player] = fits[0] if len(fits) == 1 else None

    @staticmethod
    def holds(old, turn, final, every_look):
        """The turn totals the Amateur can have banked on top of old: it rolls below 20 and
        holds from 20, and a roll that brings its total to 100 wins at once. turn is the last
        turn total seen (None: not read), final the face of the last roll (None: not seen).
        When every look came in time, the last roll came right after that turn total;
        otherwise the looks may have missed rolls in between."""
        faces = [final] if final else range(2, 7)
        before = [turn] if every_look and turn is not None else range(turn or 0, HOLD_AT)
        return {t + f for t in before for f in faces
                if t < HOLD_AT and old + t < 100 and (t + f >= HOLD_AT or old + t + f >= 100)}

    def person_turn(self, board, quit_after=None):
        """Plays player 1's turn from a board where it is to move. Returns the board where
        the turn has passed or the game is over; with quit_after, quits after that many rolls."""
        run, tally, rolls = self.run, 0, 0
        what = f"{self.name}, player 1's turn"
        run.expect(board, "turn 1", 0, f"{what} starts")
        while True:
            run.expect(board, "total 1", self.totals[0], what)
            run.expect(board, "turn 2", None, what)
            self.total(1, board, self.possible[1], what)
            run.check(board.message() == "probability", f"{what}: the win probability is not shown", board)
            if quit_after is not None and rolls >= quit_after:
                return board
            if tally >= HOLD_AT:
                run.click(*BUTTONS["Hold"])
                self.moves += 1
                after = run.wait(lambda b: b.state() == "computer", 15,
                                 f"{what}: the computer's turn after Hold")
                self.totals[0] += tally
                self.possible[0] = {self.totals[0]}
                run.keep(after, f"{self.name}_hold_{self.totals[0]}")
                run.expect(after, "total 1", self.totals[0], f"{what}, Hold at {tally}")
                run.expect(after, "turn 1", None, f"{what}, Hold")
                return after
            turn_before = board.cell("turn 1")
            run.watch_notices()
            run.click(*BUTTONS["Roll"])
            self.moves += 1
            rolls += 1
            after = run.wait(lambda b: b.state() in ("computer", "over")
                             or (b.state() == "person" and b.cell("turn 1") != turn_before),
                             15, f"{what}: the roll's outcome")
            state = after.state()
            if state == "person":
                face = after.die()
                run.check(face in (2, 3, 4, 5, 6), f"{what}: the die shows {face} after a roll", after)
                tally += face if face else 0
                run.keep(after, f"{self.name}_roll_{face}_turn_{tally}")
                run.expect(after, "turn 1", tally, f"{what}, rolled {face}")
                board = after
            elif state == "computer":  # a 1: the turn total is lost
                run.expect_notice("rolled 1", "Rolling 1 terminates turn", f"{what}, rolled a 1")
                run.keep(after, f"{self.name}_rolled_1")
                run.expect(after, "turn 1", None, f"{what}, rolled a 1")
                run.expect(after, "total 1", self.totals[0], f"{what}, rolled a 1")
                return after
            else:  # the goal reached: banked at once
                run.keep(after, f"{self.name}_player_1_wins")
                final, _ = run.landed()
                options = [self.totals[0] + tally + f for f in ([final] if final else range(2, 7))
                           if self.totals[0] + tally + f >= 100]
                self.total(0, after, options, f"{what}, a roll on {tally} (last face {final})")
                return after

    def computer_turn(self, board):
        """Watches the computer's turn until player 1 is to move or the game is over.

        Each roll shows its face on the die for a second before its turn total is drawn,
        and rolls come almost three seconds apart; looks come every few tenths of a second,
        so a new turn total is the old one plus the face on the die. The last roll's turn
        total is banked at once and never shows: the bank is the last turn total seen plus
        the face of the last roll. Where a look came late and may have missed rolls, the
        bank must be one that the Amateur can have made from the last turn total seen, and
        the cell tells which."""
        run, digits = self.run, self.run.digits
        what = f"{self.name}, the computer's turn"
        run.expect(board, "total 1", self.totals[0], what)
        run.expect(board, "turn 1", None, what)
        old_seen = board.cell("total 2")
        cell = board.cell("turn 2")
        turn = digits.read(cell)
        shown = [turn]
        run.watch_notices()
        run.seen(board)  # the turn's first look: a slow one may come late in it
        since = 0  # the faces seen since the last turn total: those of rolls not yet counted
        last_look, gap = time.time(), 0.0
        while True:
            started = time.time()
            now = run.look()
            gap = max(gap, started - last_look)
            state = now.state()
            if state in ("person", "over"):
                now = run.wait(lambda b: b.state() == state, 10, f"{what}: its end")
                break
            face = now.die()
            new = now.cell("turn 2")
            if new != cell and new[0].strip(b"\0") and digits.read(new) == 0 and turn != 0:
                # Hold puts the turn total back to 0 just before the bank passes the turn; on a
                # busy machine a look can land in between. It is no roll.
                pass
            elif new != cell and now.header() == "Computer":
                if (new[0].strip(b"\0") and turn is not None and face in (2, 3, 4, 5, 6)
                        and started - last_look <= 0.9):
                    turn += face
                    run.keep(now, f"{self.name}_computer_roll_{face}_turn_{turn}")
                    run.expect(now, "turn 2", turn, f"{what}, rolled {face}")
                    run.check(turn - face < HOLD_AT, f"{what}: rolled again on {turn - face} (Amateur holds "
                              f"at {HOLD_AT})", now)
                else:
                    turn = digits.read(new) if new[0].strip(b"\0") else None
                cell, since = new, len(run.faces)
                shown.append(turn)
            last_look = started
            if time.time() > self.deadline:
                raise Failed(f"{what}: the game is not over in time ({run.keep(now, 'timeout')})")
            time.sleep(0.1)
        final, landed = run.landed(since)
        held = now.cell("total 2") != old_seen
        if held:
            if turn is not None:
                run.check(turn < HOLD_AT, f"{what}: rolled on {turn} (Amateur holds at {HOLD_AT})", now)
            if final is not None:
                run.keep(landed, f"{self.name}_computer_last_roll_{final}")
            options = {o + g for o in self.possible[1] for g in self.holds(o, turn, final, gap < 0.9)}
            if not options:
                run.fail(f"{what}: it held after the turn total {turn} and a last roll of {final}, "
                         f"where the Amateur rolls again below {HOLD_AT}", now)
                options = self.possible[1] | {v for v in [digits.read(now.cell("total 2"))] if v}
            self.total(1, now, options, f"{what}, banked after {turn} and a last roll of {final}")
        else:  # a 1: the total stands
            self.total(1, now, self.possible[1], f"{what}, no bank")
        if state == "over":
            run.keep(now, f"{self.name}_computer_wins")
            run.check(held and min(self.possible[1]) >= 100,
                      f"{what}: the computer won with {sorted(self.possible[1])}", now)
        else:
            run.keep(now, f"{self.name}_computer_{self.totals[1]}")
            if not held:
                run.expect_notice("rolled 1", "Rolling 1 terminates turn", f"{what}, rolled a 1")
            run.expect(now, "turn 2", None, f"{what} ended")
        print(f"{self.name}: computer's turn totals {shown}, last face {final}, "
              f"{'banked' if held else 'lost the turn'}, total {sorted(self.possible[1])}, looks at "
              f"most {gap:.1f} s apart", flush=True)
        return now

    def play(self, board, quit_after=None):
        """Plays from the first board of the game until it is over (or quit)."""
        while True:
            if time.time() > self.deadline:
                raise Failed(f"{self.name} is not over in time ({self.run.keep(board, 'timeout')})")
            state = board.state()
            if state == "computer":
                board = self.computer_turn(board)
            elif state == "person":
                board = self.person_turn(board, quit_after)
                if quit_after is not None and board.state() == "person":
                    return board
            elif state == "over":
                self.run.check(None not in self.totals, f"{self.name} is over, and its totals are "
                               f"only known to be among {self.possible}", board)
                return board
            else:
                raise Failed(f"{self.name}: unexpected screen ({self.run.keep(board, 'unexpected')})")


def new_game(run, how, first):
    """Starts a game through the menu bar or the key N: the two dialogs, and the first board."""
    if how == "menu":
        board = run.look()
        titles = menu_titles(board)
        if not run.check(len(titles) == 5, f"{len(titles)} titles on the menu bar, expected 5", board):
            raise Failed("the menu bar")
        run.keep(board, "before_new_game")
        x0, x1 = titles[0]
        run.click_screen((x0 + x1) // 2, run.origin[1] - 10)
    else:
        run.key("n")
    opponent_dialog(run, first)
    start_order_dialog(run)
    board = run.wait(lambda b: b.state() in ("person", "computer"), 15,
                     "the first move after the start-order roll")
    run.keep(board, f"game_{how}_starts")
    run.check(board.message() in ("probability", "blank"), "the message line at the start", board)
    return board


def check_all(run, args, splash):
    window = None
    deadline = time.time() + args.start_timeout
    while window is None:
        ids = run.xdo("search", "--onlyvisible", "--name", f"^{TITLE}$").split()
        window = ids[0] if ids else None
        if window is None:
            if run.proc.poll() is not None or time.time() > deadline:
                raise Failed("the game window did not appear")
            time.sleep(0.1)
    run.window = window
    # Ready once the tables are solved: the table top in its own colours, the die's rest
    # cell bare, nothing on the score board yet.
    board = run.wait(lambda b: b.state() == "idle" and b.header() == "blank", args.start_timeout,
                     "the window ready, the tables solved")
    run.keep(board, "ready")
    for cell in CELLS:
        run.expect(board, cell, 0 if cell.startswith("total") else None, "at start-up")

    # The first game, from the menu bar: a roll, the rules and the strategy text, Quit.
    board = new_game(run, "menu", first=True)
    game = Game(run, "game 1", 120)
    board = game.play(board, quit_after=1)
    board = dialogs_over_the_game(run, board)
    run.watch_notices()
    run.click(*BUTTONS["Quit"])
    board = run.wait(lambda b: b.state() == "idle", 15, "no game after Quit")
    run.expect_notice("quit", "Game terminated", "Quit")
    run.keep(board, "game_1_quit")
    for cell in CELLS:
        run.expect(board, cell, 0 if cell.startswith("total") else None, "after Quit")

    # The second game, from the key N, played to a win.
    started = time.time()
    board = new_game(run, "key", first=False)
    game = Game(run, "game 2", args.game_seconds)
    board = game.play(board)
    print(f"game 2: {game.moves} moves of player 1, totals {game.totals}, {time.time() - started:.0f} s",
          flush=True)

    run.keep(board, "game_over")
    winner = board.header()
    won = game.totals[0] if winner == "Player 1" else game.totals[1]
    run.check(winner in ("Player 1", "Computer") and (won is None or won >= 100),
              f"game over: the header highlights {winner}, totals {game.totals}", board)
    run.check(board.message() == "win", "game over: the win message is not in the success colour", board)
    run.check(board.buttons() == "greyed", "game over: Roll, Hold and Quit should be greyed", board)
    run.check(board.die() == 0, "game over: the die should be off the table", board)
    for cell in ("turn 1", "turn 2"):
        run.expect(board, cell, None, "game over")

    # Escape is Exit, allowed now that no game runs.
    run.key("Escape")
    watch_splash(run, splash)
    try:
        code = run.proc.wait(timeout=30)
    except subprocess.TimeoutExpired:
        raise Failed("the program did not end within 30 s of Escape")
    run.check(code == 0, f"exit code {code}, expected 0")


def watch_splash(run, splash):
    """Looks at the middle of the screen until the program has ended: the closing splash
    must show its picture there, exactly, during its two seconds. The screen it was seen
    on is kept."""
    deadline = time.time() + 30
    looks = black = most = 0
    while run.proc.poll() is None and time.time() < deadline:
        shot = run.grabber.shot()
        looks += 1
        x, y = shot.w // 2 - SPLASH[0] // 2, shot.h // 2 - SPLASH[1] // 2
        rows = [row(shot, x, y + j, SPLASH[0]) for j in range(SPLASH[1])]
        same = sum(1 for got, want in zip(rows, splash) if got == want)
        if same == SPLASH[1]:
            run.kept += 1
            name = f"{run.kept:03d}_splash.png"
            save_png(shot, os.path.join(run.out, name), (x - 40, y - 40, x + SPLASH[0] + 40,
                                                         y + SPLASH[1] + 40))
            print(f"the splash picture seen on look {looks} after Escape ({name})", flush=True)
            return True
        black += all(r == bytes(3 * SPLASH[0]) for r in rows)
        most = max(most, same)
        time.sleep(0.02)
    return run.fail(f"after Exit the splash picture was not seen in the middle of the screen: of "
                    f"{looks} looks {black} showed it black, and at most {most} of its {SPLASH[1]} "
                    "rows were seen")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dice", required=True, help="resources/dice.bmp: the faces of the die")
    parser.add_argument("--splash", required=True, help="resources/splash.bmp: the closing splash")
    parser.add_argument("--out", required=True)
    parser.add_argument("--start-timeout", type=float, default=180.0)
    parser.add_argument("--game-seconds", type=float, default=450.0)
    parser.add_argument("command", nargs="+")
    args = parser.parse_args()
    for tool in ("Xvfb", "xdotool"):
        if subprocess.run(["which", tool], capture_output=True).returncode:
            print(f"SKIP: {tool} is not installed (script/bootstrap installs it)")
            return 77
    os.makedirs(args.out, exist_ok=True)
    for name in os.listdir(args.out):
        if name.endswith((".ppm", ".png")):
            os.remove(os.path.join(args.out, name))
    w, h, rows = read_bmp(args.dice)
    # Column 0 of the dice tiles: the bare rest cell, then the die at rest showing 1 to 6.
    tiles = [[rows[face * DIE_SIZE + j][:DIE_SIZE * 3] for j in range(DIE_SIZE)] for face in range(7)]
    w, h, splash = read_bmp(args.splash)
    if (w, h) != SPLASH:
        raise SystemExit(f"{args.splash}: {w} x {h}, expected {SPLASH[0]} x {SPLASH[1]}")

    xvfb, display = start_display()
    proc = subprocess.Popen(args.command, env=dict(os.environ, DISPLAY=display))
    run = Run(display, args.out, proc, tiles)
    started = time.time()
    try:
        check_all(run, args, splash)
    except Failed as e:
        run.fail(str(e))
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
        if run.grabber:
            run.grabber.close()
        stop_display(xvfb)
    return run.report(started, "game play check")


if __name__ == "__main__":
    sys.exit(main())

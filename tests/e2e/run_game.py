#!/usr/bin/env python3
"""Runs the game in a real X window on its own virtual display, checks what the window shows
region by region (while the tables are solved: the tinted table top and the busy notice
"Calculating probabilities" on the message line, drawn while the program handles no
message), closes it like a window manager's close button and checks the exit code.

Usage: run_game.py --table <table.bmp> --out <folder> [--idle-seconds N] -- <command...>

The same check serves the SDL2 build and the Windows build under Wine: the client area is
found on the screenshot by its separator line, so the frame and menu bar may differ.
"""
import argparse
import ctypes
import ctypes.util
import os
import select
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xclose  # noqa: E402
from xvfb import start_display, stop_display  # noqa: E402

FRAME = (0, 192, 255)
BLACK = (0, 0, 0)
BUSY = (208, 208, 0)  # "Calculating probabilities" while the tables are solved
TITLE = "Zant Pig"


class Shot:
    """A screenshot as 8-bit RGB pixels."""

    def __init__(self, path):
        data = open(path, "rb").read()
        fields, pos = [], 0
        while len(fields) < 4:  # magic, width, height, maxval; skip comments
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos)
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        if fields[0] != b"P6" or int(fields[3]) != 255:
            raise ValueError(f"{path}: not an 8-bit binary PPM")
        self.w, self.h = int(fields[1]), int(fields[2])
        self.px = data[pos + 1:]

    def at(self, x, y):
        i = (y * self.w + x) * 3
        return tuple(self.px[i:i + 3])


class XImage(ctypes.Structure):
    """The head of Xlib's XImage, as far as the pixels."""
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int)]


class Grabber:
    """The screen read straight from the X server: a few milliseconds, where a screenshot
    taken by a program of its own takes a good part of a second on a busy machine (the
    splash shows for two seconds, a notice for one and a half)."""

    def __init__(self, name):
        x11 = self.x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XDisplayWidth.argtypes = x11.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x11.XGetImage.restype = ctypes.POINTER(XImage)
        x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                  ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x11.XDestroyImage.argtypes = [ctypes.POINTER(XImage)]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.display = x11.XOpenDisplay(name.encode())
        if not self.display:
            raise OSError(f"cannot open the display {name}")
        self.root = x11.XDefaultRootWindow(self.display)
        self.w, self.h = x11.XDisplayWidth(self.display, 0), x11.XDisplayHeight(self.display, 0)

    def rows(self, x, y, w, h):
        """The rows of the rectangle as RGB bytes (a 24-bit screen, 32 bits a pixel); none
        when it is not all on the screen (Xlib would end the program for it)."""
        if x < 0 or y < 0 or w <= 0 or h <= 0 or x + w > self.w or y + h > self.h:
            return []
        image = self.x11.XGetImage(self.display, self.root, x, y, w, h, 0xFFFFFFFF, 2)
        if not image:
            return []
        im = image.contents
        raw = ctypes.string_at(im.data, im.bytes_per_line * h)
        rows = []
        for j in range(h):
            line = raw[j * im.bytes_per_line:j * im.bytes_per_line + 4 * w]
            rgb = bytearray(3 * w)
            rgb[0::3], rgb[1::3], rgb[2::3] = line[2::4], line[1::4], line[0::4]
            rows.append(bytes(rgb))
        self.x11.XDestroyImage(image)
        return rows

    def shot(self):
        """The whole screen, as a Shot."""
        shot = Shot.__new__(Shot)
        shot.w, shot.h, shot.px = self.w, self.h, b"".join(self.rows(0, 0, self.w, self.h))
        return shot

    def close(self):
        self.x11.XCloseDisplay(self.display)


class Table:
    """The table-top picture as rows of RGB bytes, plain and with the busy tint (red removed,
    green kept, blue cut to its four high bits)."""

    def __init__(self, path):
        data = open(path, "rb").read()
        offset = int.from_bytes(data[10:14], "little")
        w = int.from_bytes(data[18:22], "little", signed=True)
        h = int.from_bytes(data[22:26], "little", signed=True)
        bits = int.from_bytes(data[28:30], "little")
        if (w, abs(h), bits) != (300, 400, 24):
            raise ValueError(f"{path}: {w} x {h} x {bits}, expected 300 x 400 x 24")
        stride = (w * 3 + 3) // 4 * 4
        self.plain, self.tinted = [], []
        for y in range(400):
            src = (399 - y) if h > 0 else y
            bgr = data[offset + src * stride:offset + src * stride + w * 3]
            plain, tinted = bytearray(), bytearray()
            for i in range(0, w * 3, 3):
                b, g, r = bgr[i], bgr[i + 1], bgr[i + 2]
                plain += bytes((r, g, b))
                tinted += bytes((0, g, b & 0xF0))
            self.plain.append(bytes(plain))
            self.tinted.append(bytes(tinted))


def find_client(shot):
    """The client area's top-left corner, found by the separator: the one column with a
    run of exactly 399 frame-coloured pixels (x 300, y 0..398 of the client)."""
    frame = bytes(FRAME)
    stride = shot.w * 3
    columns = set()
    for y in range(0, shot.h, 40):  # the separator crosses every 40th row at least once
        row = shot.px[y * stride:(y + 1) * stride]
        i = row.find(frame)
        while i >= 0:
            if i % 3 == 0:
                columns.add(i // 3)
            i = row.find(frame, i + 1)
    for x in sorted(columns):
        run = 0
        for y in range(shot.h + 1):
            if y < shot.h and shot.at(x, y) == FRAME:
                run += 1
                continue
            if run == 399 and x >= 300:
                return x - 300, y - 399
            run = 0
    return None


class Checker:
    def __init__(self, shot, origin, table):
        self.shot, self.ox, self.oy, self.table = shot, origin[0], origin[1], table
        self.failures = []

    def px(self, x, y):
        return self.shot.at(self.ox + x, self.oy + y)

    def fail(self, text):
        self.failures.append(text)

    def left_half(self):
        """'busy' when the left half is the tinted table top, 'normal' when it is the table
        top itself, otherwise 'other'."""
        stride = self.shot.w * 3
        busy = normal = 0
        for y in range(400):
            start = (self.oy + y) * stride + self.ox * 3
            got = self.shot.px[start:start + 900]
            if got == self.table.plain[y]:
                normal += 1
            elif got == self.table.tinted[y]:
                busy += 1
        if busy + normal == 400 and normal < 400:
            return "busy" if normal == 0 else f"other (tinted {busy} rows, plain {normal} rows)"
        if normal == 400:
            return "normal"
        return f"other (tinted {busy}, plain {normal} of 400 rows)"

    def busy_notice(self):
        """True when the message line carries text in the busy notice's colour."""
        count = sum(1 for y in range(290, 340) for x in range(301, 590) if self.px(x, y) == BUSY)
        return count >= 20

    def line(self, x0, y0, x1, y1, name):
        """A rule from (x0, y0) up to and including (x1, y1), in the frame colour."""
        for x in range(x0, x1 + 1):
            for y in range(y0, y1 + 1):
                if self.px(x, y) != FRAME:
                    self.fail(f"{name}: pixel ({x}, {y}) is {self.px(x, y)}, expected {FRAME}")
                    return

    def black(self, x, y, name):
        if self.px(x, y) != BLACK:
            self.fail(f"{name}: pixel ({x}, {y}) is {self.px(x, y)}, expected black")

    def text_present(self, box, name):
        """Some pixels of the frame colour (text is smoothed, so near it) inside box."""
        x0, y0, x1, y1 = box
        count = 0
        for y in range(y0, y1):
            for x in range(x0, x1):
                r, g, b = self.px(x, y)
                if r < 80 and 140 <= g <= 230 and b >= 200:
                    count += 1
        if count < 20:
            self.fail(f"{name}: {count} frame-coloured pixels in {box}, expected text")

    def score_board(self, message_line_free):
        self.line(300, 0, 300, 398, "separator")
        self.black(300, 399, "separator end")
        for y in (60, 160, 260):
            self.line(300, y, 598, y, f"rule at y {y}")
            self.black(599, y, f"rule at y {y}, last column")
        self.line(450, 105, 450, 159, "total divider")
        self.line(450, 205, 450, 259, "turn divider")
        self.text_present((395, 65, 600, 105), '"Total Score"')
        self.text_present((395, 165, 600, 205), '"Turn Score"')
        self.text_present((355, 105, 449, 150), 'player 1 total "0"')
        self.text_present((525, 105, 595, 150), 'player 2 total "0"')
        # Everything else of the right half is black: the header band, the turn cells, the
        # message line (except the busy notice) and the space around the buttons.
        allowed = [(300, 0, 301, 399), (300, 60, 600, 61), (300, 160, 600, 161),
                   (300, 260, 600, 261), (450, 105, 451, 160), (450, 205, 451, 260),
                   (395, 65, 600, 105), (395, 165, 600, 205), (355, 105, 449, 150),
                   (525, 105, 595, 150), (335, 340, 563, 374)]
        if not message_line_free:
            allowed.append((301, 290, 590, 340))
        stray = 0
        for y in range(400):
            for x in range(301, 600):
                if any(a <= x < c and b <= y < d for a, b, c, d in allowed):
                    continue
                if self.px(x, y) != BLACK:
                    if stray == 0:
                        self.fail(f"right half: pixel ({x}, {y}) is {self.px(x, y)}, expected black")
                    stray += 1
        if stray:
            self.fail(f"right half: {stray} stray pixels in all")

    def buttons_greyed(self):
        """Three light buttons whose captions are drawn grey: no dark text pixels, yet some
        pixels that differ from the face."""
        for name, x in (("Roll", 337), ("Hold", 424), ("Quit", 511)):
            inner = [self.px(x + i, 342 + j) for j in range(5, 25) for i in range(5, 45)]
            face = max(set(inner), key=inner.count)
            if sum(face) < 3 * 150:
                self.fail(f"button {name}: face {face} is not a light button face")
                continue
            dark = sum(1 for p in inner if max(p) < 90)
            marked = sum(1 for p in inner if p != face)
            if dark:
                self.fail(f"button {name}: {dark} dark caption pixels, expected a greyed caption")
            if marked < 10:
                self.fail(f"button {name}: no caption drawn")

    def menu_bar(self):
        """A light menu bar right above the client area."""
        row = [self.shot.at(self.ox + x, self.oy - 3) for x in range(0, 600)] if self.oy >= 3 else []
        light = sum(1 for p in row if min(p) >= 180)
        if light < 400:
            self.fail(f"menu bar: {light} light pixels in the row above the client area")


def take(display, path):
    subprocess.run(["import", "-display", display, "-window", "root", "-depth", "8", path],
                   check=True)


def report_failure(seed, step, text, history, ring, out):
    """A soak's failure: what failed, the steps before it, and the screenshots of the last
    steps kept as failure_N_... in `out`, whose paths it returns."""
    print(f"FAILED (seed {seed}, step {step}): {text}")
    print("the last steps:")
    for line in history:
        print("  " + line)
    kept = []
    for i, path in enumerate(ring):
        target = os.path.join(out, f"failure_{i}_{os.path.basename(path)}")
        shutil.copy(path, target)
        kept.append(target)
    return kept


class MapEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", ctypes.c_ulong),
                ("window", ctypes.c_ulong), ("override_redirect", ctypes.c_int)]


class XEvent(ctypes.Union):
    _fields_ = [("xmap", MapEvent), ("pad", ctypes.c_long * 24)]


class MapWatch:
    """Catches the game's window the moment it is mapped: an X connection that hears of every
    window mapped on the screen (made before the program starts, so none is missed) stops
    the window's process at once. The tables are solved a few milliseconds after the window
    shows, in a few tens of milliseconds: a look that polls for the window comes too late."""

    def __init__(self, display_name):
        x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XPending.argtypes = [ctypes.c_void_p]
        x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        x.XConnectionNumber.argtypes = [ctypes.c_void_p]
        x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                 ctypes.POINTER(ctypes.c_char_p)]
        x.XInternAtom.restype = ctypes.c_ulong
        x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x.XGetWindowProperty.argtypes = [
            ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long,
            ctypes.c_int, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
            ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
            ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
        x.XFree.argtypes = [ctypes.c_void_p]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.x = x
        self.d = x.XOpenDisplay(display_name.encode())
        if not self.d:
            raise SystemExit("cannot open the display to watch for the window")
        x.XSelectInput(self.d, x.XDefaultRootWindow(self.d), 1 << 19)  # SubstructureNotify
        x.XSync(self.d, 0)
        self.pid_atom = x.XInternAtom(self.d, b"_NET_WM_PID", 0)

    def _title(self, window):
        name = ctypes.c_char_p()
        if not self.x.XFetchName(self.d, window, ctypes.byref(name)) or not name.value:
            return None
        title = name.value.decode("latin-1")
        self.x.XFree(name)
        return title

    def _pid(self, window):
        kind, fmt, count, after = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_ulong(), ctypes.c_ulong()
        data = ctypes.c_void_p()
        if self.x.XGetWindowProperty(self.d, window, self.pid_atom, 0, 1, 0, 6,  # CARDINAL
                                     ctypes.byref(kind), ctypes.byref(fmt), ctypes.byref(count),
                                     ctypes.byref(after), ctypes.byref(data)) != 0 or not data:
            return None
        pid = ctypes.cast(data, ctypes.POINTER(ctypes.c_long))[0] if count.value else None
        self.x.XFree(data)
        return pid

    def stop_at_map(self, deadline, proc):
        """The window and its process, stopped (SIGSTOP) as soon as the window was mapped."""
        event = XEvent()
        while time.time() < deadline:
            if proc.poll() is not None:
                raise SystemExit(f"the program ended early with code {proc.returncode}")
            if not self.x.XPending(self.d):
                select.select([self.x.XConnectionNumber(self.d)], [], [], 0.05)
                continue
            self.x.XNextEvent(self.d, ctypes.byref(event))
            if event.xmap.type != 19 or self._title(event.xmap.window) != TITLE:  # MapNotify
                continue
            window = event.xmap.window
            pid = self._pid(window) or proc.pid
            os.kill(pid, signal.SIGSTOP)
            return window, pid
        raise SystemExit("the game window did not appear")

    def close(self):
        self.x.XCloseDisplay(self.d)


def find_window(display, deadline, proc):
    env = dict(os.environ, DISPLAY=display)
    while time.time() < deadline:
        if proc.poll() is not None:
            raise SystemExit(f"the program ended early with code {proc.returncode}")
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{TITLE}$"],
                             env=env, capture_output=True, text=True).stdout.split()
        if out:
            return int(out[0])
        time.sleep(0.05)
    raise SystemExit("the game window did not appear")


def cpu_ticks(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--table", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--idle-seconds", type=float, default=3.0)
    parser.add_argument("--start-timeout", type=float, default=180.0)
    parser.add_argument("command", nargs="+")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    for name in os.listdir(args.out):
        if name.endswith((".ppm", ".png")):
            os.remove(os.path.join(args.out, name))
    table = Table(args.table)

    xvfb, display = start_display()
    proc = None
    failures = []
    try:
        env = dict(os.environ, DISPLAY=display)
        watch = MapWatch(display)
        proc = subprocess.Popen(args.command, env=env)
        try:
            window, pid = watch.stop_at_map(time.time() + args.start_timeout, proc)
        finally:
            watch.close()

        # Screenshots with the program stopped, so each one is consistent. Until the busy
        # look has been seen with its notice on the message line the program runs only a
        # few milliseconds between two of them, so even a fast calculation is caught and
        # lasts many screenshots, over which the notice blinks in real time (every 300 ms);
        # then it runs freely until the table top shows in its own colours.
        looks, origin, notices = [], None, []
        stepping, busy_steps = True, 0
        deadline = time.time() + 120
        while time.time() < deadline:
            if stepping:
                os.kill(pid, signal.SIGSTOP)
            try:
                path = os.path.join(args.out, f"shot{len(looks):03d}.ppm")
                take(display, path)
                shot = Shot(path)
                found = find_client(shot)
                check = Checker(shot, found, table) if found else None
                look = check.left_half() if check else None
                notice = check.busy_notice() if look == "busy" else False
            finally:
                if stepping:
                    os.kill(pid, signal.SIGCONT)
            if look is None:
                os.remove(path)
            else:
                origin = found
                looks.append((look, path))
                if look == "busy":
                    notices.append((time.time(), notice, path))
                if look == "normal" or len(looks) >= 100:
                    break
                if look == "busy":
                    busy_steps += 1
                    # Seen (or looked for long enough): the calculation may run freely.
                    stepping = stepping and not notice and busy_steps < 30
            time.sleep(0.005 if stepping else 0.05)
        print(f"client area at {origin}; left half in turn: {[l for l, _ in looks]}")
        if notices:
            print("the busy notice, screen by screen: " + " ".join(
                f"{t - notices[0][0]:.2f}s {'shown' if n else 'blank'}" for t, n, _ in notices))
        if not looks or looks[-1][0] != "normal":
            failures.append("the table top never showed in its own colours")
        busy = [p for l, p in looks if l == "busy"]
        if not busy:
            failures.append("no screenshot showed the tinted table top of the calculation")
        shown = [p for _, n, p in notices if n]
        if busy and not shown:
            failures.append(f"\"Calculating probabilities\" was never seen on the message line in "
                            f"{len(busy)} screenshots of the calculation "
                            f"({notices[-1][0] - notices[0][0]:.1f} s)")
        # Before the first paint is complete anything may show; after it, only the two looks.
        first = next((i for i, (l, _) in enumerate(looks) if l in ("busy", "normal")), len(looks))
        for look, path in looks[first:]:
            if look not in ("busy", "normal"):
                failures.append(f"{os.path.basename(path)}: left half is {look}")
                break
        checked = [(shown[0] if shown else busy[0], False)] if busy else []
        if looks and looks[-1][0] == "normal":
            checked.append((looks[-1][1], True))
        for path, after in checked:
            check = Checker(Shot(path), origin, table)
            check.score_board(message_line_free=after)
            if after:  # the buttons may not have been painted yet while the tables are solved
                check.buttons_greyed()
                check.menu_bar()
            failures += [f"{os.path.basename(path)}: {f}" for f in check.failures]
            png = os.path.join(args.out, "busy.png" if not after else "ready.png")
            subprocess.run(["convert", path, png], check=False)

        kept = {p for p, _ in checked}
        for _, path in looks:
            if path not in kept and os.path.exists(path):
                os.remove(path)

        # An idle game waits for input without using the processor.
        before = cpu_ticks(pid)
        time.sleep(args.idle_seconds)
        used = (cpu_ticks(pid) - before) / os.sysconf("SC_CLK_TCK")
        print(f"idle processor time: {used:.2f} s in {args.idle_seconds:.0f} s "
              f"({100 * used / args.idle_seconds:.1f} %)")
        if used > 0.1 * args.idle_seconds:
            failures.append(f"idle game used {used:.2f} s of processor time in "
                            f"{args.idle_seconds:.0f} s")

        xclose.close_window(window, display)
        try:
            code = proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            failures.append("the program did not end within 30 s of closing its window")
            code = None
        if code is not None and code != 0:
            failures.append(f"exit code {code}, expected 0")
    finally:
        if proc is not None and proc.poll() is None:
            proc.kill()
            proc.wait()
        stop_display(xvfb)

    for f in failures:
        print("FAILED:", f)
    print("window check: passed" if not failures else f"window check: {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

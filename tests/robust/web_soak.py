#!/usr/bin/python3
"""The browser build in headless Chromium: a seeded random stream of what a player does on a
desktop and on a phone, for as long as asked.

Usage: web_soak.py [--minutes M] [--seed S] --site <folder> --out <folder>

The site is served from 127.0.0.1. Each step is one thing a player does: a click, or on a
phone a tap, on Roll, Hold or Quit, on a title of the menu bar or an item of the Strategy
pop-up, on a control of an open dialog or message box; a key, alone or with Shift, Ctrl or
Alt (none the browser's own shortcuts); a New Game against a chosen opponent; the page left
for another tab (it loses the keyboard and is hidden) and come back to, with a key held, or
with a button held on Roll, Hold or Quit, on the close box or on the title bar: back on the
page nothing is held any more, nothing was clicked, no window follows the pointer; a press
the browser cancels (a touch taken for a gesture); a second button pressed while one is
held; a window dragged by its title bar; the page resized, turned, or taken to another
device scale: the screen then shows whole on it, as large as it fits; Exit or a close
through the frame, then "Start again"; a reload, also with the server stopped, when the
service worker serves the site.

After every step the page has not stopped ("this browser could not run it"), the console
has no error, and from the first game of each load on the WebAssembly memory has not grown;
every few steps, and after every step that held a key over a focus loss, the program must
answer: what is open is closed, the key A opens About and Enter closes it. (Each load begins
as a player new to the game does: the rules read first.) A failure prints
the seed and the last steps and keeps the last screenshots of the page in the folder.
"""
import argparse
import collections
import json
import os
import random
import signal
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
try:
    from chromium import Browser, Canvas, Failure, SiteServer  # noqa: E402
except ImportError as e:  # python3-websocket, for /usr/bin/python3
    print(f"SKIP: {e} (script/bootstrap installs python3-websocket)")
    sys.exit(77)
from game_play_e2e import (BUTTONS, OPPONENT, RULES, START_ORDER, STRATEGY, buttons_in,  # noqa: E402
                           menu_titles)
from run_game import find_client, report_failure  # noqa: E402

SCREEN = (640, 480)
TITLE = "Zant Pig"
OPPONENTS = ("Human", "Newbie", "Amateur", "Pro")
RING = 6  # screenshots kept of the last steps
# name: (key, code, virtual key)
KEYS = {c: (c, f"Key{c.upper()}", ord(c.upper())) for c in "nropsa"}
KEYS.update({"Escape": ("Escape", "Escape", 27), "Enter": ("Enter", "Enter", 13),
             "Tab": ("Tab", "Tab", 9), "Space": (" ", "Space", 32),
             "Up": ("ArrowUp", "ArrowUp", 38), "Down": ("ArrowDown", "ArrowDown", 40),
             "Left": ("ArrowLeft", "ArrowLeft", 37), "Right": ("ArrowRight", "ArrowRight", 39)})
# name: (key, code, virtual key, the protocol's modifier bit)
MODIFIERS = {"Alt": ("Alt", "AltLeft", 18, 1), "Ctrl": ("Control", "ControlLeft", 17, 2),
             "Shift": ("Shift", "ShiftLeft", 16, 8)}
# The keys pressed with a modifier, leaving out the browser's shortcuts (Ctrl+R reloads,
# Ctrl+W closes the tab, Alt+Left goes back, ...).
WITH = {"Shift": list(KEYS), "Alt": list("nropsa") + ["Enter", "Escape", "Space", "Up", "Down"],
        "Ctrl": ["a", "Enter", "Space", "Up", "Down", "Left", "Right"]}
DESKTOP_SCALES = (1, 1, 1.25, 1.5, 2, 3)
PHONES = ((390, 844), (360, 740), (412, 915), (768, 1024), (320, 568))
PHONE_SCALES = (2, 2.625, 3)


class Failed(Exception):
    pass


class Gone(Exception):
    """The main window went while a step looked for it (an Exit on its way)."""


class Soak:
    def __init__(self, args):
        self.args = args
        self.rng = random.Random(args.seed)
        self.history = collections.deque(maxlen=30)
        self.counts = collections.Counter()
        self.ring = collections.deque()
        self.server = SiteServer(args.site)
        self.port = self.server.httpd.server_port
        self.offline = 0  # steps left with the server stopped
        self.b = Browser()
        self.b.call("Log.enable")
        self.page = (1280, 800, 1, False)  # CSS width, height, device scale, a phone
        self.memory = None  # the WebAssembly memory at the load's first game
        self.largest = 0
        self.answer_now = False
        self.kinds = collections.Counter()

    # --- The page ------------------------------------------------------------------------
    def js(self, expression):
        return self.b.evaluate(expression)

    def load(self, how):
        """The page (re)loaded, up to the main window; then the rules read, as a player new
        to the game does (the program's largest window: its first showing takes the memory
        to the size it keeps)."""
        self.note(f"load: {how}")
        self.counts["loads"] += 1
        if how == "first":
            self.b.viewport(*self.page[:2], scale=self.page[2], mobile=self.page[3])
            self.b.navigate(self.server.url)
        elif how == "start again":
            self.click_dom("again")
        else:
            self.b.call("Page.reload")
        time.sleep(0.3)
        self.memory, self.titles, self.offset = None, None, None
        deadline = time.time() + 60
        while not self.shows_game():
            if time.time() > deadline:
                raise Failed(f"the page did not show the game within 60 s ({how})")
            self.healthy(loading=True)
            time.sleep(0.2)
        self.key("r")
        deadline = time.time() + 60
        while not any(v["title"] == "" and v["right"] - v["left"] > 250 for v in self.others().values()):
            if time.time() > deadline:
                raise Failed(f"the rules did not show within 60 s of the key R ({how})")
            time.sleep(0.2)
        self.close_all()

    def shows_game(self):
        try:
            return self.js("typeof Zant == 'object' && document.readyState == 'complete' && "
                           "Object.values(Zant.windows).some(w => w.title == 'Zant Pig' && "
                           "w.shown && w.right - w.left > 600)")
        except Failure:  # the page on its way, between two documents
            return False

    def windows(self):
        return {k: v for k, v in json.loads(self.js("JSON.stringify(Zant.windows)")).items()
                if v["shown"]}

    @staticmethod
    def is_main(window):
        """The main window (a message box has the same title)."""
        return window["title"] == TITLE and window["right"] - window["left"] > 600

    def main(self, needed=True):
        found = [v for v in self.windows().values() if self.is_main(v)]
        if not found and needed:
            raise Gone()
        return found[0] if found else None

    def others(self):
        return {k: v for k, v in self.windows().items() if not self.is_main(v)}

    def client(self):
        """The main window's client area on the screen (its corner), found on the canvas
        once a load and then kept from the window's place."""
        main = self.main()
        if self.offset is None:
            shot = Canvas(self.b)
            found = find_client(shot)
            if not found:
                return main["left"] + 3, main["top"] + 41  # covered: the frame's usual size
            self.offset = (found[0] - main["left"], found[1] - main["top"])
            board = type("Board", (), {"shot": shot, "ox": found[0], "oy": found[1]})
            titles = [(a + b) // 2 - found[0] for a, b in menu_titles(board)]
            self.titles = titles if len(titles) == 5 else None
        return main["left"] + self.offset[0], main["top"] + self.offset[1]

    def on_page(self, x, y):
        """A pixel of the screen on the page (CSS pixels), where the canvas now lies."""
        p = json.loads(self.js("JSON.stringify(Zant.placement)"))
        return (p["left"] + (x + 0.5) * p["width"] / SCREEN[0],
                p["top"] + (y + 0.5) * p["height"] / SCREEN[1])

    def phone(self):
        return self.page[3]

    # --- Input ---------------------------------------------------------------------------
    def press(self, x, y, buttons=1):
        px, py = self.on_page(x, y)
        if self.phone():
            self.b.touch("touchStart", px, py)
        else:
            self.b.mouse("mouseMoved", px, py)
            self.b.mouse("mousePressed", px, py, buttons=buttons)

    def release(self, x, y):
        px, py = self.on_page(x, y)
        if self.phone():
            self.b.touch("touchEnd", px, py)
        else:
            self.b.mouse("mouseReleased", px, py)

    def click(self, x, y):
        self.press(x, y)
        time.sleep(self.rng.choice([0, 0.02, 0.08]))
        self.release(x, y)

    def click_dom(self, element):
        x, y = self.js(f"(() => {{ const r = document.getElementById('{element}')"
                       ".getBoundingClientRect(); return [r.x + r.width / 2, r.y + r.height / 2]; })()")
        if self.phone():
            self.b.touch("touchStart", x, y)
            self.b.touch("touchEnd", x, y)
        else:
            self.b.mouse("mouseMoved", x, y)
            self.b.mouse("mousePressed", x, y)
            self.b.mouse("mouseReleased", x, y)

    def key(self, name, held=()):
        """A key pressed and released, with the modifiers held around it."""
        bits = 0
        for m in held:
            key, code, vk, bit = MODIFIERS[m]
            bits |= bit
            self.b.key_event("rawKeyDown", key, code, vk, bits)
        key, code, vk = KEYS[name]
        self.b.key_event("rawKeyDown", key, code, vk, bits)
        self.b.key_event("keyUp", key, code, vk, bits)
        for m in reversed(held):
            key, code, vk, bit = MODIFIERS[m]
            bits &= ~bit
            self.b.key_event("keyUp", key, code, vk, bits)

    def away(self, seconds=0.3):
        """The player goes to another tab and comes back."""
        target = self.b.leave()
        time.sleep(seconds)
        self.b.come_back(target)
        time.sleep(0.1)

    # --- Steps ---------------------------------------------------------------------------
    def note(self, text):
        self.history.append(f"{time.strftime('%H:%M:%S')} {text}")

    def step(self):
        kinds = [(self.button, 24), (self.menu_title, 7), (self.menu_item, 5),
                 (self.dialog_control, 16), (self.a_key, 16), (self.new_game, 5),
                 (self.key_held_away, 4), (self.button_held_away, 4), (self.cancelled, 3),
                 (self.chord, 2), (self.drag, 3), (self.reshape, 6), (self.leave, 1),
                 (self.reload, 2)]
        choice = self.rng.choices([k for k, _ in kinds], [w for _, w in kinds])[0]
        try:
            choice()
        except Gone:
            self.note("  (the main window went meanwhile)")
        self.counts["steps"] += 1
        self.kinds[choice.__name__] += 1

    def button(self):
        name = self.rng.choice(["Roll"] * 6 + ["Hold"] * 3 + ["Quit"])
        ox, oy = self.client()
        self.note(f"click {name}")
        self.click(ox + BUTTONS[name][0], oy + BUTTONS[name][1])

    def menu_title(self):
        ox, oy = self.client()
        i = self.rng.randrange(5)
        x = (self.titles or [44, 120, 182, 244, 309])[i]
        twice = self.rng.random() < 0.4
        self.note(f"click menu title {i + 1}" + (" twice" if twice else ""))
        self.click(ox + x, oy - 10)
        if twice:
            time.sleep(0.2)
            self.click(ox + x, oy - 10)

    def menu_item(self):
        """The Strategy pop-up, and one of its three items."""
        ox, oy = self.client()
        x = (self.titles or [44, 120, 182, 244, 309])[2]
        i = self.rng.randrange(3)
        self.note(f"Strategy pop-up, item {i + 1}")
        self.click(ox + x, oy - 10)
        time.sleep(0.3)
        self.click(ox + x + 20, oy + 11 + 18 * i)

    @staticmethod
    def template_of(window):
        """The dialog template a window was made from, or None (a message box, a menu)."""
        w, h = window["right"] - window["left"], window["bottom"] - window["top"]
        if window["title"] == "" and w > 250 and h > 250:
            return RULES if w < h else STRATEGY
        return {"Select Your Opponent": OPPONENT, "Start Order": START_ORDER}.get(window["title"])

    @staticmethod
    def control_at(window, template, control):
        """A control of a dialog on the screen, from its template: its middle, or a radio
        button's circle. The page draws a border of 3 pixels around the dialog, and a title
        bar of 19 when it has a title."""
        x, y, caption = window["left"], window["top"], 19 if window["title"] else 0
        (tw, th), (cx, cy, cw, ch) = template["size"], template[control]
        radio = template is OPPONENT and control != "OK"
        return (x + 3 + (cx + 8 if radio else cx + cw / 2) * (window["right"] - x - 6) / tw,
                y + 3 + caption + (cy + ch / 2) * (window["bottom"] - y - 6 - caption) / th)

    def control_of(self, window):
        """A control of an open dialog or box: (what, x, y) on the screen."""
        template = self.template_of(window)
        if template:
            control = self.rng.choice([k for k in template if k not in ("size", "text", "lines")])
            return (control, *self.control_at(window, template, control))
        x, y = window["left"], window["top"]
        w, h = window["right"] - x, window["bottom"] - y
        found = buttons_in(Canvas(self.b), (x, y + h // 2, x + w, y + h))
        if found and self.rng.random() < 0.8:
            return ("a button", *self.rng.choice(found))
        return ("somewhere", x + self.rng.randrange(w), y + self.rng.randrange(h))

    def dialog_control(self):
        others = self.others()
        if not others:
            return self.button()
        window = others[self.rng.choice(sorted(others))]
        what, x, y = self.control_of(window)
        self.note(f"click {what} in '{window['title']}'")
        self.click(x, y)

    def a_key(self):
        held = ()
        if self.rng.random() < 0.3:
            held = (self.rng.choice(list(WITH)),)
            name = self.rng.choice(WITH[held[0]])
        else:
            name = self.rng.choice(list(KEYS) + ["Enter", "Escape", "Tab"])
        self.note(f"key {'+'.join(held + (name,))}")
        self.key(name, held)

    def new_game(self):
        """New Game against a chosen opponent, both dialogs answered with clicks."""
        opponent = self.rng.choice(OPPONENTS)
        self.note(f"new game against {opponent}")
        self.key("n")
        window = self.wait_window("Select Your Opponent", 4)
        if not window:
            self.note("  (no opponent dialog: a game runs, or a box is open)")
            return
        for control in (["Human"] if opponent == "Human" else ["Computer", opponent]) + ["OK"]:
            self.click(*self.control_at(window, OPPONENT, control))
            time.sleep(0.15)
        window = self.wait_window("Start Order", 6)
        if not window:
            self.note("  (no start-order dialog)")
            return
        self.click(*self.control_at(window, START_ORDER, "Roll"))
        self.counts["games"] += 1
        if self.memory is None:
            self.memory = self.js("HEAPU8.buffer.byteLength")

    def key_held_away(self):
        """A key goes down, the page is left and come back to; the key came up elsewhere,
        or is still held and comes up now. The program must answer right after."""
        name = self.rng.choice(["Alt", "Alt", "Ctrl", "Shift", "Space", "r"])
        still = self.rng.random() < 0.5
        self.note(f"{name} held over a focus loss" + (", up after" if still else ""))
        if name in MODIFIERS:
            key, code, vk, bit = MODIFIERS[name]
        else:
            (key, code, vk), bit = KEYS[name], 0
        self.b.key_event("rawKeyDown", key, code, vk, bit)
        self.away()
        if still:
            self.b.key_event("keyUp", key, code, vk, 0)
        self.answer_now = True

    def button_held_away(self):
        """A button held on Roll, Hold or Quit, on the close box or on the title bar while
        the page is left and come back to: back on the page it is let go, the push button
        and the close box are up again, nothing was clicked, and the window does not
        follow the pointer."""
        main, client = self.main(), self.client()
        where = self.rng.choice(["Roll", "Hold", "Quit", "close box", "title bar"])
        if where == "close box":
            x, y = main["right"] - 13, main["top"] + 12
        elif where == "title bar":
            x, y = main["left"] + 60, main["top"] + 12
        else:
            x, y = client[0] + BUTTONS[where][0], client[1] + BUTTONS[where][1]
        self.note(f"button held on {where} over a focus loss")
        self.press(x, y)
        time.sleep(0.2)
        self.away()
        before = self.main()
        # Back on the page, before anything else happens: nothing looks held.
        if where in ("Roll", "Hold", "Quit") and not self.others():
            corners = [(client[0] + bx - 25, client[1] + by - 15) for bx, by in BUTTONS.values()]
            self.until(lambda s: all(s.at(*c) != (0, 0, 0) for c in corners), 10,
                       f"a push button still drawn held after the page lost the button ({where})")
        elif where == "close box":
            self.until(lambda s: s.at(main["right"] - 21, main["top"] + 5) != (0, 0, 0), 10,
                       "the close box still drawn held after the page lost the button")
        # Then the pointer moves, and the button comes up (a finger lifted elsewhere comes
        # back up): no window follows it, the close box does not close.
        to = (x, y) if where == "close box" else (x + 40, y + 30)
        if self.phone():
            self.b.touch("touchEnd", *self.on_page(*to))
        else:
            self.b.mouse("mouseMoved", *self.on_page(*to), buttons=0)
            self.b.mouse("mouseReleased", *self.on_page(*to), buttons=0)
        time.sleep(0.5)
        now = self.main(False)
        if where == "close box" and not now:
            raise Failed("the program ended when the button held on the close box over a focus "
                         "loss came up there")
        if where == "title bar" and now and (now["left"], now["top"]) != (before["left"], before["top"]):
            raise Failed(f"the main window followed the pointer after the page lost the "
                         f"button that held its title bar: {before} -> {now}")

    def cancelled(self):
        """A touch on a push button that the browser takes for a gesture (a scroll, a pinch):
        it must not click. The dialog or box whose button it was stays open; the program
        whose close box it was goes on."""
        main = self.main()
        point, what, window = (main["right"] - 13, main["top"] + 12), "the close box", None
        others = self.others()
        if others and self.rng.random() < 0.7:
            key = max(others, key=int)  # the one opened last, which has the input
            button = self.push_button(others[key])
            if button:
                point, what, window = button, f"the button of '{others[key]['title']}'", key
        self.note(f"touch on {what}, cancelled")
        self.b.call("Emulation.setTouchEmulationEnabled", {"enabled": True, "maxTouchPoints": 5})
        self.b.touch("touchStart", *self.on_page(*point))
        time.sleep(0.1)
        self.b.call("Input.dispatchTouchEvent", {"type": "touchCancel", "touchPoints": []})
        if not self.phone():
            self.b.call("Emulation.setTouchEmulationEnabled", {"enabled": False})
        time.sleep(1)
        if window and window not in self.windows():
            raise Failed(f"a cancelled touch on {what} closed it")
        if not window and not self.main(False):
            raise Failed("a cancelled touch on the close box closed the program")

    def push_button(self, window):
        """The centre of a dialog's or box's push button on the screen, or None (a pop-up
        menu)."""
        template = self.template_of(window)
        if template:
            button = "OK" if template is OPPONENT else "Roll" if template is START_ORDER else "Close"
            return self.control_at(window, template, button)
        if not window["title"]:
            return None
        x, y = window["left"], window["top"]
        w, h = window["right"] - x, window["bottom"] - y
        found = buttons_in(Canvas(self.b), (x, y + h // 2, x + w, y + h))
        return self.rng.choice(found) if found else None

    def chord(self):
        """The left button held, the right one pressed and let go meanwhile, on the board."""
        if self.phone():
            return self.button()
        ox, oy = self.client()
        x, y = ox + self.rng.randrange(20, 300), oy + self.rng.randrange(20, 380)
        px, py = self.on_page(x, y)
        self.note(f"left held, right pressed and let go, at {x - ox},{y - oy}")
        self.b.mouse("mouseMoved", px, py)
        self.b.mouse("mousePressed", px, py, buttons=1)
        self.b.mouse("mousePressed", px, py, button="right", buttons=3)
        self.b.mouse("mouseReleased", px, py, button="right", buttons=1)
        self.b.mouse("mouseReleased", px, py, buttons=0)

    def drag(self):
        """A window with a title bar dragged elsewhere; sometimes the page is left on the way."""
        if self.phone():
            return self.menu_title()
        titled = [v for v in self.windows().values() if v["title"]]
        if not titled:
            return
        w = self.rng.choice(titled)
        x0, y0 = w["left"] + 40, w["top"] + 12
        x1, y1 = self.rng.randrange(20, SCREEN[0] - 20), self.rng.randrange(12, SCREEN[1] - 20)
        left = self.rng.random() < 0.25
        self.note(f"drag '{w['title']}' by its title bar toward {x1},{y1}" + (", page left" if left else ""))
        self.b.mouse("mouseMoved", *self.on_page(x0, y0))
        self.b.mouse("mousePressed", *self.on_page(x0, y0))
        for i in range(1, 7):
            if left and i == 4:
                self.away()
                self.b.mouse("mouseReleased", *self.on_page(x0, y0), buttons=0)
                return
            self.b.mouse("mouseMoved", *self.on_page(x0 + (x1 - x0) * i / 6, y0 + (y1 - y0) * i / 6),
                         buttons=1)
            time.sleep(0.03)
        self.b.mouse("mouseReleased", *self.on_page(x1, y1))

    def reshape(self):
        """The page resized, turned or taken to another device scale; the screen then shows
        whole on it, as large as whole device pixels allow where it fits at its own size,
        otherwise as large as it fits."""
        w, h, scale, phone = self.page
        how = self.rng.choice(["resize", "turn", "scale", "device"])
        if how == "turn":
            w, h = h, w
        elif how == "scale":
            scale = self.rng.choice(PHONE_SCALES if phone else DESKTOP_SCALES)
        elif how == "device":
            phone = not phone
            w, h = self.rng.choice(PHONES) if phone else (1280, 800)
            scale = self.rng.choice(PHONE_SCALES if phone else DESKTOP_SCALES)
        elif phone:
            w, h = self.rng.choice(PHONES)
        else:
            w, h = self.rng.randrange(320, 1600), self.rng.randrange(240, 1000)
        w, h = max(w, 320), max(h, 240)
        self.page = (w, h, scale, phone)
        self.note(f"{how}: {'phone' if phone else 'desktop'} page {w} x {h} at scale {scale}")
        self.b.viewport(w, h, scale=scale, mobile=phone)
        if how == "scale":
            # Headless Chromium's emulated scale changes no media query in the page's eyes,
            # as a real screen does: the page's query on the scale is told here.
            self.js("Zant.scaleQuery.dispatchEvent(new Event('change'))")
        got = self.js(f"""new Promise(done => {{
            let frames = 0;
            const frame = () => requestAnimationFrame(innerWidth == {w} && innerHeight == {h} &&
                devicePixelRatio == {scale} || ++frames > 300 ? () => requestAnimationFrame(() =>
                done([Zant.placement, Zant.canvas.style.imageRendering])) : frame);
            frame();
        }})""")
        p, rendering = got
        fits = (p["left"] >= -0.01 and p["top"] >= -0.01 and p["left"] + p["width"] <= w + 0.01
                and p["top"] + p["height"] <= h + 0.01)
        if rendering == "pixelated":  # n device pixels a pixel, and n + 1 would not fit
            n = p["width"] * scale / SCREEN[0]
            largest = abs(n - round(n)) < 1e-6 and (
                (round(n) + 1) * SCREEN[0] > w * scale or (round(n) + 1) * SCREEN[1] > h * scale)
        else:  # as large as fits
            largest = abs(p["width"] - w) < 0.01 or abs(p["height"] - h) < 0.01
        if not (fits and largest):
            raise Failed(f"the screen shows {p['width']:.1f} x {p['height']:.1f} at {p['left']:.1f}, "
                         f"{p['top']:.1f}, {rendering}: not whole on the page, or not as large as "
                         "it fits")

    def leave(self):
        """Exit (Escape, refused while a game runs) or a close through the frame."""
        if self.rng.random() < 0.5:
            self.note("key Escape, to leave")
            self.key("Escape")
        else:
            main = self.main()
            self.note("close through the frame")
            self.click(main["right"] - 13, main["top"] + 12)
        deadline = time.time() + 4  # the end, unless refused (a game runs, a dialog is open)
        while time.time() < deadline and not self.over():
            time.sleep(0.2)

    def reload(self):
        controlled = self.js("!!navigator.serviceWorker.controller")
        if self.offline == 0 and controlled and self.rng.random() < 0.5:
            self.server.stop()
            self.offline = self.rng.randrange(5, 40)
            self.counts["offline loads"] += 1
            self.note(f"server stopped for {self.offline} steps")
        self.load("reload")

    # --- Checks --------------------------------------------------------------------------
    def wait_window(self, title, seconds):
        deadline = time.time() + seconds
        while time.time() < deadline:
            for window in self.others().values():
                if window["title"] == title:
                    return window
            time.sleep(0.1)
        return None

    def until(self, test, seconds, what):
        deadline = time.time() + seconds
        while not test(Canvas(self.b)):
            if time.time() > deadline:
                raise Failed(what)
            time.sleep(0.1)

    def healthy(self, loading=False):
        """The page did not stop, and its console has no error."""
        errors = []
        for e in self.b.events:
            method, params = e.get("method"), e.get("params", {})
            if method == "Runtime.exceptionThrown":
                errors.append(json.dumps(params.get("exceptionDetails", {}))[:400])
            elif method == "Runtime.consoleAPICalled" and params.get("type") in ("error", "assert"):
                errors.append(" ".join(str(a.get("value", a.get("description"))) for a in params["args"]))
            elif method == "Log.entryAdded" and params["entry"]["level"] == "error":
                errors.append(params["entry"]["text"])
        self.b.events.clear()
        if errors:
            raise Failed("the console has errors:\n  " + "\n  ".join(errors))
        try:
            stopped = self.js("!!document.getElementById('failed') && "
                              "!document.getElementById('failed').hidden")
        except Failure:
            if not loading:
                raise
            stopped = False  # the page on its way, between two documents
        if stopped:
            raise Failed("the page says the program stopped: this browser could not run it")

    def over(self):
        """The program has ended, or is ending (its main window gone, the splash on show)."""
        return self.js("!document.getElementById('ended').hidden") or not self.main(False)

    def after_step(self):
        self.healthy()
        if self.over():
            deadline = time.time() + 15
            while not self.js("!document.getElementById('ended').hidden"):
                if time.time() > deadline:
                    raise Failed("the main window went, but the page did not say the game ended")
                time.sleep(0.2)
            self.note("the game has ended")
            self.counts["ends"] += 1
            self.load("start again")
            return
        if self.memory is not None:
            now = self.js("HEAPU8.buffer.byteLength")
            self.largest = max(self.largest, now)
            if now != self.memory:
                raise Failed(f"the WebAssembly memory grew from {self.memory} to {now} bytes "
                             "since the first game of this load")
        if self.offline:
            self.offline -= 1
            if self.offline == 0:
                self.server = SiteServer(self.args.site, self.port)
                self.note("server started again")
        if self.counts["steps"] % 5 == 0:
            self.keep_page()
        if self.answer_now or self.counts["steps"] % 8 == 0:
            self.answer_now = False
            self.answers()

    def answers(self):
        """Everything open closed, then the key A opens About and Enter closes it."""
        deadline = time.time() + 90
        while time.time() < deadline:
            self.close_all()
            if self.over():
                return  # an Exit on its way: the next step starts again
            self.note("answer check: key A")
            self.key("a")
            about = self.wait_window("About", 4)
            if about:
                self.key("Enter")
                gone = time.time() + 5
                while time.time() < gone and self.wait_window("About", 0.1):
                    time.sleep(0.1)
                if not self.wait_window("About", 0.1):
                    self.counts["answered"] += 1
                    return
        raise Failed("the game did not answer: no About box for the key A, or it did not close")

    def close_all(self):
        """Closes what is open over the main window, the one opened last first: a pop-up
        menu with Escape, a dialog or a box with Enter, or else a click on a button."""
        tries = collections.Counter()
        deadline = time.time() + 30
        while time.time() < deadline:
            others = self.others()
            if not others or self.over():
                return
            k, window = list(others.items())[-1]
            w, h = window["right"] - window["left"], window["bottom"] - window["top"]
            tries[k] += 1
            if window["title"] == "" and (w < 250 or h < 250):  # a pop-up menu
                self.note("answer check: Escape for the pop-up menu")
                self.key("Escape")
            elif tries[k] % 3:
                self.note(f"answer check: Enter for '{window['title']}'")
                self.key("Enter")
            else:
                what, x, y = self.control_of(window)
                self.note(f"answer check: click {what} of '{window['title']}'")
                self.click(x, y)
            time.sleep(0.4)
            self.healthy()
        raise Failed(f"the windows over the game did not close: {self.others()}")

    # --- The whole soak -------------------------------------------------------------------
    def keep_page(self):
        path = os.path.join(self.args.out, f"ring_{self.counts['steps']:06d}.png")
        self.b.screenshot(path)
        self.ring.append(path)
        while len(self.ring) > RING:
            os.remove(self.ring.popleft())

    def run(self):
        began = time.time()
        end = began + self.args.minutes * 60
        self.load("first")
        while time.time() < end:
            self.step()
            time.sleep(self.rng.choice([0, 0.05, 0.1, 0.3]))
            self.after_step()
        c = self.counts
        print(f"web soak: {c['steps']} steps in {time.time() - began:.0f} s, {c['loads']} loads "
              f"({c['offline loads']} with the server stopped), {c['games']} games begun, "
              f"{c['ends']} ends of the program, {c['answered']} answer checks, WebAssembly "
              f"memory at most {self.largest} bytes, failures 0 (seed {self.args.seed})")
        print("steps by kind:", ", ".join(f"{k} {n}" for k, n in sorted(self.kinds.items())))

    def report(self, text):
        kept = report_failure(self.args.seed, self.counts["steps"], text, self.history, self.ring,
                              self.args.out)
        try:
            final = os.path.join(self.args.out, "failure_final.png")
            self.b.screenshot(final)
            kept.append(final)
        except Exception as e:  # the browser itself may be gone
            print(f"no final screenshot: {e}")
        print("screenshots:", " ".join(kept))

    def close(self):
        self.b.close()
        self.server.stop()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--minutes", type=float, default=2)
    parser.add_argument("--seed", type=int, default=20261210)
    parser.add_argument("--site", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    if not os.path.exists("/usr/bin/chromium"):
        print("SKIP: Chromium is not installed (script/bootstrap installs it)")
        return 77
    os.makedirs(args.out, exist_ok=True)
    for old in os.listdir(args.out):
        if old.startswith(("ring_", "failure_")):
            os.remove(os.path.join(args.out, old))
    # A soak stopped from outside (a test's time-out) still takes Chromium with it.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(2))
    soak = Soak(args)
    try:
        soak.run()
        return 0
    except (Failed, Failure) as fault:
        soak.report(str(fault))
        return 1
    finally:
        soak.close()


if __name__ == "__main__":
    sys.exit(main())

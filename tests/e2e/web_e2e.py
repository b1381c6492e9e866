#!/usr/bin/python3
"""The browser build in headless Chromium, driven over the DevTools protocol, against the
site served from a local static server on 127.0.0.1, and read back from the canvas.

Usage: web_e2e.py --site <folder> --lab <zantpig-lab> --dice <dice.bmp> --splash <splash.bmp>
                  --out <folder>

- Start-up at a desktop's size: the board, once the tables are solved, is the headless
  renderer's picture (zantpig-lab screenshot) pixel for pixel; the frame the page draws has
  the title "Zant Pig" on an active title bar with its boxes; the screen is shown at a whole
  scale, crisp; the service worker holds every file of the site and the browser finds the
  page installable. Alt held while the page loses the keyboard (another tab) is let go:
  back on the page, the key A opens About.
- New Game from the menu bar, the opponent dialog (Computer, Amateur) and the start-order
  dialog; at the first move of player 1 the rules (key R) and, from the Strategy pop-up,
  the warning message box answered Yes and the strategy text, each closed and the board as
  it was; then the game played with clicks to a win, the board read after every step as the
  game play check of the desktop builds reads it (tests/e2e/game_play_e2e.py).
- A second game against the computer played by ear: through the page's accessibility tree
  alone (the DevTools protocol's Accessibility domain), as a screen reader meets it, with no
  pixel and no coordinate: New Game, the opponent's radio buttons, OK and the start order's
  Roll found by role and name and pressed through their elements, then Roll and Hold, the
  scores and the messages read from the tree, to a winner; nothing says "Loading", and what
  the live region announces is kept in order (reader_transcript.txt in --out).
- Escape: the splash image, centred, for about two seconds, then the page's note that the
  game has ended, on the bare desktop. The device pixel ratio doubled during the splash,
  without a resize: the screen is placed again at once, crisp, as large as whole device
  pixels allow, and the page watches for the next change of scale.
- The server stopped, the page held sideways at a phone's size and started again with Enter
  on the note's button (it has the keyboard, and the note is its description): the page
  loads from the service worker alone, shows the same board scaled down smoothly to fit.
  A game of two people begun with taps; in the pause after a tapped Roll the phone is
  turned upright: the screen fits the new page at once, and a tap on the menu bar in that
  same pause, made where the page now shows it, opens the rules, which close with a tap.
- Nothing on the page reports an error: no console error, no uncaught exception, no load
  refused (by the content security policy either).
- From release A to release B of the site (the same site with B's worker, page and script
  marked), served with answers the browser may keep ten minutes, on an origin where another
  app and a second copy of the game have caches: B's install fails while one of its files
  is missing and A serves on; whole, B installs beside an open page of A, which still
  answers, and runs from the next start with every file B's; the other caches stay.
The screenshots of the canvas the checks were made on, and of the page, are kept in --out.
"""
import argparse
import base64
import hashlib
import json
import os
import re
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
try:
    from chromium import Browser, Canvas, Failure, SiteServer  # noqa: E402
except ImportError as e:  # python3-websocket, for /usr/bin/python3
    print(f"SKIP: {e} (script/bootstrap installs python3-websocket)")
    sys.exit(77)
from game_play_e2e import (BUTTONS, HOLD_AT, OPPONENT, RULES, Board, Dialog, Failed,  # noqa: E402
                           Game, Run, dialogs_over_the_game, menu_titles, new_game, read_bmp,
                           save_png, start_order_dialog, text_dialog)
from run_game import find_client  # noqa: E402

SCREEN = (640, 480)
DESKTOP = (0, 128, 128)
TITLE = "Zant Pig"


class WebDialog(Dialog):
    """A dialog on the page: its place is known exactly, the frame the page draws (a
    border, and a title bar when it has a title) or the layer's border lying around its
    client area; a dialog may have been moved up to fit on the screen."""

    def __init__(self, run, window, template):
        self.run, self.window, self.template = run, window, template
        x, y, w, h = run.geometry(window)
        caption = 19 if run.windows()[window] else 0
        tw, th = template["size"]
        self.left, self.top = x + 3, y + 3 + caption
        self.sx, self.sy = (w - 6) / tw, (h - 6 - caption) / th


# The screens the program left unchanged for a moment (a pause after a roll, a notice, a
# turn passing), kept by the page as they are drawn and read from here in order: a look at
# the canvas from here can take a second on a busy machine, longer than the program shows
# some of them. Installed at the first look at each page; returns what was kept since the
# last call.
HELD = """(() => {
  if (!window.zantHeld) {
    const context = Zant.context, put = context.putImageData, kept = [];
    let timer = 0;
    context.putImageData = function() {
      put.apply(context, arguments);
      clearTimeout(timer);
      timer = setTimeout(() => {
        kept.push(context.getImageData(0, 0, context.canvas.width, context.canvas.height));
        if (kept.length > 32) kept.shift();
      }, 250);
    };
    window.zantHeld = {kept, forget: () => { clearTimeout(timer); kept.length = 0; }};
  }
  return zantHeld.kept.splice(0).map(image => {
    const d = image.data, rgb = new Uint8Array(image.width * image.height * 3);
    for (let i = 0, j = 0; i < d.length; i += 4, j += 3) rgb.set(d.subarray(i, i + 3), j);
    let s = '';
    for (let i = 0; i < rgb.length; i += 0x8000) s += String.fromCharCode.apply(null, rgb.subarray(i, i + 0x8000));
    return [image.width, image.height, btoa(s)];
  });
})()"""


class HeldScreen(Canvas):
    """A screen the page held still for a quarter of a second: as good as two equal looks."""

    held = True

    def __init__(self, w, h, data):
        self.w, self.h, self.px = w, h, base64.b64decode(data)


class WebRun(Run):
    """The desktop builds' game play run, on the page: the screen is the canvas, the windows
    are the page's list of them, input goes in through the protocol."""

    def __init__(self, browser, out, tiles):
        super().__init__(None, out, None, tiles)
        self.browser = browser
        self.screen_centre = (SCREEN[0] // 2, SCREEN[1] // 2)
        self.touching = False
        self.held = []  # screens the page held still, read but not yet looked at
        self.held_looks = 0

    def dialog(self, window, template):
        return WebDialog(self, window, template)

    def page_windows(self):
        return json.loads(self.browser.evaluate("JSON.stringify(Zant.windows)"))

    def windows(self):
        return {w: v["title"] for w, v in self.page_windows().items() if v["shown"]}

    def geometry(self, window):
        v = self.page_windows()[window]
        return v["left"], v["top"], v["right"] - v["left"], v["bottom"] - v["top"]

    def note(self):
        """The page's note in place of the game ('ended', 'failed') or None."""
        return self.browser.evaluate(
            "['ended', 'failed'].find(n => document.getElementById(n) && "
            "!document.getElementById(n).hidden) || null")

    def look(self):
        """The next screen the page held still since the last input, if any is left (see
        HELD), otherwise the canvas as it is now."""
        if not self.browser.evaluate("typeof Zant == 'object' && document.readyState == 'complete'"):
            return None  # the page is still loading
        if self.note():
            raise Failed(f"the page says: {self.note()}")
        if not self.held:
            self.held = [HeldScreen(*screen) for screen in self.browser.evaluate(HELD)]
        self.held_looks += bool(self.held)
        shot = self.held.pop(0) if self.held else Canvas(self.browser)
        if self.origin is None:
            self.origin = find_client(shot)
            if self.origin is None:
                return None
        return self.seen(Board(shot, self.origin, self.tiles))

    def placement(self):
        return self.browser.evaluate(
            "(() => { const r = Zant.canvas.getBoundingClientRect(); return [r.left, r.top, "
            "r.width, r.height, Zant.canvas.style.imageRendering]; })()")

    def forget_held(self):
        """Input comes: the screens held before it answer no question asked after it."""
        self.held = []
        self.browser.evaluate("window.zantHeld && zantHeld.forget()")

    def click_screen(self, x, y):
        """A click (or a tap) at a point of the screen (canvas pixels)."""
        self.forget_held()
        left, top, width, height, _ = self.placement()
        px, py = left + (x + 0.5) * width / SCREEN[0], top + (y + 0.5) * height / SCREEN[1]
        if self.touching:
            self.browser.touch("touchStart", px, py)
            time.sleep(0.05)
            self.browser.touch("touchEnd", px, py)
            return
        self.browser.mouse("mouseMoved", px, py)
        time.sleep(0.05)
        self.browser.mouse("mousePressed", px, py)
        self.browser.mouse("mouseReleased", px, py)

    def key(self, name):
        self.forget_held()
        self.browser.key(name)

    def keep_page(self, name):
        """A screenshot of the whole page, as the player sees it."""
        self.kept += 1
        path = os.path.join(self.out, f"{self.kept:03d}_page_{name}.png")
        self.browser.screenshot(path)
        return os.path.basename(path)

    def wait_for(self, expression, seconds, what):
        deadline = time.time() + seconds
        while time.time() < deadline:
            value = self.browser.evaluate(expression)
            if value:
                return value
            time.sleep(0.1)
        raise Failed(f"not seen within {seconds:.0f} s: {what}")


def same_as_reference(run, board, reference, what):
    """The main window's picture (menu bar and client area) on the canvas against the
    headless renderer's, pixel for pixel."""
    w, h, rows = reference
    x0, y0 = board.ox, board.oy - (h - 400)  # the menu bar lies above the 600 x 400 client
    differ, first = 0, None
    for y in range(h):
        start = ((y0 + y) * board.shot.w + x0) * 3
        seen = board.shot.px[start:start + w * 3]
        if seen != rows[y]:
            for x in range(w):
                if seen[3 * x:3 * x + 3] != rows[y][3 * x:3 * x + 3]:
                    differ += 1
                    first = first or (x, y)
    run.check(differ == 0, f"{what}: {differ} pixels of the main window differ from the headless "
              f"renderer's picture, the first at {first} of its surface", board)


def ready(run, what, seconds=60):
    """The board once the tables are solved: the table top in its own colours, the die's
    rest cell bare, nothing on the score board yet."""
    return run.wait(lambda b: b.state() == "idle" and b.header() == "blank", seconds, what)


def check_frame(run, board):
    """The title bar the page draws around the main window."""
    windows = run.page_windows()
    main = [v for v in windows.values() if v["title"] == TITLE and v["shown"]]
    run.check(len(main) == 1 and (main[0]["left"], main[0]["top"]) == (0, 0),
              f"the page's windows: {windows}, expected {TITLE!r} at the top-left corner", board)
    shot, ox, oy = board.shot, board.ox, board.oy
    bar_top, bar_bottom = oy - 19 - 19, oy - 19 - 1  # above the menu bar, less its last line
    left, right = shot.at(ox + 1, bar_top + 5), shot.at(ox + 520, bar_top + 5)
    run.check(left == (0, 0, 128) and right[2] > 180 and right[0] < 40 and right[1] > 100,
              f"the active title bar runs from navy to light blue: {left} .. {right}", board)
    white = sum(1 for y in range(bar_top, bar_bottom) for x in range(ox + 20, ox + 90)
                if shot.at(x, y) == (255, 255, 255))
    run.check(white >= 40, f"the title {TITLE!r} in white on the title bar: {white} white pixels", board)
    # Three caption boxes on the right, each a light face with dark ink.
    boxes = [shot.at(x, bar_top + 8) for x in range(ox + 540, ox + 600)]
    run.check(boxes.count((192, 192, 192)) >= 20 and (0, 0, 0) in boxes,
              "the minimize, maximize and close boxes on the title bar", board)
    title = run.browser.evaluate("document.title")
    run.check(title == TITLE, f"the page's title is {title!r}")


def placed(run, page, dpr, what):
    """The screen shows whole on a page of page = (width, height) CSS pixels at a device
    scale of dpr, centred, as large as it fits: by whole device pixels, crisp, where the
    screen fits at its own size, otherwise scaled down smoothly. Checked at the first frame
    of the page at that size and scale, without waiting for the program."""
    cw, ch = page
    run.browser.evaluate(f"""new Promise(done => {{
        let frames = 0;
        const frame = () => requestAnimationFrame(innerWidth == {cw} && innerHeight == {ch} &&
            devicePixelRatio == {dpr} || ++frames > 300 ? () => requestAnimationFrame(done) : frame);
        frame();
    }})""")
    left, top, width, height, rendering = run.placement()
    fit = min(cw / SCREEN[0], ch / SCREEN[1])
    whole = int(min(cw * dpr / SCREEN[0], ch * dpr / SCREEN[1]) + 1e-6)
    crisp = fit >= 1 and whole >= 1
    scale = whole / dpr if crisp else fit
    return run.check(
        abs(width - SCREEN[0] * scale) < 0.5 and abs(height - SCREEN[1] * scale) < 0.5
        and abs(left - (cw - width) / 2) <= 1 and abs(top - (ch - height) / 2) <= 1
        and rendering == ("pixelated" if crisp else "auto"),
        f"{what}: the screen shows {width:.1f} x {height:.1f} at {left:.1f}, {top:.1f}, "
        f"{rendering}, expected {SCREEN[0] * scale:.1f} x {SCREEN[1] * scale:.1f}, centred on "
        f"{cw} x {ch} at a device scale of {dpr}, {'crisp' if crisp else 'smooth'}")


def alt_over_a_focus_loss(run):
    """Alt goes down, the player goes to another tab and comes back, where Alt is up again:
    its key-up went to the other tab. The key A still opens About, and Enter closes it."""
    run.browser.key_event("rawKeyDown", "Alt", "AltLeft", 18, modifiers=1)
    away = run.browser.leave()
    time.sleep(0.2)
    run.browser.come_back(away)
    before = set(run.windows())
    run.key("a")
    about = run.wait_window(lambda w, n: n == "About" and w not in before, 10,
                            "About for the key A, after Alt was held over a focus loss")
    run.key("Enter")
    run.wait_gone(about, 10, "About after Enter")


def offline_ready(run, files):
    """Every file of the site in the service worker's cache, and the page controlled by it."""
    count = run.wait_for("""(async () => {
        await navigator.serviceWorker.ready;
        const names = await caches.keys();
        if (names.length != 1 || !navigator.serviceWorker.controller) return 0;
        return (await (await caches.open(names[0])).keys()).length;
    })()""", 30, "the service worker in control, with its cache")
    run.check(count == files, f"the service worker's cache holds {count} files, the site {files}")


def splash_and_end(run, splash):
    """Escape: the splash, centred on the screen, for about two seconds, then the note."""
    w, h, rows = splash
    x0, y0 = SCREEN[0] // 2 - w // 2, SCREEN[1] // 2 - h // 2
    # The page times the splash itself, from its middle row on the canvas to the note: a
    # look at the canvas from here can take a second on a busy machine.
    run.browser.evaluate(f"""(() => {{
        const row = {list(rows[h // 2])}, times = window.splashTimes = {{}};
        const timer = setInterval(() => {{
            const d = Zant.context.getImageData({x0}, {y0 + h // 2}, {w}, 1).data;
            if (!times.seen && row.every((v, i) => d[i + Math.floor(i / 3)] == v))
                times.seen = performance.now();
            if (!document.getElementById('ended').hidden) {{
                times.ended = performance.now();
                clearInterval(timer);
            }}
        }}, 20);
    }})()""")
    run.key("Escape")
    deadline, seen = time.time() + 15, None
    while seen is None and time.time() < deadline:
        shot = Canvas(run.browser)
        if all(shot.px[((y0 + y) * shot.w + x0) * 3:((y0 + y) * shot.w + x0 + w) * 3] == rows[y]
               for y in range(h)):
            seen = time.time()
            run.check(shot.at(10, 10) == DESKTOP, "the main window is gone while the splash shows")
            save_png(shot, os.path.join(run.out, "splash.png"), (0, 0, shot.w, shot.h))
            run.keep_page("splash")
        time.sleep(0.05)
    if seen is None:
        raise Failed("the splash image did not show, centred, after Escape")
    # The window taken to a screen of twice the scale, while the splash pauses the program.
    # (Headless Chromium's emulated scale changes no media query's state in the page's eyes,
    # as a real screen does: the test sends the change of the page's query on the scale.)
    run.browser.viewport(1280, 800, scale=2)
    watched = run.browser.evaluate(
        "!!Zant.scaleQuery && Zant.scaleQuery.dispatchEvent(new Event('change'))")
    run.check(watched, "the page watches no media query on the device scale")
    placed(run, (1280, 800), 2, "the device scale doubled during the splash")
    query = run.browser.evaluate("Zant.scaleQuery && Zant.scaleQuery.media")
    run.check(query == "(resolution: 2dppx)", f"the page watches the scale with {query!r} after it "
              "doubled, expected (resolution: 2dppx)")
    run.wait_for("!document.getElementById('ended').hidden", 15, "the note that the game has ended")
    times = run.wait_for("window.splashTimes.ended && window.splashTimes", 5, "the page's timing")
    shown = (times["ended"] - times.get("seen", times["ended"])) / 1000
    run.check(1.5 <= shown <= 5, f"the splash showed for {shown:.1f} s, about 2 s expected")
    run.keep_page("ended")
    shot = Canvas(run.browser)
    bare = sum(1 for y in range(0, shot.h, 8) for x in range(0, shot.w, 8) if shot.at(x, y) != DESKTOP)
    run.check(bare == 0, f"after the end the screen is the bare desktop ({bare} samples differ)")


def new_document(run, old_origin, seconds=30):
    """Waits for the document that replaces the one whose time origin was old_origin (a
    value that only a new document changes), fully loaded. While the old one goes, the
    protocol may answer a question with an error."""
    deadline = time.time() + seconds
    while time.time() < deadline:
        try:
            if run.browser.evaluate(f"performance.timeOrigin != {old_origin!r} && "
                                    "document.readyState == 'complete'"):
                return
        except Failure:
            pass
        time.sleep(0.1)
    raise Failed(f"no new page loaded within {seconds} s")


def phone_offline(run, server, reference):
    """The site again without its server, held sideways at a phone's size."""
    server.stop()
    run.browser.viewport(844, 390, scale=3, mobile=True)
    old_origin = run.browser.evaluate("performance.timeOrigin")
    again_by_keyboard(run)
    run.origin = None
    new_document(run, old_origin)
    board = ready(run, "the page loaded again with no server, at a phone's size")
    run.keep(board, "phone_ready")
    run.keep_page("phone_ready")
    same_as_reference(run, board, reference, "offline, at a phone's size")
    placed(run, (844, 390), 3, "at a phone's size, sideways")
    run.touching = True
    titles = menu_titles(board)
    if not run.check(len(titles) == 5, f"{len(titles)} titles on the menu bar, expected 5", board):
        raise Failed("the menu bar")
    # A game of two people, begun with taps.
    run.key("n")
    window = run.wait_window(lambda w, n: n == "Select Your Opponent", 10, "the opponent dialog")
    dialog = run.dialog(window, OPPONENT)
    run.wait(lambda b: dialog.button_there(b.shot, "OK"), 5, "the opponent dialog drawn")
    dialog.click_radio("Human")
    dialog.click("OK")
    run.wait_gone(window, 10, "the opponent dialog after OK")
    start_order_dialog(run)
    board = run.wait(lambda b: b.buttons() == "enabled", 15, "Roll for the first player to move")
    # Roll tapped; in its pause (the die tumbles for 0.75 s, then shows for 1 s) the phone
    # is turned upright, and the rules' title tapped where it shows.
    before = set(run.windows())
    run.click_screen(board.ox + BUTTONS["Roll"][0], board.oy + BUTTONS["Roll"][1])
    run.browser.viewport(390, 844, scale=3, mobile=True)
    placed(run, (390, 844), 3, "turned upright during the pause after Roll")
    run.click_screen((titles[1][0] + titles[1][1]) // 2, board.oy - 10)
    # Still in the pause: Roll's caption greyed (no dark pixels), read in the page at once.
    x, y = board.ox + BUTTONS["Roll"][0] - 20, board.oy + BUTTONS["Roll"][1] - 10
    dark = run.browser.evaluate(f"""(() => {{
        const d = Zant.context.getImageData({x}, {y}, 40, 20).data;
        let n = 0;
        for (let i = 0; i < d.length; i += 4) if (Math.max(d[i], d[i + 1], d[i + 2]) < 90) n++;
        return n;
    }})()""")
    run.keep_page("phone_upright_in_the_pause")
    run.keep(run.look(), "phone_upright_in_the_pause")
    run.check(dark < 10, f"the pause after Roll was over before the rules' title was tapped "
              f"({dark} dark pixels of Roll's caption)")
    text_dialog(run, RULES, "rules_tapped_in_the_pause", before)
    after = run.wait(lambda b: b.buttons() == "enabled", 15, "the next move after the rules")
    run.keep(after, "phone_after_rules")
    run.keep_page("phone_after_rules")


class Reader:
    """The page as a screen reader meets it: its accessibility tree, whose nodes are found by
    role and name and pressed as a reader's "activate" presses them, through their elements."""

    def __init__(self, run):
        self.run, self.browser = run, run.browser
        self.pressed = []  # (the page's time in seconds, what was pressed)
        for domain in ("DOM", "Accessibility"):
            self.browser.call(f"{domain}.enable")
        # What the live region says, in order, as it says it.
        self.browser.evaluate("""(() => { window.zantHeard = [];
            new MutationObserver(changes => changes.forEach(c => c.addedNodes.forEach(
                n => zantHeard.push([performance.now(), n.textContent])))).observe(
                    Zant.said, {childList: true});
            return true; })()""")

    def nodes(self):
        tree = self.browser.call("Accessibility.getFullAXTree")["nodes"]
        return [n for n in tree if not n.get("ignored")]

    @staticmethod
    def role(node):
        return node.get("role", {}).get("value", "")

    @staticmethod
    def name(node):
        return node.get("name", {}).get("value", "")

    @staticmethod
    def state(node, name):
        for p in node.get("properties", []):
            if p["name"] == name:
                return p["value"].get("value")
        return None

    def find(self, role, name, nodes=None):
        return [n for n in (nodes or self.nodes()) if self.role(n) == role and self.name(n) == name]

    def texts(self, nodes=None):
        """What the page says, less what its log has said (the texts shown now)."""
        nodes = nodes or self.nodes()
        said = [n["nodeId"] for n in nodes if self.role(n) == "log"]
        by_id = {n["nodeId"]: n for n in nodes}
        for node_id in said:
            said.extend(by_id[node_id].get("childIds", []) if node_id in by_id else [])
        return [self.name(n) for n in nodes
                if self.role(n) == "StaticText" and n["nodeId"] not in said]

    def heard(self):
        """What the live region said, in order: (seconds since the reader came, words)."""
        return [(t / 1000, words) for t, words in self.browser.evaluate("zantHeard")]

    def wait(self, test, seconds, what):
        """The first true value of test(nodes), polled with a deadline."""
        deadline = time.time() + seconds
        while time.time() < deadline:
            value = test(self.nodes())
            if value:
                return value
            time.sleep(0.1)
        raise Failed(f"not read within {seconds:.0f} s: {what}; the tree says "
                     f"{[(self.role(n), self.name(n)) for n in self.nodes() if self.name(n)]}")

    def press(self, node, what):
        """Activates a node's element, as a screen reader's "activate" does."""
        if self.state(node, "disabled"):
            raise Failed(f"{what} is disabled")
        obj = self.browser.call("DOM.resolveNode", {"backendNodeId": node["backendDOMNodeId"]})
        done = self.browser.call("Runtime.callFunctionOn", {
            "objectId": obj["object"]["objectId"], "returnByValue": True,
            "functionDeclaration": "function() { this.click(); return performance.now(); }"})
        self.pressed.append((done["result"]["value"] / 1000, f">> pressed {self.name(node)}"))

    def press_named(self, role, name, seconds=10):
        node = self.wait(lambda nodes: next((n for n in self.find(role, name, nodes)
                                             if not self.state(n, "disabled")), None),
                         seconds, f"an enabled {role} {name!r}")
        self.press(node, f"the {role} {name!r}")
        return node


def score(texts, who, what):
    """A score the board says: "Player 1, Total Score: 45"; None when it says none."""
    for t in texts:
        m = re.fullmatch(rf"{who}, {what}: (\d+)", t)
        if m:
            return int(m.group(1))
    return None


def again_by_keyboard(run):
    """The page's note after the end as a screen reader and the keyboard meet it: its button
    has the focus and the note describes it; Enter presses it."""
    reader = Reader(run)
    node = reader.wait(lambda nodes: next((n for n in reader.find("button", "Start again", nodes)
                                           if reader.state(n, "focused")), None),
                       10, "the button Start again, focused")
    said = node.get("description", {}).get("value")
    run.check(said == "The game has ended.", f"the button Start again is described by {said!r}")
    for kind in ("keyDown", "keyUp"):
        run.browser.call("Input.dispatchKeyEvent", {"type": kind, "key": "Enter", "code": "Enter",
                                                    "windowsVirtualKeyCode": 13,
                                                    **({"text": "\r"} if kind == "keyDown" else {})})


def reader_game(run, seconds):
    """A whole game against the Pro, played through the accessibility tree alone: player 1
    rolls until the turn total the tree says is 20 or more (or wins) and then holds."""
    reader = Reader(run)
    nodes = reader.nodes()
    loading = [reader.name(n) for n in nodes if "Loading" in reader.name(n)]
    run.check(not loading, f"the page still says {loading} while the game runs")
    reader.pressed.clear()
    reader.press_named("menuitem", "New Game (N)")
    reader.wait(lambda nodes: reader.find("dialog", "Select Your Opponent", nodes), 10,
                "the opponent dialog")
    reader.press_named("radio", "Computer")
    reader.press_named("radio", "Pro")
    reader.wait(lambda nodes: [reader.name(n) for n in nodes if reader.role(n) == "radio" and
                               reader.state(n, "checked") == "true"] == ["Computer", "Pro"],
                5, "the radio buttons Computer and Pro checked, and only they")
    reader.press_named("button", "OK")
    reader.wait(lambda nodes: reader.find("dialog", "Start Order", nodes), 10,
                "the start-order dialog")
    reader.press_named("button", "Roll")
    reader.wait(lambda nodes: not reader.find("dialog", "Start Order", nodes), 10,
                "the start-order dialog gone")

    deadline, presses = time.time() + seconds, 0
    seen, still = None, time.time()
    while time.time() < deadline:
        nodes = reader.nodes()
        texts = reader.texts(nodes)
        # The game goes on by itself between the presses: a tree that says the same for a
        # minute is stuck.
        if texts != seen:
            seen, still = texts, time.time()
        elif time.time() - still > 60:
            roll = [bool(reader.state(n, "disabled")) for n in reader.find("button", "Roll", nodes)]
            raise Failed(f"the tree has said the same for a minute (Roll disabled: {roll}): {texts}")
        winner = next((t for t in texts if t.endswith(" wins!")), None)
        if winner:
            break
        roll = [n for n in reader.find("button", "Roll", nodes) if not reader.state(n, "disabled")]
        if not roll or "Player 1, to move" not in texts:
            time.sleep(0.1)
            continue
        turn = score(texts, "Player 1", "Turn Score") or 0
        total = score(texts, "Player 1", "Total Score") or 0
        choice = "Roll" if turn < HOLD_AT and total + turn < 100 else "Hold"
        reader.press_named("button", choice)
        presses += 1
        # The press is taken: Roll is disabled until player 1 may move again.
        reader.wait(lambda nodes: not [n for n in reader.find("button", "Roll", nodes)
                                       if not reader.state(n, "disabled")], 10,
                    f"{choice} pressed: Roll disabled")
    else:
        raise Failed(f"no winner within {seconds:.0f} s of the game by ear")

    nodes = reader.nodes()
    texts = reader.texts(nodes)
    totals = {who: score(texts, who, "Total Score") for who in ("Player 1", "Computer")}
    won = winner[:-len(" wins!")]
    print(f"the game by ear: {presses} presses of player 1, {winner} totals {totals}", flush=True)
    run.check(won in totals and (totals[won] or 0) >= 100,
              f"the tree says {winner!r} with the totals {totals}")
    buttons = {name: [reader.state(n, "disabled") for n in reader.find("button", name, nodes)]
               for name in ("Roll", "Hold", "Quit")}
    run.check(all(v == [True] for v in buttons.values()),
              f"after the win Roll, Hold and Quit are disabled in the tree: {buttons}")
    heard = reader.heard()
    start = min([t for t, _ in heard + reader.pressed] or [0])
    lines = [f"{t - start:7.2f} s  {words}"
             for t, words in sorted(heard + reader.pressed, key=lambda said: said[0])]
    with open(os.path.join(run.out, "reader_transcript.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")
    print("what the live region said first:\n  " + "\n  ".join(lines[:40]), flush=True)
    heard = [words for _, words in heard]
    # A bank is said with the new total: the last one of each player who banked at all is
    # looked for, the winning one with it (a computer can lose a game without a bank).
    banks = [re.escape(f"{who}, Total Score: {total}") for who, total in totals.items() if total]
    for wanted in [r"Player 1, Turn Score: \d+", *banks, re.escape(winner)]:
        run.check(any(re.fullmatch(wanted, h) for h in heard),
                  f"the live region never said {wanted!r}")
    loading = [reader.name(n) for n in nodes if "Loading" in reader.name(n)]
    run.check(not loading, f"the page says {loading} after the game")


def console_problems(browser):
    """What the page reported as an error: console.error, an uncaught exception, and the
    browser's own error lines (a load refused, a content security policy violation)."""
    problems = []
    for e in browser.events:
        method, p = e.get("method"), e.get("params", {})
        if method == "Runtime.consoleAPICalled" and p["type"] in ("error", "assert"):
            problems.append("console: " + " ".join(str(a.get("value", a.get("description", "")))
                                                   for a in p["args"]))
        elif method == "Runtime.exceptionThrown":
            d = p["exceptionDetails"]
            problems.append("exception: " + d.get("exception", {}).get("description", d["text"]))
        elif method == "Log.entryAdded" and p["entry"]["level"] == "error":
            entry = p["entry"]
            problems.append(f"{entry['source']}: {entry['text']} {entry.get('url', '')}".strip())
    return problems


# Every cache of the origin: its name, and for each entry the SHA-256 of what it holds.
CACHE_DIGESTS = """(async () => {
  const out = {};
  for (const name of await caches.keys()) {
    const cache = await caches.open(name), files = {};
    for (const request of await cache.keys()) {
      const body = await (await cache.match(request)).arrayBuffer();
      const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', body));
      files[request.url] = Array.from(digest, b => b.toString(16).padStart(2, '0')).join('');
    }
    out[name] = files;
  }
  return JSON.stringify(out);
})()"""


def site_digests(folder, url):
    """What the service worker of a site at url should keep: every file but itself, and the
    page's address, by SHA-256."""
    digests = {}
    for base, _, files in os.walk(folder):
        for name in files:
            path = os.path.relpath(os.path.join(base, name), folder)
            if path != "service-worker.js":
                digests[url + path] = hashlib.sha256(open(os.path.join(base, name), "rb").read()).hexdigest()
    digests[url] = digests[url + "index.html"]
    return digests


def worker_versions(browser, script):
    """The versions of a service worker script the browser told of, with their last status."""
    browser.evaluate("1")  # takes in the events meanwhile
    versions = {}
    for e in browser.events:
        if e.get("method") == "ServiceWorker.workerVersionUpdated":
            for v in e["params"]["versions"]:
                if v["scriptURL"] == script:
                    versions[v["versionId"]] = v["status"]
    return versions


def wait_until(test, seconds, what):
    deadline = time.time() + seconds
    while time.time() < deadline:
        value = test()
        if value:
            return value
        time.sleep(0.1)
    raise Failed(f"not seen within {seconds:.0f} s: {what}")


def release_b(site, folder):
    """The next release of the site: a worker of another release, and a page and a script
    that say which release they are. Returns B's release name."""
    shutil.copytree(site, folder)
    path = os.path.join(folder, "service-worker.js")
    worker = open(path).read()
    release = re.search(r"var RELEASE = '([^']*)';", worker).group(1) + "-b"
    open(path, "w").write(re.sub(r"var RELEASE = '[^']*';", f"var RELEASE = '{release}';", worker))
    with open(os.path.join(folder, "zantpig.js"), "a") as f:
        f.write("\nwindow.zantRelease = 'B';\n")
    page = open(os.path.join(folder, "index.html")).read()
    open(os.path.join(folder, "index.html"), "w").write(
        page.replace("<title>", '<meta name="release" content="B">\n<title>'))
    return release


def deploy(release, site, leave_out=None):
    """Puts a release on the host over the last, as an upload does, one file maybe missing."""
    for base, _, files in os.walk(release):
        for name in files:
            path = os.path.relpath(os.path.join(base, name), release)
            if path == leave_out:
                os.remove(os.path.join(site, path))
            else:
                shutil.copy(os.path.join(base, name), os.path.join(site, path))


def release_to_release(run, args):
    """From release A of the site to release B, on a host whose answers the browser may keep
    for ten minutes, on an origin that another app and a second copy of the game share.
    B's install fails while one of its files is missing, and A keeps serving; whole, B
    installs beside an open page of A, which goes on working, and runs, every file of it
    B's, from the next start; the other app's cache and the copy's stay."""
    root = tempfile.mkdtemp(prefix="zantpig-releases-")
    site = os.path.join(root, "site")
    shutil.copytree(args.site, site)
    shutil.copytree(args.site, os.path.join(site, "copy"))
    b_release = release_b(args.site, os.path.join(root, "b"))
    server = SiteServer(site, max_age=600)
    browser = Browser()
    main_browser, run.browser = run.browser, browser
    url, script = server.url, server.url + "service-worker.js"
    release_of_page = "(document.querySelector('meta[name=release]') || {}).content + ' ' + window.zantRelease"

    def new_document():
        try:
            return browser.evaluate("!window.zantLeft && document.readyState == 'complete'")
        except Failure:  # between two documents
            return False

    def visit(page, what):
        browser.evaluate("window.zantLeft = true")  # gone with the document
        browser.navigate(page)
        run.origin = None
        wait_until(new_document, 30, f"{page} loaded")
        ready(run, what)
        return browser.evaluate(release_of_page)

    def caches_now():
        return json.loads(browser.evaluate(CACHE_DIGESTS))

    try:
        browser.call("ServiceWorker.enable")
        browser.call("Log.enable")
        for page in (url + "copy/", url):
            visit(page, f"release A at {page}")
            run.wait_for("navigator.serviceWorker.ready.then(r => !!navigator.serviceWorker.controller)",
                         30, f"the service worker of {page} in control")
        browser.evaluate("caches.open('other-app').then(c => c.put('data', new Response('kept')))"
                         ".then(() => true)")
        a_caches = caches_now()
        known = set(worker_versions(browser, script))

        deploy(os.path.join(root, "b"), site, leave_out="pictures/ZANTSPLASHBITMAP.webp")
        seen = visit(url, "release A again, with B on the host less one file")
        wait_until(lambda: "redundant" in [v for i, v in worker_versions(browser, script).items()
                                           if i not in known], 30, "B's install given up")
        after = caches_now()
        run.check(seen == "undefined undefined" and after == a_caches,
                  f"B could not be fetched whole: the page runs {seen!r}, and the caches must be "
                  f"A's as they were, not {sorted(after)} (A's: {sorted(a_caches)})")

        deploy(os.path.join(root, "b"), site)
        known = set(worker_versions(browser, script))
        seen = visit(url, "release A again, with B on the host")
        b_id = wait_until(lambda: [i for i, v in worker_versions(browser, script).items()
                                   if i not in known and v == "installed"], 60, "B installed")[0]
        shown = len(run.windows())
        run.key("A")
        wait_until(lambda: len(run.windows()) > shown, 10, "About (A) on the page of A beside B")
        run.key("Enter")
        wait_until(lambda: len(run.windows()) == shown, 10, "About closed (Enter)")
        run.check(seen == "undefined undefined", f"while B installs the open page runs A, not {seen!r}")

        browser.navigate("about:blank")
        wait_until(lambda: worker_versions(browser, script).get(b_id) == "activated", 30,
                   "B activated once no page of A is open")
        seen = visit(url, "release B on the next start")
        run.keep_page("release_b")
        run.check(seen == "B B", f"the next start runs B, page and script, not {seen!r}")
        final = caches_now()
        ours = [n for n in final if n.startswith("zantpig-") and n.endswith(" " + url)]
        run.check(ours == [f"zantpig-{b_release} {url}"],
                  f"the game's caches at {url}: {ours}, expected B's alone")
        expected = site_digests(os.path.join(root, "b"), url)
        held = final.get(f"zantpig-{b_release} {url}", {})
        wrong = sorted(u for u in expected if held.get(u) != expected[u])
        run.check(not wrong and len(held) == len(expected),
                  f"B's cache holds B's files: {len(wrong)} of {len(expected)} differ or are "
                  f"missing ({wrong[:4]}), {len(held)} entries")
        copies = [n for n in final if n.startswith("zantpig-") and n.endswith(f" {url}copy/")]
        run.check(final.get("other-app") and copies and final[copies[0]] == a_caches.get(copies[0]),
                  f"the other app's cache and the copy's at {url}copy/ are kept: {sorted(final)}")
        problems = console_problems(browser)
        run.check(not problems, "errors on the page from release to release:\n  " + "\n  ".join(problems))
    finally:
        run.browser = main_browser
        browser.close()
        server.stop()
        shutil.rmtree(root, ignore_errors=True)


def check_all(run, args, server):
    w, h, rows = read_bmp(args.reference)
    reference = (w, h, rows)
    run.browser.call("Log.enable")
    run.browser.viewport(1280, 800)
    run.browser.navigate(server.url)
    board = ready(run, "the page ready, the tables solved")
    run.keep(board, "ready")
    run.keep_page("ready")
    same_as_reference(run, board, reference, "at start-up")
    check_frame(run, board)
    left, top, width, height, rendering = run.placement()
    run.check((width, height, rendering) == (640, 480, "pixelated"),
              f"at 1280 x 800 the screen shows at its own size, crisp: {width} x {height}, {rendering}")
    # The service worker keeps every file but itself, and the page's address ('./').
    offline_ready(run, sum(len(f) for _, _, f in os.walk(args.site)))
    errors = run.browser.call("Page.getInstallabilityErrors").get("installabilityErrors")
    run.check(errors == [], f"the browser finds the page not installable: {errors}")
    alt_over_a_focus_loss(run)

    board = new_game(run, "menu", first=True)
    game = Game(run, "the game", args.game_seconds)
    board = game.play(board, quit_after=0)
    board = dialogs_over_the_game(run, board)
    started = time.time()
    board = game.play(board)
    print(f"the game: {game.moves} moves of player 1, totals {game.totals}, "
          f"{time.time() - started:.0f} s, {run.held_looks} looks at screens the page held",
          flush=True)
    run.keep(board, "game_over")
    run.keep_page("game_over")
    winner = board.header()
    won = game.totals[0] if winner == "Player 1" else game.totals[1]
    run.check(winner in ("Player 1", "Computer") and (won is None or won >= 100),
              f"game over: the header highlights {winner}, totals {game.totals}", board)
    run.check(board.message() == "win", "game over: the win message is not in the success colour", board)
    run.check(board.buttons() == "greyed", "game over: Roll, Hold and Quit should be greyed", board)

    started = time.time()
    reader_game(run, args.game_seconds)
    print(f"the game by ear took {time.time() - started:.0f} s", flush=True)
    splash_and_end(run, read_bmp(args.splash))
    phone_offline(run, server, reference)
    problems = console_problems(run.browser)
    run.check(not problems, "errors on the page (console, exceptions, refused loads, content "
              "security policy):\n  " + "\n  ".join(problems))
    release_to_release(run, args)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--site", required=True)
    parser.add_argument("--lab", required=True, help="the native zantpig-lab")
    parser.add_argument("--dice", required=True)
    parser.add_argument("--splash", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--game-seconds", type=float, default=540.0)
    args = parser.parse_args()
    if not os.path.exists("/usr/bin/chromium"):
        print("SKIP: Chromium is not installed (script/bootstrap installs it)")
        return 77
    if not os.access(args.lab, os.X_OK):
        print(f"SKIP: {args.lab} is missing: the reference picture comes from the native build "
              "(cmake --build --preset default)")
        return 77
    os.makedirs(args.out, exist_ok=True)
    for name in os.listdir(args.out):
        if name.endswith((".png", ".bmp")):
            os.remove(os.path.join(args.out, name))
    args.reference = os.path.join(args.out, "reference.bmp")
    if os.system(f"'{args.lab}' screenshot '{args.reference}' > /dev/null") != 0:
        print("FAILED: zantpig-lab screenshot")
        return 1
    dw, dh, drows = read_bmp(args.dice)
    tiles = [[drows[face * 50 + j][:50 * 3] for j in range(50)] for face in range(7)]

    started = time.time()
    server = SiteServer(args.site)
    browser = Browser()
    run = WebRun(browser, args.out, tiles)
    try:
        check_all(run, args, server)
    except (Failed, Failure) as e:
        run.fail(str(e))
    finally:
        browser.close()
        server.stop()
    return run.report(started, "browser check")


if __name__ == "__main__":
    sys.exit(main())

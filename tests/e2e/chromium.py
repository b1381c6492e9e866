"""Headless Chromium over the DevTools protocol, and a static server for the site it loads.

For the browser test and the browser benchmark. The client runs on Debian's
python3-websocket, which /usr/bin/python3 sees. Chromium runs headless with a new, empty
profile and without the background traffic that this machine's closed network refuses.
"""
import base64
import functools
import http.server
import itertools
import json
import os
import shutil
import subprocess
import tempfile
import threading
import time

import websocket

CHROMIUM = "/usr/bin/chromium"


class SiteServer:
    """Serves a folder on 127.0.0.1 (a free port) from a thread, and counts the requests
    that reach it; with max_age, every answer may be kept that many seconds by the
    browser's HTTP cache, as many hosts allow."""

    def __init__(self, folder, max_age=None):
        server = self

        class Handler(http.server.SimpleHTTPRequestHandler):
            extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                              ".wasm": "application/wasm", ".js": "text/javascript",
                              ".webmanifest": "application/manifest+json"}

            def log_message(self, *args):
                pass

            def send_head(self):
                server.requests += 1
                return super().send_head()

            def end_headers(self):
                if max_age is not None:
                    self.send_header("Cache-Control", f"max-age={max_age}")
                super().end_headers()

        self.requests = 0
        self.httpd = http.server.ThreadingHTTPServer(
            ("127.0.0.1", 0), functools.partial(Handler, directory=folder))
        self.url = f"http://127.0.0.1:{self.httpd.server_port}/"
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def stop(self):
        if self.thread.is_alive():
            self.httpd.shutdown()
            self.httpd.server_close()
            self.thread.join()


class Failure(Exception):
    pass


class Browser:
    """One headless Chromium and one page in it; `call` sends a command to the page."""

    def __init__(self, width=1280, height=800):
        self.profile = tempfile.mkdtemp(prefix="zantpig-chromium-")
        self.proc = subprocess.Popen(
            [CHROMIUM, "--headless=old", "--no-sandbox", "--disable-gpu", "--disable-quic",
             "--no-first-run", "--disable-background-networking", "--disable-component-update",
             "--disable-sync", "--disable-default-apps", "--disable-extensions",
             "--mute-audio", f"--user-data-dir={self.profile}", "--remote-debugging-port=0",
             f"--window-size={width},{height}", "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.ids = itertools.count(1)
        self.events = []
        self.ws = websocket.create_connection(self._endpoint(), timeout=120, suppress_origin=True)
        target = self.call("Target.createTarget", {"url": "about:blank"}, session=None)
        attached = self.call("Target.attachToTarget", {"targetId": target["targetId"],
                                                        "flatten": True}, session=None)
        self.session = attached["sessionId"]
        for domain in ("Page", "Runtime", "Network"):
            self.call(f"{domain}.enable")

    def _endpoint(self):
        port_file = os.path.join(self.profile, "DevToolsActivePort")
        deadline = time.time() + 60
        while time.time() < deadline:
            if self.proc.poll() is not None:
                raise Failure(f"Chromium ended at start with code {self.proc.returncode}")
            if os.path.exists(port_file):
                lines = open(port_file).read().split()
                if len(lines) >= 2:
                    return f"ws://127.0.0.1:{lines[0]}{lines[1]}"
            time.sleep(0.05)
        raise Failure("Chromium did not open its DevTools port within 60 s")

    def call(self, method, params=None, session=0):
        """Sends a command (to the page unless session is None) and returns its result."""
        message = {"id": next(self.ids), "method": method, "params": params or {}}
        if session is not None:
            message["sessionId"] = self.session
        self.ws.send(json.dumps(message))
        while True:
            reply = json.loads(self.ws.recv())
            if reply.get("id") == message["id"]:
                if "error" in reply:
                    raise Failure(f"{method}: {reply['error']}")
                return reply.get("result", {})
            self.events.append(reply)

    def evaluate(self, expression, timeout=60):
        """The value of a JavaScript expression in the page (awaited when a promise)."""
        result = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True,
                                                "awaitPromise": True, "timeout": timeout * 1000})
        if "exceptionDetails" in result:
            raise Failure(f"{expression[:60]}...: {result['exceptionDetails']}")
        return result["result"].get("value")

    def navigate(self, url):
        self.call("Page.navigate", {"url": url})

    def viewport(self, width, height, scale=1, mobile=False):
        self.call("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": scale, "mobile": mobile,
            "screenOrientation": {"type": "landscapePrimary" if width > height else
                                  "portraitPrimary", "angle": 90 if width > height else 0}})
        self.call("Emulation.setTouchEmulationEnabled", {"enabled": mobile, "maxTouchPoints": 5})

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", {"format": "png"})["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))

    def mouse(self, kind, x, y, button="left"):
        params = {"type": kind, "x": x, "y": y, "button": button if kind != "mouseMoved" else "none"}
        if kind in ("mousePressed", "mouseReleased"):
            params.update(clickCount=1, buttons=1 if kind == "mousePressed" else 0)
        self.call("Input.dispatchMouseEvent", params)

    def touch(self, kind, x, y):
        points = [] if kind == "touchEnd" else [{"x": x, "y": y}]
        self.call("Input.dispatchTouchEvent", {"type": kind, "touchPoints": points})

    def key(self, name):
        """A key pressed and released: a letter, or Escape, Enter, Tab."""
        codes = {"Escape": 27, "Enter": 13, "Tab": 9}
        if name in codes:
            key, code, vk = name, name, codes[name]
        else:
            key, code, vk = name, f"Key{name.upper()}", ord(name.upper())
        for kind in ("rawKeyDown", "keyUp"):
            self.call("Input.dispatchKeyEvent", {"type": kind, "key": key, "code": code,
                                                 "windowsVirtualKeyCode": vk,
                                                 "nativeVirtualKeyCode": vk})

    def close(self):
        try:
            self.ws.close()
        except Exception:
            pass
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        shutil.rmtree(self.profile, ignore_errors=True)


# The canvas's pixels as RGB bytes, read in the page and sent as base64.
CANVAS_RGB = """(() => {
  const c = Zant.canvas, d = Zant.context.getImageData(0, 0, c.width, c.height).data;
  const rgb = new Uint8Array(c.width * c.height * 3);
  for (let i = 0, j = 0; i < d.length; i += 4, j += 3) {
    rgb[j] = d[i]; rgb[j + 1] = d[i + 1]; rgb[j + 2] = d[i + 2];
  }
  let s = '';
  for (let i = 0; i < rgb.length; i += 0x8000) s += String.fromCharCode.apply(null, rgb.subarray(i, i + 0x8000));
  return [c.width, c.height, btoa(s)];
})()"""


class Canvas:
    """The screen the page shows, as 8-bit RGB pixels (the interface of run_game.Shot)."""

    def __init__(self, browser):
        self.w, self.h, data = browser.evaluate(CANVAS_RGB)
        self.px = base64.b64decode(data)

    def at(self, x, y):
        i = (y * self.w + x) * 3
        return tuple(self.px[i:i + 3])


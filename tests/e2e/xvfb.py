"""A private virtual X display for one end-to-end test.

Xvfb picks a free display number itself (-displayfd). It runs with -noreset: by default
an X server resets itself whenever its last client leaves, and refuses connections while
it does, so a program started right after a check (or after the previous program) could
find no display. A new display is used only once a client can connect to it; otherwise
another is started. Stopping waits until the server is gone, so that a test started next
never meets a server of ours going down on the same number.
"""
import os
import subprocess
import time


def _launch():
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp", "-noreset"], pass_fds=(write,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    number = b""
    deadline = time.time() + 10
    while not number.endswith(b"\n") and time.time() < deadline:
        chunk = os.read(read, 16)
        if not chunk:
            break
        number += chunk
    os.close(read)
    return xvfb, ":" + number.decode().strip() if number.strip() else None


def _answers(display):
    for _ in range(50):
        if subprocess.run(["xdpyinfo", "-display", display], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0:
            return True
        time.sleep(0.1)
    return False


def start_display():
    """Returns (process, ":N") of a running Xvfb that accepts clients."""
    for _ in range(3):
        xvfb, display = _launch()
        if display and _answers(display):
            return xvfb, display
        stop_display(xvfb)
    raise SystemExit("Xvfb did not start")


def stop_display(xvfb):
    if xvfb.poll() is None:
        xvfb.terminate()
    try:
        xvfb.wait(timeout=10)
    except subprocess.TimeoutExpired:
        xvfb.kill()
        xvfb.wait()

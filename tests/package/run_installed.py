#!/usr/bin/env python3
"""Starts the installed game from a staging folder on a virtual X display and watches it
with zantpig-startwatch: its window must come up and show the table top, untinted once the
game is ready; no GL library may be loaded; and the window's class must be the one the
desktop entry names, so that desktops match the window to the entry and its icon.

Usage: run_installed.py --stage <folder> --watch <zantpig-startwatch> --table <table.bmp>
"""
import argparse
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from layout import APP_ID, desktop_entry  # noqa: E402
from xvfb import start_display, stop_display  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--stage", required=True)
    parser.add_argument("--watch", required=True)
    parser.add_argument("--table", required=True)
    args = parser.parse_args()

    program = os.path.join(args.stage, "bin", "zantpig")
    entry = desktop_entry(os.path.join(args.stage, "share", "applications", f"{APP_ID}.desktop"))
    xvfb, display = start_display()
    try:
        run = subprocess.run([args.watch, "--table", args.table, "--", program],
                             env=dict(os.environ, DISPLAY=display), capture_output=True,
                             text=True, timeout=60)
    finally:
        stop_display(xvfb)
    if run.returncode != 0:
        sys.exit(f"FAIL: the installed game did not come up: {run.stderr.strip()}")
    figures = dict(field.split("=", 1) for field in run.stdout.split())
    failures = []
    if figures["gl"] != "no" or figures["llvm"] != "no":
        failures.append(f"a GL library was loaded (gl={figures['gl']}, llvm={figures['llvm']})")
    if figures["class"] != entry.get("StartupWMClass"):
        failures.append(f"window class {figures['class']!r}, but the desktop entry expects "
                        f"{entry.get('StartupWMClass')!r}")
    for text in failures:
        print("FAIL:", text)
    if failures:
        sys.exit(1)
    print(f"{program}: window after {figures['window_ms']} ms, ready after "
          f"{figures['ready_ms']} ms, peak memory {int(figures['hwm_kb']) // 1024} MB")


if __name__ == "__main__":
    main()

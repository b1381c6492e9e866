#!/usr/bin/env python3
"""Installs the build into a staging folder with `cmake --install` and checks what arrives:
exactly the expected files, a desktop entry and AppStream metadata that their validators
accept and that agree with the files (program, icon, version), and icons whose pictures
have the sizes of their folders.

Usage: check_install.py --build <build folder> --stage <folder> --version <x.y.z>
"""
import argparse
import os
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from layout import APP_ID, ICON_SIZES, desktop_entry, installed_files, png_size  # noqa: E402

failures = []


def check(ok, text):
    if not ok:
        failures.append(text)


def validate(command):
    run = subprocess.run(command, capture_output=True, text=True)
    check(run.returncode == 0, f"{' '.join(command)} failed:\n{run.stdout}{run.stderr}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--stage", required=True)
    parser.add_argument("--version", required=True)
    args = parser.parse_args()

    shutil.rmtree(args.stage, ignore_errors=True)
    subprocess.run(["cmake", "--install", args.build, "--prefix", args.stage], check=True,
                   stdout=subprocess.DEVNULL)

    found = set()
    for folder, _, names in os.walk(args.stage):
        for name in names:
            found.add(os.path.relpath(os.path.join(folder, name), args.stage))
    want = installed_files()
    check(found == want, f"installed files: missing {sorted(want - found)}, "
                         f"unexpected {sorted(found - want)}")
    program = os.path.join(args.stage, "bin", "zantpig")
    check(os.access(program, os.X_OK), f"{program} is not executable")

    desktop = os.path.join(args.stage, "share", "applications", f"{APP_ID}.desktop")
    validate(["desktop-file-validate", desktop])
    entry = desktop_entry(desktop)
    check(entry.get("Exec", "").split()[:1] == ["zantpig"],
          f"desktop entry starts {entry.get('Exec')!r}, not the installed zantpig")
    check(entry.get("Icon") == APP_ID, f"desktop entry's icon is {entry.get('Icon')!r}")

    for n in ICON_SIZES:
        icon = os.path.join(args.stage, "share", "icons", "hicolor", f"{n}x{n}", "apps",
                            f"{APP_ID}.png")
        if os.path.exists(icon):
            check(png_size(icon) == (n, n), f"{icon}: a PNG of {png_size(icon)}, not {n} x {n}")

    metainfo = os.path.join(args.stage, "share", "metainfo", f"{APP_ID}.metainfo.xml")
    validate(["appstreamcli", "validate", "--no-net", "--strict", metainfo])
    root = ET.parse(metainfo).getroot()
    check(root.findtext("id") == APP_ID, f"metadata id {root.findtext('id')!r}")
    check(root.findtext("launchable") == f"{APP_ID}.desktop",
          f"metadata launches {root.findtext('launchable')!r}")
    check(root.findtext("provides/binary") == "zantpig",
          f"metadata provides {root.findtext('provides/binary')!r}")
    releases = [r.get("version") for r in root.iter("release")]
    check(releases[:1] == [args.version], f"metadata's latest release {releases[:1]}, "
                                          f"expected {args.version}")

    for text in failures:
        print("FAIL:", text)
    if failures:
        sys.exit(1)
    print(f"{len(found)} files installed and checked")


if __name__ == "__main__":
    main()

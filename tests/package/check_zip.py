#!/usr/bin/env python3
"""Builds the Windows ZIP of the mingw build with CPack and checks it: one folder named
after the release holding zantpig.exe and README.txt, and in the .exe a version resource
that Windows shows in the file's properties, with the product name and the version, as
windres reads it back from the packed program.

Usage: check_zip.py --build <mingw build folder> --out <folder> --version <x.y.z>
                    --windres <x86_64-w64-mingw32-windres>
"""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

PRODUCT = "Zant Pig"


def version_info(windres, exe):
    """The version resource of a program, as windres reads it back from the linked file:
    (fixed file version, fixed product version, {(string table, name): value}, [tables
    that the Translation entry names]), or None when there is none."""
    with tempfile.NamedTemporaryFile(suffix=".exe") as f:
        f.write(exe)
        f.flush()
        rc = subprocess.run([windres, "-i", f.name, "-O", "rc"], check=True,
                            capture_output=True, text=True).stdout
    at = rc.find(" VERSIONINFO")
    if at < 0:
        return None
    rc = rc[at:]
    fixed = {}
    for name in ("FILEVERSION", "PRODUCTVERSION"):
        match = re.search(rf"^\s*{name} (\d+), (\d+), (\d+), (\d+)$", rc, re.M)
        fixed[name] = tuple(int(n) for n in match.groups()) if match else None
    strings, table = {}, None
    for line in rc.splitlines():
        block = re.match(r'\s*BLOCK "([0-9A-Fa-f]{8})"', line)
        value = re.match(r'\s*VALUE "(\w+)", "(.*)"$', line)
        if block:
            table = block.group(1).upper()
        elif value and table:
            strings[(table, value.group(1))] = value.group(2)
    translations = [f"{int(lang, 16):04X}{int(page):04X}" for lang, page in
                    re.findall(r'VALUE "Translation", (0x[0-9a-fA-F]+), (\d+)', rc)]
    return fixed["FILEVERSION"], fixed["PRODUCTVERSION"], strings, translations


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--windres", required=True)
    args = parser.parse_args()

    shutil.rmtree(args.out, ignore_errors=True)
    subprocess.run(["cpack", "-G", "ZIP", "--config",
                    os.path.join(args.build, "CPackConfig.cmake"), "-B", args.out],
                   check=True, stdout=subprocess.DEVNULL)
    zips = glob.glob(os.path.join(args.out, "*.zip"))
    if len(zips) != 1:
        sys.exit(f"FAIL: expected one .zip in {args.out}, found {zips}")
    failures = []
    folder = f"ZantPig-{args.version}-windows-x64"
    with zipfile.ZipFile(zips[0]) as archive:
        names = {n for n in archive.namelist() if not n.endswith("/")}
        want = {f"{folder}/zantpig.exe", f"{folder}/README.txt"}
        if names != want:
            sys.exit(f"FAIL: {os.path.basename(zips[0])} holds {sorted(names)}, "
                     f"expected {sorted(want)}")
        exe = archive.read(f"{folder}/zantpig.exe")
        readme = archive.read(f"{folder}/README.txt").decode("ascii")

    if not readme.startswith(f"{PRODUCT} {args.version}\r\n"):
        failures.append(f"README.txt begins {readme.splitlines()[0]!r}, with Windows line ends")

    info = version_info(args.windres, exe)
    if info is None:
        sys.exit("FAIL: zantpig.exe has no version resource")
    file_version, product_version, strings, translations = info
    numbers = tuple(int(n) for n in args.version.split(".")) + (0,)
    for name, got in (("file", file_version), ("product", product_version)):
        if got != numbers[:4]:
            failures.append(f"fixed {name} version {got}, expected {numbers[:4]}")
    # Windows looks the strings up by the language and code page the Translation names.
    tables = set(translations)
    want = {"ProductName": PRODUCT, "ProductVersion": args.version, "FileVersion": args.version,
            "OriginalFilename": "zantpig.exe"}
    for name, value in want.items():
        got = [v for (table, key), v in strings.items() if key == name and table in tables]
        if got != [value]:
            failures.append(f"{name}: {got}, expected {value!r} under a translation {tables}")
    description = [v for (_, key), v in strings.items() if key == "FileDescription"]
    if not description or not description[0]:
        failures.append("no FileDescription")

    for text in failures:
        print("FAIL:", text)
    if failures:
        sys.exit(1)
    print(f"{os.path.basename(zips[0])}: {sorted(names)}; zantpig.exe version "
          f"{'.'.join(map(str, file_version))}, {strings}")


if __name__ == "__main__":
    main()

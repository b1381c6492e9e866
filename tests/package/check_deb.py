#!/usr/bin/env python3
"""Builds the Debian package of a build with CPack and checks it with dpkg-deb: its control
fields, that its dependencies name the package of every library the program links against
(found here independently, from the program's own list of needed libraries) and the fonts
package, and that it holds exactly the files of an installation under /usr.

Usage: check_deb.py --build <build folder> --out <folder> --version <x.y.z>
"""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from layout import installed_files  # noqa: E402

failures = []


def check(ok, text):
    if not ok:
        failures.append(text)


def output(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def package_of_library(soname):
    """The installed Debian package that ships the library the dynamic linker would load."""
    for line in output("ldconfig", "-p").splitlines():
        match = re.match(rf"\s*{re.escape(soname)} \((.*)\) => (.*)$", line)
        if not match or "x86-64" not in match.group(1):
            continue
        path = match.group(2)
        real = os.path.realpath(path)
        candidates = [path, real]
        for p in (path, real):
            candidates.append(p[4:] if p.startswith("/usr/") else "/usr" + p)
        for candidate in candidates:
            run = subprocess.run(["dpkg-query", "-S", candidate], capture_output=True, text=True)
            if run.returncode == 0:
                return run.stdout.split(":")[0]
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--version", required=True)
    args = parser.parse_args()

    shutil.rmtree(args.out, ignore_errors=True)
    subprocess.run(["cpack", "-G", "DEB", "--config",
                    os.path.join(args.build, "CPackConfig.cmake"), "-B", args.out],
                   check=True, stdout=subprocess.DEVNULL)
    debs = glob.glob(os.path.join(args.out, "*.deb"))
    if len(debs) != 1:
        sys.exit(f"FAIL: expected one .deb in {args.out}, found {debs}")
    deb = debs[0]
    arch = output("dpkg", "--print-architecture").strip()
    check(os.path.basename(deb) == f"zantpig_{args.version}_{arch}.deb",
          f"package file named {os.path.basename(deb)}")

    fields = {}
    for name in ("Package", "Version", "Architecture", "Section", "Maintainer", "Depends",
                 "Description"):
        fields[name] = output("dpkg-deb", "-f", deb, name).strip()
    check(fields["Package"] == "zantpig", f"Package: {fields['Package']}")
    check(fields["Version"] == args.version, f"Version: {fields['Version']}, not {args.version}")
    check(fields["Architecture"] == arch, f"Architecture: {fields['Architecture']}")
    check(fields["Section"] == "games", f"Section: {fields['Section']}")
    check("<" in fields["Maintainer"], f"Maintainer without an address: {fields['Maintainer']}")
    check(len(fields["Description"].splitlines()) > 1, "Description without a long text")

    depends = {re.split(r"[ (]", d.strip())[0] for d in fields["Depends"].split(",")}
    check("fonts-liberation2" in depends, f"Depends lacks fonts-liberation2: {fields['Depends']}")

    contents = set()
    for line in output("dpkg-deb", "-c", deb).splitlines():
        if line.startswith("-"):
            contents.add(line.split()[-1])
    want = {"./usr/" + f for f in installed_files()}
    check(contents == want, f"package files: missing {sorted(want - contents)}, "
                            f"unexpected {sorted(contents - want)}")

    unpacked = os.path.join(args.out, "unpacked")
    subprocess.run(["dpkg-deb", "-x", deb, unpacked], check=True)
    program = os.path.join(unpacked, "usr", "bin", "zantpig")
    needed = re.findall(r"NEEDED\s+(\S+)", output("objdump", "-p", program))
    check(needed, "the packaged program needs no shared library at all?")
    for soname in needed:
        package = package_of_library(soname)
        check(package is not None, f"no installed package ships {soname}")
        if package:
            check(package in depends, f"{soname} comes from {package}, which Depends lacks: "
                                      f"{fields['Depends']}")

    for text in failures:
        print("FAIL:", text)
    if failures:
        sys.exit(1)
    print(f"{os.path.basename(deb)}: Depends: {fields['Depends']}")
    print(f"{len(contents)} files, {len(needed)} libraries, each from a package it depends on")


if __name__ == "__main__":
    main()

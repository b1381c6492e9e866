#!/usr/bin/env python3
"""Builds the Windows ZIP of the mingw build with CPack and checks it: one folder named
after the release holding zantpig.exe and README.txt, and in the .exe a version resource
that Windows shows in the file's properties, with the product name and the version. The
resource is read straight from the PE file, not with the tools that wrote it.

Usage: check_zip.py --build <mingw build folder> --out <folder> --version <x.y.z>
"""
import argparse
import glob
import os
import shutil
import struct
import subprocess
import sys
import zipfile

PRODUCT = "Zant Pig"
RT_VERSION = 16


def resource_data(pe, type_id):
    """The bytes of the first resource of a type in a PE file, or None."""
    (header,) = struct.unpack_from("<I", pe, 0x3C)
    if pe[header:header + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    sections, optional_size = struct.unpack_from("<H12xH", pe, header + 6)
    optional = header + 24
    (magic,) = struct.unpack_from("<H", pe, optional)
    directories = optional + (112 if magic == 0x20B else 96)
    rsrc_rva, _ = struct.unpack_from("<II", pe, directories + 2 * 8)
    delta = None
    for i in range(sections):
        vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", pe, optional + optional_size
                                                        + 40 * i + 8)
        if va <= rsrc_rva < va + max(vsize, rawsize):
            delta = rawptr - va
    if not rsrc_rva or delta is None:
        return None
    root = rsrc_rva + delta

    def entries(directory):
        named, ids = struct.unpack_from("<HH", pe, directory + 12)
        return [struct.unpack_from("<II", pe, directory + 16 + 8 * k) for k in range(named + ids)]

    # Three levels: type, name, language; take the first name and language of the type.
    target = next((t for name, t in entries(root) if name == type_id), None)
    for _ in range(2):
        if target is None or not target & 0x80000000:
            return None
        target = entries(root + (target & 0x7FFFFFFF))[0][1]
    rva, size = struct.unpack_from("<II", pe, root + target)
    return pe[rva + delta:rva + delta + size]


def version_block(data, at=0):
    """One node of a VS_VERSIONINFO tree: (key, value bytes, is text, children)."""
    length, value_length, text = struct.unpack_from("<HHH", data, at)
    end, p = at + length, at + 6
    key_end = p
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[p:key_end].decode("utf-16-le")
    p = (key_end + 2 + 3) & ~3
    size = value_length * 2 if text else value_length
    value = data[p:p + size]
    p = (p + size + 3) & ~3
    children = []
    while p < end:
        child, p = version_block(data, p)
        children.append(child)
        p = (p + 3) & ~3
    return (key, value, text, children), end


def version_info(pe):
    data = resource_data(pe, RT_VERSION)
    if data is None:
        return None
    (key, fixed, _, children), _ = version_block(data)
    if key != "VS_VERSION_INFO" or len(fixed) < 52:
        raise ValueError(f"version resource starts with {key!r}")
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    if signature != 0xFEEF04BD:
        raise ValueError("no VS_FIXEDFILEINFO")
    strings, translations = {}, []
    for key, value, _, blocks in children:
        if key == "StringFileInfo":
            for table, _, _, entries in blocks:
                for name, text, _, _ in entries:
                    strings[(table, name)] = text.decode("utf-16-le").rstrip("\0")
        elif key == "VarFileInfo":
            for name, value, _, _ in blocks:
                if name == "Translation":
                    translations += [struct.unpack_from("<HH", value, i)
                                     for i in range(0, len(value), 4)]
    split = lambda ms, ls: (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)  # noqa: E731
    return split(file_ms, file_ls), split(product_ms, product_ls), strings, translations


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--version", required=True)
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

    info = version_info(exe)
    if info is None:
        sys.exit("FAIL: zantpig.exe has no version resource")
    file_version, product_version, strings, translations = info
    numbers = tuple(int(n) for n in args.version.split(".")) + (0,)
    for name, got in (("file", file_version), ("product", product_version)):
        if got != numbers[:4]:
            failures.append(f"fixed {name} version {got}, expected {numbers[:4]}")
    # Windows looks the strings up by the language and code page the Translation names.
    tables = {f"{lang:04X}{page:04X}" for lang, page in translations}
    want = {"ProductName": PRODUCT, "ProductVersion": args.version, "FileVersion": args.version,
            "OriginalFilename": "zantpig.exe"}
    for name, value in want.items():
        got = [v for (table, key), v in strings.items() if key == name and table.upper() in tables]
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

#!/usr/bin/env python3
"""Seeds for the resource fuzzer, made from the game's real .res file.

Each seed is a small .res file of its own: the leading empty entry that a .res starts with,
then one of the game's resources (the group icon together with its images). A bitmap is
cut down to its first rows, its header changed to match, so that the fuzzer works on small
pictures of the real format.

    make_corpus.py GAME.res OUTPUT_DIR
"""
import os
import struct
import sys

RT_BITMAP, RT_ICON, RT_GROUP_ICON = 2, 3, 14
BITMAP_ROWS = 4


def entries(res):
    """(type, raw entry bytes, data offset in the entry) for each entry of a .res file."""
    at = 0
    while at + 8 <= len(res):
        data_size, header_size = struct.unpack_from("<II", res, at)
        end = at + header_size + data_size
        if header_size < 16 or end > len(res):
            raise ValueError("damaged .res at %d" % at)
        kind = None
        if struct.unpack_from("<H", res, at + 8)[0] == 0xFFFF:
            kind = struct.unpack_from("<H", res, at + 10)[0]
        yield kind, res[at:end], header_size
        at = (end + 3) & ~3


def pad(entry):
    return entry + b"\0" * (-len(entry) % 4)


def small_bitmap(entry, header_size):
    """The entry with its DIB cut to BITMAP_ROWS rows, sizes adjusted."""
    dib = entry[header_size:]
    width, height = struct.unpack_from("<ii", dib, 4)
    bits = struct.unpack_from("<H", dib, 14)[0]
    stride = (width * bits + 31) // 32 * 4
    pixels = dib[40:40 + stride * BITMAP_ROWS]
    header = bytearray(dib[:40])
    struct.pack_into("<i", header, 8, BITMAP_ROWS if height > 0 else -BITMAP_ROWS)
    struct.pack_into("<I", header, 20, len(pixels))
    data = bytes(header) + pixels
    head = bytearray(entry[:header_size])
    struct.pack_into("<I", head, 0, len(data))
    return bytes(head) + data


def main():
    res_path, out_dir = sys.argv[1], sys.argv[2]
    with open(res_path, "rb") as f:
        res = f.read()
    os.makedirs(out_dir, exist_ok=True)
    all_entries = list(entries(res))
    lead = pad(all_entries[0][1])  # the empty entry every .res begins with
    icons = b"".join(pad(e) for kind, e, _ in all_entries if kind in (RT_ICON, RT_GROUP_ICON))
    seeds = [("icon", icons)] if icons else []
    for number, (kind, entry, header_size) in enumerate(all_entries[1:], 1):
        if kind in (RT_ICON, RT_GROUP_ICON):
            continue
        if kind == RT_BITMAP:
            entry = small_bitmap(entry, header_size)
        seeds.append(("entry%02d" % number, pad(entry)))
    for name, body in seeds:
        with open(os.path.join(out_dir, name + ".res"), "wb") as f:
            f.write(lead + body)


if __name__ == "__main__":
    main()

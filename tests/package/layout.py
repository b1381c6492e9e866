"""What an installation of the game holds on Linux, relative to its prefix: the program,
its desktop entry, its AppStream metadata and its icon at each size of the hicolor theme.
The checks of `cmake --install` and of the Debian package both compare against it."""

APP_ID = "com.zantpig.ZantPig"
ICON_SIZES = (32, 48, 64, 128, 256)


def installed_files():
    files = {
        "bin/zantpig",
        f"share/applications/{APP_ID}.desktop",
        f"share/metainfo/{APP_ID}.metainfo.xml",
    }
    files |= {f"share/icons/hicolor/{n}x{n}/apps/{APP_ID}.png" for n in ICON_SIZES}
    return files


def png_size(path):
    """Width and height from a PNG file's header, or None for anything else."""
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")


def desktop_entry(path):
    """The keys of a desktop file's [Desktop Entry] group."""
    keys, group = {}, None
    for line in open(path, encoding="utf-8"):
        line = line.strip()
        if line.startswith("["):
            group = line
        elif group == "[Desktop Entry]" and "=" in line and not line.startswith("#"):
            key, value = line.split("=", 1)
            keys[key.strip()] = value.strip()
    return keys

#!/usr/bin/env python3
"""Prints what a Windows shortcut (.lnk) starts, one "key=value" line each:

    target=C:\\Program Files\\Velmora Labels\\Ferrulin.exe
    arguments=/MINIMIZED
    workdir=C:\\RM Data

from the shell link file's fixed layout: a 76-byte header whose flags say
which parts follow, the item ID list, the link information with the target's
local path, then counted strings (name, relative path, working directory,
arguments, icon location), UTF-16 when the header says so. Exit status 1 when
the file is not a shell link or names no local target.
"""
import struct
import sys

HEADER_SIZE = 0x4C
LINK_CLSID = bytes.fromhex("0114020000000000c000000000000046")
HAS_ID_LIST, HAS_LINK_INFO, HAS_NAME, HAS_RELATIVE_PATH = 0x1, 0x2, 0x4, 0x8
HAS_WORKING_DIR, HAS_ARGUMENTS, HAS_ICON_LOCATION, IS_UNICODE = 0x10, 0x20, 0x40, 0x80
VOLUME_ID_AND_LOCAL_BASE_PATH = 0x1


def c_string(data, offset, unicode):
    if unicode:
        end = offset
        while data[end : end + 2] != b"\0\0":
            end += 2
        return data[offset:end].decode("utf-16-le")
    end = data.index(b"\0", offset)
    return data[offset:end].decode("mbcs" if sys.platform == "win32" else "cp1252")


def read_link(data):
    if len(data) < HEADER_SIZE or struct.unpack_from("<I", data)[0] != HEADER_SIZE:
        raise ValueError("not a shell link (header)")
    if data[4:20] != LINK_CLSID:
        raise ValueError("not a shell link (class id)")
    (flags,) = struct.unpack_from("<I", data, 0x14)
    offset = HEADER_SIZE
    if flags & HAS_ID_LIST:
        (size,) = struct.unpack_from("<H", data, offset)
        offset += 2 + size
    target = None
    if flags & HAS_LINK_INFO:
        info = data[offset:]
        # size, header size, flags, volume id, local base path, network
        # link, common path suffix (offsets from the start of the block)
        size, header_size, info_flags, _, base_offset, _, suffix_offset = struct.unpack_from("<7I", info)
        if info_flags & VOLUME_ID_AND_LOCAL_BASE_PATH:
            if header_size >= 0x24:
                base_unicode, suffix_unicode = struct.unpack_from("<II", info, 28)
                target = c_string(info, base_unicode, True) + c_string(info, suffix_unicode, True)
            else:
                target = c_string(info, base_offset, False) + c_string(info, suffix_offset, False)
        offset += size
    strings = {}
    unicode = bool(flags & IS_UNICODE)
    for flag, key in (
        (HAS_NAME, "name"),
        (HAS_RELATIVE_PATH, "relative"),
        (HAS_WORKING_DIR, "workdir"),
        (HAS_ARGUMENTS, "arguments"),
        (HAS_ICON_LOCATION, "icon"),
    ):
        if flags & flag:
            (count,) = struct.unpack_from("<H", data, offset)
            offset += 2
            width = 2 if unicode else 1
            raw = data[offset : offset + count * width]
            # Wine counts the terminating NUL too.
            strings[key] = (raw.decode("utf-16-le") if unicode else raw.decode("cp1252")).rstrip("\0")
            offset += count * width
    if not target:
        raise ValueError("names no local target")
    return {"target": target, "arguments": strings.get("arguments", ""), "workdir": strings.get("workdir", "")}


def main():
    if len(sys.argv) != 2:
        print("usage: read-lnk.py SHORTCUT.lnk", file=sys.stderr)
        return 2
    try:
        with open(sys.argv[1], "rb") as f:
            link = read_link(f.read())
    except (OSError, ValueError, struct.error, UnicodeDecodeError) as e:
        print(f"read-lnk: {sys.argv[1]}: {e}", file=sys.stderr)
        return 1
    for key in ("target", "arguments", "workdir"):
        print(f"{key}={link[key]}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Packs the release archives, byte for byte the same on every machine that
builds the same commit with the same toolchain.

    pack.py --files LIST --debug FILE --commit-of DIR --out DIR --written FILE

LIST holds one entry per line, "NAME<TAB>PATH": NAME is the name in the
archive (UTF-8, "/" between folders), PATH the file to store. The archive is
named after the version resource of the entry "Pintle.dll":
DIR/Pintle-<version>-win64.zip with every entry and SHA256SUMS, and
DIR/Pintle-<version>-win64-debug.zip with FILE as Pintle.dll.debug; the
paths of the two go into the --written FILE, one a line.

What makes the bytes depend on nothing but the files: entries sorted by the
bytes of their names, stored (no compression, so no compressor version
matters), no folder entries, no extra fields, the UTF-8 name flag set, mode
0644, and one time for every entry: that of the commit checked out in the
--commit-of tree (`git log -1 --format=%ct`), written as UTC.
Only the standard library is used.
"""
import argparse
import binascii
import hashlib
import os
import struct
import subprocess
import sys
import time

UTF8_NAMES = 0x0800          # general-purpose bit 11: the name is UTF-8
VERSION = 20                 # 2.0, what every unzip reads
MADE_BY = (3 << 8) | VERSION  # made on Unix: the external attributes carry a mode
MODE = 0o100644              # a regular file, rw-r--r--


def dos_time(seconds):
    t = time.gmtime(max(seconds, 315532800))  # DOS times start in 1980
    return ((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec // 2),
            ((t.tm_year - 1980) << 9) | (t.tm_mon << 5) | t.tm_mday)


def write_zip(path, entries, seconds):
    """entries: list of (name, bytes). Writes them sorted by name."""
    mtime, mdate = dos_time(seconds)
    out = bytearray()
    central = bytearray()
    names = set()
    for name, data in sorted(entries, key=lambda e: e[0].encode("utf-8")):
        raw = name.encode("utf-8")
        if name in names or not raw or raw.startswith(b"/") or b"\\" in raw:
            raise SystemExit("pack.py: bad or repeated entry name %r" % name)
        names.add(name)
        crc = binascii.crc32(data) & 0xFFFFFFFF
        offset = len(out)
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, VERSION, UTF8_NAMES, 0, mtime, mdate,
                           crc, len(data), len(data), len(raw), 0)
        out += raw + data
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, MADE_BY, VERSION, UTF8_NAMES, 0,
                               mtime, mdate, crc, len(data), len(data), len(raw), 0, 0, 0, 0,
                               MODE << 16, offset)
        central += raw
    start = len(out)
    out += central
    out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(names), len(names), len(central), start, 0)
    with open(path + ".tmp", "wb") as f:
        f.write(out)
    os.replace(path + ".tmp", path)


def dll_version(data):
    """FILEVERSION of the version resource: the fixed part after VS_VERSION_INFO."""
    key = "VS_VERSION_INFO\0".encode("utf-16-le")
    at = data.find(key)
    if at < 0:
        raise SystemExit("pack.py: Pintle.dll has no version resource")
    at = (at + len(key) + 3) & ~3
    signature, _, ms, ls = struct.unpack_from("<IIII", data, at)
    if signature != 0xFEEF04BD:
        raise SystemExit("pack.py: Pintle.dll's version resource is malformed")
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def main():
    parser = argparse.ArgumentParser(description="Packs the release archives.")
    parser.add_argument("--files", required=True)
    parser.add_argument("--debug", required=True)
    parser.add_argument("--commit-of", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--written", required=True)
    args = parser.parse_args()

    entries = []
    with open(args.files, encoding="utf-8") as f:
        for line in f.read().splitlines():
            if line:
                name, path = line.split("\t", 1)
                with open(path, "rb") as data:
                    entries.append((name, data.read()))
    dll = [data for name, data in entries if name == "Pintle.dll"]
    if len(dll) != 1:
        raise SystemExit("pack.py: the list must name Pintle.dll once")
    version = dll_version(dll[0])
    try:
        seconds = int(subprocess.run(["git", "-C", args.commit_of, "log", "-1", "--format=%ct"],
                                     check=True, capture_output=True, text=True).stdout)
    except (OSError, ValueError, subprocess.CalledProcessError):
        # Not a git checkout: the earliest time a zip entry can carry.
        print("pack.py: no commit time in %s, using 1980-01-01" % args.commit_of, file=sys.stderr)
        seconds = 0

    # sha256sum's own format, so that `sha256sum -c SHA256SUMS` checks an
    # unpacked archive.
    sums = "".join("%s  %s\n" % (hashlib.sha256(data).hexdigest(), name)
                   for name, data in sorted(entries, key=lambda e: e[0].encode("utf-8")))
    entries.append(("SHA256SUMS", sums.encode("utf-8")))

    os.makedirs(args.out, exist_ok=True)
    base = os.path.join(args.out, "Pintle-%s-win64" % version)
    write_zip(base + ".zip", entries, seconds)
    with open(args.debug, "rb") as f:
        write_zip(base + "-debug.zip", [("Pintle.dll.debug", f.read())], seconds)
    with open(args.written, "w", encoding="utf-8") as f:
        f.write("%s.zip\n%s-debug.zip\n" % (base, base))


if __name__ == "__main__":
    sys.exit(main())

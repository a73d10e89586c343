#!/usr/bin/env python3
"""Writes the seed inputs of fuzz_modelists (corpus/modelists/): the driver's
lists as the tests and real machines hold them, and the modes a RADEON card
enumerates. The format is described at the top of fuzz_modelists.cpp."""
import os
import struct
import sys

RESTRICTED, NONSTD, MODES, SWITCHES = 0, 5, 9, 10


def bcd(n):
    n %= 10000
    return bytes([((n // 1000) << 4) | (n // 100 % 10), ((n // 10 % 10) << 4) | (n % 10)])


def records(*modes):
    return b"".join(bcd(w) + bcd(h) + bcd(d) + bcd(r) for w, h, d, r in modes)


def chunk(tag, data):
    return bytes([tag]) + struct.pack("<H", len(data)) + data


def modes(*groups):
    out = b""
    for depth in (8, 16, 32):
        for sizes, rates in groups:
            for w, h in sizes:
                for r in rates:
                    out += struct.pack("<HHBH", w, h, depth, r)
    return out


RADEON = modes(([(640, 480)], [60, 72, 75, 85]), ([(800, 600)], [56, 60, 72, 75, 85]),
               ([(1024, 768)], [60, 70, 75, 85]), ([(1280, 1024)], [60, 75, 85]))

SEEDS = {
    "rates-640": chunk(RESTRICTED, records((640, 480, 0, 60), (640, 480, 0, 70), (640, 480, 0, 72))),
    "kept-kinds": chunk(RESTRICTED, records((0, 0, 0, 56), (1600, 1200, 0, 0), (0, 0, 16, 0)))
    + chunk(RESTRICTED + 2, records((640, 480, 0, 60), (0, 0, 0, 43)))
    + chunk(RESTRICTED + 4, records((1024, 768, 0, 0))) + chunk(SWITCHES, b"\x06"),
    "not-bcd-and-cut": chunk(RESTRICTED, records((800, 600, 0, 60)) + b"\x12\xab\x00\x00\x00\x00\x00\x60\x10\x24")
    + chunk(SWITCHES, b"\x04"),
    "text-and-number": chunk(0x20 | RESTRICTED, b"garbage\0") + chunk(0x40 | (RESTRICTED + 2), b"\x05\0\0\0"),
    "nonstd": chunk(NONSTD, records((1280, 1024, 0, 0), (800, 600, 32, 85)))
    + chunk(NONSTD + 1, records((1400, 1050, 16, 60), (0, 0, 0, 0))) + chunk(SWITCHES, b"\x02"),
    "nonstd-odd": chunk(NONSTD, records((1280, 1024, 0, 0)) + b"\x99\x99\xaa\x00") + chunk(NONSTD + 2, records((640, 480, 300, 0)))
    + chunk(SWITCHES, b"\x0a"),
    "radeon-modes": chunk(MODES, RADEON) + chunk(RESTRICTED, records((1024, 768, 0, 60), (1024, 768, 0, 70)))
    + chunk(SWITCHES, b"\x04"),
    "raw-modes": chunk(MODES, RADEON + struct.pack("<HHBH", 1600, 1200, 8, 85)) + chunk(SWITCHES, b"\x01"),
    "odd-enumeration": chunk(MODES, struct.pack("<HHBHHHBHHHBH", 640, 480, 8, 75, 640, 480, 8, 60, 640, 480, 8, 75)
                             + struct.pack("<HHBH", 320, 200, 8, 300) + struct.pack("<HHBH", 0, 0, 8, 60)),
    "two-cut-ends": chunk(RESTRICTED, records((0, 0, 0, 85)) + b"\x10\x24")
    + chunk(RESTRICTED + 1, records((0, 0, 0, 43)) + b"\x07\x68\x00\x00\x00\x60")
    + chunk(NONSTD, records((800, 600, 0, 0)) + b"\x12\x80") + chunk(NONSTD + 2, b"\x10\x24\x00\x00\x00\x00")
    + chunk(SWITCHES, b"\x06"),
    "restrict-all": chunk(RESTRICTED, records(*[(1280, 1024, 0, r) for r in (60, 70, 75, 85)])) + chunk(SWITCHES, b"\x0c"),
}

out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "modelists")
os.makedirs(out, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)

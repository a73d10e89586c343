#!/usr/bin/env python3
"""Builds ati.pci, the board-name list Kelvane ships, from a pci.ids database.

Usage: make_ati_pci.py [PCI_IDS [OUTPUT]]
  PCI_IDS defaults to /usr/share/misc/pci.ids (Debian's pci.ids package),
  OUTPUT defaults to ati.pci in the current directory.

Each line is fixed-column so the program can read it without a parser:
  "D dddd name"          an ATI device
  "S ssdd board"         a board built on the device above (subsystem device id)
  "O ssvv board, maker"  that board by who makes it (subsystem vendor id)
The O line always follows its S line; the program pairs them by position.
The card type shown is the text of the last line that matched, so an O line
names the board as well as its maker: its text is the most precise name.
"""

import re
import sys
import unicodedata

ATI_VENDOR = "1002"
DEFAULT_SOURCE = "/usr/share/misc/pci.ids"
DEFAULT_OUTPUT = "ati.pci"

VENDOR_RE = re.compile(r"^([0-9A-Fa-f]{4})\s+(.*?)\s*$")
DEVICE_RE = re.compile(r"^\t([0-9A-Fa-f]{4})\s+(.*?)\s*$")
SUBSYS_RE = re.compile(r"^\t\t([0-9A-Fa-f]{4})\s+([0-9A-Fa-f]{4})\s+(.*?)\s*$")

# Characters NFKD cannot take apart but that have an obvious ASCII spelling.
ASCII_FALLBACK = {
    "\u00df": "ss", "\u00e6": "ae", "\u00c6": "AE", "\u00f8": "o", "\u00d8": "O",
    "\u0153": "oe", "\u0152": "OE", "\u0142": "l", "\u0141": "L", "\u00f0": "d",
    "\u00d0": "D", "\u00fe": "th", "\u00de": "Th", "\u2013": "-", "\u2014": "-",
    "\u2018": "'", "\u2019": "'", "\u201c": '"', "\u201d": '"', "\u00b5": "u",
    "\u00ae": "(R)", "\u00a9": "(C)", "\u2122": "(TM)", "\u00d7": "x",
}


def to_ascii(text):
    """Windows 2000 reads the file in whatever ANSI code page it runs, so only
    ASCII is safe: accents are dropped, superscripts become digits, and what
    has no ASCII form becomes '?' rather than vanishing silently."""
    out = []
    for ch in text:
        if ord(ch) < 128:
            out.append(ch)
            continue
        if ch in ASCII_FALLBACK:
            out.append(ASCII_FALLBACK[ch])
            continue
        plain = "".join(c for c in unicodedata.normalize("NFKD", ch) if ord(c) < 128)
        out.append(plain if plain else "?")
    # Control characters would break the one-record-per-line layout.
    return "".join(c if c >= " " else " " for c in "".join(out)).strip()


def parse(lines):
    """Returns (vendor names by id, ATI devices as [(id, name, [(subven, subdev, name)])])."""
    vendors = {}
    devices = []
    in_ati = False
    for raw in lines:
        line = raw.rstrip("\r\n")
        if not line or line.lstrip().startswith("#"):
            continue
        # The device-class section at the end reuses the tab layout; nothing
        # after it is a vendor.
        if line.startswith("C "):
            break
        m = SUBSYS_RE.match(line)
        if m:
            if in_ati and devices:
                devices[-1][2].append((m.group(1).upper(), m.group(2).upper(), m.group(3)))
            continue
        m = DEVICE_RE.match(line)
        if m:
            if in_ati:
                devices.append((m.group(1).upper(), m.group(2), []))
            continue
        m = VENDOR_RE.match(line)
        if m:
            vid = m.group(1).upper()
            vendors.setdefault(vid, m.group(2))
            in_ati = vid == ATI_VENDOR
    return vendors, devices


def render(vendors, devices):
    out = []
    for dev_id, dev_name, subsystems in devices:
        out.append("D %s %s" % (dev_id, to_ascii(dev_name)))
        for sub_vendor, sub_device, board in subsystems:
            out.append("S %s %s" % (sub_device, to_ascii(board)))
            maker = vendors.get(sub_vendor)
            out.append("O %s %s, %s" % (sub_vendor, to_ascii(board), to_ascii(maker) if maker else sub_vendor))
    return "".join(line.rstrip() + "\r\n" for line in out)


def main(argv):
    if len(argv) > 3 or any(a in ("-h", "--help") for a in argv[1:]):
        sys.stderr.write(__doc__)
        return 2
    source = argv[1] if len(argv) > 1 else DEFAULT_SOURCE
    output = argv[2] if len(argv) > 2 else DEFAULT_OUTPUT
    try:
        with open(source, encoding="utf-8", errors="replace") as f:
            vendors, devices = parse(f)
    except OSError as e:
        sys.stderr.write("make_ati_pci: cannot read %s: %s\n" % (source, e.strerror))
        return 1
    if not devices:
        sys.stderr.write("make_ati_pci: no devices of vendor %s in %s\n" % (ATI_VENDOR, source))
        return 1
    data = render(vendors, devices).encode("ascii")
    with open(output, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

#!/usr/bin/env python3
"""Checks that a 32-bit Windows executable only imports what Windows 2000 SP4 has.

Usage:
  check_imports.py [--allowed LIST] EXE...   check each EXE, exit 1 on offenders
  check_imports.py --list EXE...             print the imports, one DLL!Function a line

LIST defaults to win2000_imports.txt beside this script. An import missing
from Windows 2000 does not show up until the loader refuses the exe on the
user's machine ("The procedure entry point ... could not be located"); Wine,
which the tests run under, has the newer functions too and so cannot show it.

Imports by ordinal are written DLL!#N; the list may allow them the same way.
The subsystem version in the PE header is checked too: Windows 2000 refuses
images that ask for more than 5.0.

Exit status: 0 all fine, 1 something would not load, 2 bad usage or unreadable file.
"""

import os
import re
import struct
import sys

DEFAULT_ALLOWED = os.path.join(os.path.dirname(os.path.abspath(__file__)), "win2000_imports.txt")
MAX_SUBSYSTEM = (5, 0)
IMAGE_FILE_MACHINE_I386 = 0x14C
PE32_MAGIC = 0x10B
PE32PLUS_MAGIC = 0x20B
DIR_IMPORT = 1
COMMENT_RE = re.compile(r"(^|\s)#.*$")


class PEError(Exception):
    pass


class PEImage:
    """Just enough of a PE reader to walk the import tables."""

    def __init__(self, data):
        self.data = data
        if len(data) < 0x40 or data[:2] != b"MZ":
            raise PEError("not an MZ executable")
        pe = self._u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise PEError("no PE signature")
        self.machine, nsections = self._u16(pe + 4), self._u16(pe + 6)
        opt_size = self._u16(pe + 20)
        opt = pe + 24
        self.magic = self._u16(opt)
        if self.magic == PE32_MAGIC:
            dirs_at = opt + 96
        elif self.magic == PE32PLUS_MAGIC:
            dirs_at = opt + 112
        else:
            raise PEError("unknown optional header magic 0x%X" % self.magic)
        self.subsystem_version = (self._u16(opt + 48), self._u16(opt + 50))
        ndirs = self._u32(dirs_at - 4)
        self.dirs = [(self._u32(dirs_at + 8 * i), self._u32(dirs_at + 8 * i + 4))
                     for i in range(min(ndirs, 16))]
        self.sections = []
        sec = opt + opt_size
        for i in range(nsections):
            vsize, va, rawsize, rawptr = (self._u32(sec + 40 * i + 8 + 4 * k) for k in range(4))
            self.sections.append((va, max(vsize, rawsize), rawptr, rawsize))

    def _u16(self, off):
        return self._unpack("<H", off)

    def _u32(self, off):
        return self._unpack("<I", off)

    def _unpack(self, fmt, off):
        try:
            return struct.unpack_from(fmt, self.data, off)[0]
        except struct.error:
            raise PEError("truncated file (offset 0x%X)" % off) from None

    def offset(self, rva):
        for va, size, rawptr, rawsize in self.sections:
            if va <= rva < va + size:
                if rva - va >= rawsize:
                    raise PEError("RVA 0x%X lies in uninitialised data" % rva)
                return rawptr + rva - va
        raise PEError("RVA 0x%X is outside every section" % rva)

    def cstring(self, rva):
        start = self.offset(rva)
        end = self.data.find(b"\0", start)
        if end < 0:
            raise PEError("unterminated string at RVA 0x%X" % rva)
        return self.data[start:end].decode("latin-1")

    def _thunks(self, rva):
        """Yields ("name", str) or ("ordinal", int) for each entry of a thunk table."""
        wide = self.magic == PE32PLUS_MAGIC
        size, fmt, flag = (8, "<Q", 1 << 63) if wide else (4, "<I", 1 << 31)
        off = self.offset(rva)
        while True:
            value = self._unpack(fmt, off)
            if value == 0:
                return
            if value & flag:
                yield ("ordinal", value & 0xFFFF)
            else:
                yield ("name", self.cstring(value + 2))  # skip the hint
            off += size

    def imports(self):
        """Returns [(dll, kind, name_or_ordinal)] in table order. GNU ld never
        fills the delay-load directory, so only the ordinary table is read."""
        result = []
        rva, size = self.dirs[DIR_IMPORT] if len(self.dirs) > DIR_IMPORT else (0, 0)
        if rva and size:
            off = self.offset(rva)
            while True:
                lookup, name_rva, iat = (self._u32(off), self._u32(off + 12), self._u32(off + 16))
                if name_rva == 0:
                    break
                dll = self.cstring(name_rva)
                # Some linkers leave the lookup table out and only fill the IAT.
                for kind, what in self._thunks(lookup or iat):
                    result.append((dll, kind, what))
                off += 20
        return result


def import_key(dll, kind, what):
    """DLL names are case-insensitive on Windows and ".dll" is optional in the
    list; function names are case-sensitive, so they are kept as they are."""
    dll = dll.lower()
    if dll.endswith(".dll"):
        dll = dll[:-4]
    return "%s!%s" % (dll, "#%d" % what if kind == "ordinal" else what)


def display(dll, kind, what):
    return "%s!%s" % (dll, "#%d" % what if kind == "ordinal" else what)


def load_allowed(path):
    allowed = set()
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            # "#" starts a comment only at the start of a word, so DLL!#17 survives.
            line = COMMENT_RE.sub("", raw).strip()
            if not line:
                continue
            dll, _, func = line.partition("!")
            func = func.strip()
            if not dll.strip() or not func or (func.startswith("#") and not func[1:].isdigit()):
                raise ValueError("%s:%d: expected DLL!Function or DLL!#N, got %r" % (path, number, line))
            if func.startswith("#"):
                allowed.add(import_key(dll.strip(), "ordinal", int(func[1:])))
            else:
                allowed.add(import_key(dll.strip(), "name", func))
    return allowed


def read_image(path):
    with open(path, "rb") as f:
        return PEImage(f.read())


def main(argv):
    args = argv[1:]
    listing = False
    allowed_path = DEFAULT_ALLOWED
    files = []
    while args:
        a = args.pop(0)
        if a == "--list":
            listing = True
        elif a == "--allowed" and args:
            allowed_path = args.pop(0)
        elif a.startswith("--allowed="):
            allowed_path = a.split("=", 1)[1]
        elif a in ("-h", "--help"):
            sys.stdout.write(__doc__)
            return 0
        elif a.startswith("-"):
            sys.stderr.write("check_imports: unknown option %s\n" % a)
            return 2
        else:
            files.append(a)
    if not files:
        sys.stderr.write(__doc__)
        return 2

    allowed = None
    if not listing:
        try:
            allowed = load_allowed(allowed_path)
        except (OSError, ValueError) as e:
            sys.stderr.write("check_imports: %s\n" % e)
            return 2

    status = 0
    for path in files:
        try:
            image = read_image(path)
            imports = image.imports()
        except (OSError, PEError) as e:
            sys.stderr.write("check_imports: %s: %s\n" % (path, e))
            return 2
        if listing:
            try:
                for entry in imports:
                    print(display(*entry))
            except BrokenPipeError:  # piped into head
                return 0
            continue
        problems = []
        if image.machine != IMAGE_FILE_MACHINE_I386:
            problems.append("machine type 0x%X is not i386" % image.machine)
        if image.subsystem_version > MAX_SUBSYSTEM:
            problems.append("subsystem version %d.%d; Windows 2000 loads %d.%d at most"
                            % (image.subsystem_version + MAX_SUBSYSTEM))
        offenders = sorted({display(*e) for e in imports if import_key(*e) not in allowed},
                           key=str.lower)
        if problems or offenders:
            status = 1
            print("%s: will not load on Windows 2000 SP4:" % path)
            for p in problems:
                print("  " + p)
            for o in offenders:
                print("  not in Windows 2000: " + o)
        else:
            print("%s: %d imports, all present on Windows 2000 SP4" % (path, len(imports)))
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))

#!/usr/bin/env python3
"""Writes the language entries' names as lang/Entries.h declares them, for the
translators' template (tools/EnglishLng.cpp), which has no other way to know
them: one C++ initializer a line,

  {kTxtSeconds, "kTxtSeconds", "", "the unit after the check's count-down"},

the entry, its name, the comment lines just before it (joined by blanks) and
the note after it. The numbers are left to the compiler, so a name this
script misreads does not compile.

Usage: entry_names.py ENTRIES_H OUTPUT

Exits 1, naming the line, on a line inside the enum it cannot read.
"""

import re
import sys

ENTRY_RE = re.compile(r"^(k\w+)\s*(?:=\s*\d+\s*)?,\s*(?://\s*(.*))?$")
LAST_RE = re.compile(r"^kLangEntryEnd\b")


def quoted(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def entries(lines):
    """(name, before, note) of each entry, in order."""
    found = []
    inside = False
    before = []
    for number, raw in enumerate(lines, 1):
        line = raw.strip()
        if not inside:
            inside = line.startswith("enum LangEntry")
            continue
        if line.startswith("};"):
            return found
        if not line:
            continue
        if line.startswith("//"):
            before.append(line[2:].strip())
            continue
        if LAST_RE.match(line):
            continue
        m = ENTRY_RE.match(line)
        if not m:
            raise ValueError("line %d: not an entry: %s" % (number, line))
        found.append((m.group(1), " ".join(before), (m.group(2) or "").strip()))
        before = []
    raise ValueError("no enum LangEntry, or it does not end")


def main(argv):
    if len(argv) != 3:
        print("usage: entry_names.py ENTRIES_H OUTPUT", file=sys.stderr)
        return 2
    with open(argv[1], encoding="utf-8") as f:
        try:
            names = entries(f.read().splitlines())
        except ValueError as e:
            print("%s: %s" % (argv[1], e), file=sys.stderr)
            return 1
    with open(argv[2], "w", encoding="utf-8") as out:
        out.write("// Written by tools/entry_names.py from lang/Entries.h.\n")
        for name, before, note in names:
            out.write("{%s, %s, %s, %s},\n" % (name, quoted(name), quoted(before), quoted(note)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

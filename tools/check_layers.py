#!/usr/bin/env python3
"""Checks that Kelvane's folders stay layers: no file includes a header from a
folder above its own.

Usage: check_layers.py [ROOT]   (ROOT defaults to the repository)

From the bottom up:
  platform     the system behind interfaces, the demo's simulated adapter, the
               value helpers, registry files, the settings key and the
               adapter context
  ui           the plain state of windows and controls
  lang         the language table, language files, window texts and the
               language dialog
  maintenance  snapshots, the check after a restart arranged, the write
               steps, the issues dialog, registry clean, uninstall
  options      the bound option boxes and their table
  modes        mode records, the grid, applying, the mode check, trying a rate
  nonstd       the non-standard resolutions
  dialogs      the adapter dialog, About, the wait window
  report       the diagnostic report
  profile      the profile file of what Kelvane owns
  app          the entry and the main window

A file may include headers of its own folder and of the folders below it. A
sub-folder (win32/) belongs to its folder's layer. Includes without a folder
(the tests' own headers) and files outside these folders are not checked.
Exits 1 and names every offending line when a file reaches up, or includes
from a folder that is not a layer.
"""

import os
import re
import sys

LAYERS = ["platform", "ui", "lang", "maintenance", "options", "modes", "nonstd", "dialogs", "report", "profile", "app"]
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".rc")
INCLUDE_RE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def check(root):
    rank = {name: i for i, name in enumerate(LAYERS)}
    problems = []
    for layer in LAYERS:
        top = os.path.join(root, layer)
        for folder, _, files in os.walk(top):
            for name in sorted(files):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.join(folder, name)
                shown = os.path.relpath(path, root)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE_RE.match(line)
                        if not m or "/" not in m.group(1):
                            continue
                        target = m.group(1).split("/")[0]
                        if target not in rank:
                            problems.append("%s:%d: includes \"%s\" from %s/, which is not a layer"
                                            % (shown, number, m.group(1), target))
                        elif rank[target] > rank[layer]:
                            problems.append("%s:%d: %s/ includes \"%s\" from the higher layer %s/"
                                            % (shown, number, layer, m.group(1), target))
    return problems


def main(argv):
    if len(argv) > 2 or any(a in ("-h", "--help") for a in argv[1:]):
        sys.stderr.write(__doc__)
        return 2
    root = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    problems = check(root)
    for p in problems:
        print(p)
    if problems:
        print("layers: %d include(s) reach up; order from the bottom: %s" % (len(problems), " < ".join(LAYERS)))
        return 1
    print("layers: every include stays in its layer or goes down")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

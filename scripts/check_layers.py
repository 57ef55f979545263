#!/usr/bin/env python3
"""Fails on any #include in src/ that looks up or sideways: each folder of src/ may include only
itself and the folders below it in LAYERS. resources/ holds resource ids, included only by the GUI
layers (skin and app). The entry point (src/app/win32/main/) builds the program on the real seams
or on the simulated machine, so it alone may include sim/."""
import os
import re
import sys

LAYERS = ["platform", "driver", "bios", "rom", "flash", "dmi", "skin", "app"]
GUI_ONLY = {"resources": {"skin", "app"}}
# The Windows entry point chooses the machine the program runs on: the real one or, for the demo
# and the end-to-end runs, the simulated one of sim/. It alone may include sim/.
ENTRY_POINT = ("app/win32/main", {"sim"})

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
include = re.compile(r'^\s*#\s*include\s+"([^"/]+)/')
problems = []
for folder, _, files in os.walk(root):
    rel = os.path.relpath(folder, root)
    layer = rel.split(os.sep)[0]
    if layer == "." or layer == "resources":
        continue
    if layer not in LAYERS:
        problems.append(f"src/{rel}: folder {layer} is in no layer")
        continue
    allowed = set(LAYERS[: LAYERS.index(layer) + 1])
    allowed |= {name for name, users in GUI_ONLY.items() if layer in users}
    if rel.replace(os.sep, "/") == "app/win32/main":
        allowed.add("sim")
    if rel.replace(os.sep, "/") == ENTRY_POINT[0]:
        allowed |= ENTRY_POINT[1]
    for name in sorted(files):
        if not name.endswith((".h", ".cpp")):
            continue
        path = os.path.join(folder, name)
        for number, line in enumerate(open(path, encoding="utf-8", errors="replace"), 1):
            m = include.match(line)
            if m and m.group(1) not in allowed:
                problems.append(f"src/{rel}/{name}:{number}: {layer} includes {m.group(1)}")
for p in problems:
    print(p)
print(f"layers {' -> '.join(LAYERS)}: {len(problems)} include(s) out of order")
sys.exit(1 if problems else 0)

#!/usr/bin/env python3
"""The flashed part is the new image with the machine's DMI strings and UUID carried over.

check_part.py ROMTOOL INSTALLED NEWER PART: every byte of PART equals NEWER except inside the DMI
string and UUID fields; those hold INSTALLED's texts; every rewritten field, and the whole part,
keeps the 8-bit sum of the new image."""
import re
import subprocess
import sys


def show(romtool, path):
    out = subprocess.run([romtool, "show", path], check=True, capture_output=True, text=True).stdout
    fields = {}
    for m in re.finditer(r'^\s+(\S+)\s+0x([0-9A-F]{4})\s+"([^"]*)"\s+length (\d+).*unit sum 0x(\w\w)',
                         out, re.M):
        fields[m.group(1)] = (int(m.group(2), 16), m.group(3), int(m.group(4)), int(m.group(5), 16))
    u = re.search(r'^\s+uuid\s+0x([0-9A-F]{4})\s+(.*?), balance 0x\w\w, field sum 0x(\w\w)', out, re.M)
    fields["uuid"] = (int(u.group(1), 16), u.group(2), 16, int(u.group(3), 16))
    return fields


def main():
    romtool, installed, newer, part = sys.argv[1:5]
    old, new, got = show(romtool, installed), show(romtool, newer), show(romtool, part)
    data_new, data_got = open(newer, "rb").read(), open(part, "rb").read()
    ok = len(data_new) == len(data_got)
    base = len(data_got) - 0x10000  # the builder's DMI segment is F000h, the image's last 64 KiB
    allowed = set()
    for name, (offset, text, length, unit_sum) in got.items():
        if text != old[name][1]:
            print(f"{name}: {text!r}, the machine had {old[name][1]!r}"); ok = False
        if unit_sum != 0:
            print(f"{name}: field sum 0x{unit_sum:02X}"); ok = False
        start = base + offset
        allowed.update(range(start - 1, start + length + 2))
    for i, (a, b) in enumerate(zip(data_new, data_got)):
        if a != b and i not in allowed:
            print(f"byte 0x{i:X} differs outside the DMI fields"); ok = False
            break
    if sum(data_new) % 256 != sum(data_got) % 256:
        print("the part's byte sum differs from the new image's"); ok = False
    if ok:
        print(f"part: new image, {len(got)} DMI fields carried over, sums kept")
    return 0 if ok else 1


sys.exit(main())

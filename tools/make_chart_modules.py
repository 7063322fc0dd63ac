#!/usr/bin/env python3
"""Write three example module files for the chart pictures and tests.

Each is a 9504-byte module record (big-endian doubles at the offsets of
docs/results-record.md, the descriptive fields of docs/modules.md), given its
serial (the MD5 of the record, "0x" + 32 upper-case hex digits) and
scrambled as a module file is. The figures are invented but plausible: three
machines of different speed. Written from the format's description, so the
files also check the program's reader from the outside.

Usage: tools/make_chart_modules.py OUTDIR   (prints the serials)
"""

import hashlib
import os
import struct
import sys

SIZE = 9504


def put_f64(rec, off, v):
    struct.pack_into(">d", rec, off, float(v))


def put_text(rec, off, width, text):
    data = text.encode("latin-1")[: width - 1]
    rec[off : off + len(data)] = data
    rec[off + len(data)] = 0


def sweep(rec, base, values, slots):
    """A sweep block: slot figures, then minimum, maximum, average of all."""
    for i, v in enumerate(values[:slots]):
        put_f64(rec, base + 8 * i, v)
    put_f64(rec, base + 8 * slots, min(values))
    put_f64(rec, base + 8 * slots + 8, max(values))
    put_f64(rec, base + 8 * slots + 16, sum(values) / len(values))


# Memory blocks by catalogue position: base, slots (FAST tests and CPU Cache Read only).
MEMORY = {0: (0x300, 17), 1: (0x3A0, 17), 2: (0x440, 17), 3: (0x4E0, 17), 4: (0x718, 17),
          5: (0x7B8, 17), 6: (0x858, 17), 13: (0xA90, 17), 17: (0xCC0, 17), 19: (0xDE8, 17)}


def make(name, user, speed, shape):
    rec = bytearray(SIZE)
    s = speed
    # Processor.
    for k in range(9):
        put_f64(rec, 0x000 + 0x10 * k, (40 + 6 * k) * s)
        put_f64(rec, 0x008 + 0x10 * k, (120 + 9 * k) * s)
    put_f64(rec, 0x090, 80 * s)
    for i in range(10):
        put_f64(rec, 0x098 + 8 * i, (90 + 25 * i) * s)
    put_f64(rec, 0x0E8, 200 * s)
    put_f64(rec, 0x0F0, 420 * s)
    put_f64(rec, 0x0F8, 3100 * s)
    put_f64(rec, 0x100, 2600 * s)
    for i in range(8):
        put_f64(rec, 0x108 + 8 * i, (150 + 40 * i) * s)
    for i in range(4):
        put_f64(rec, 0x148 + 8 * i, (300 + 70 * i) * s)
    put_f64(rec, 0x168, 405 * s)
    put_f64(rec, 0x170, 41000 * s)
    put_f64(rec, 0x180, 5200000 * s)
    for off, v in ((0x188, 260), (0x190, 610), (0x198, 590), (0x1A0, 486)):
        put_f64(rec, off, v * s)
    for off, v in ((0x1A8, 420), (0x1B0, 455), (0x1B8, 437)):
        put_f64(rec, off, v * s)
    # Memory: rates rise with the block size, fall off beyond the caches.
    for p, (base, slots) in MEMORY.items():
        peak = (9000 if p == 0 else 4200) * s
        values = []
        for j in range(17):
            rise = min(1.0, 0.25 + 0.12 * j)
            fall = 1.0 if j < shape else 0.55 + 0.45 * 0.6 ** (j - shape)
            values.append(peak * rise * fall * (1.0 - 0.01 * p))
        sweep(rec, base, values, slots)
    # Drive: file and device sweeps (device from the 512-byte step), the
    # file-system operations, the seek patterns and the spin-up.
    for base, top in ((0x1500, 180), (0x15A0, 150), (0x1640, 210), (0x16E0, 170)):
        first = 2 if base >= 0x1640 else 0
        values = [top * s * min(1.0, 0.05 * 2 ** (j / 2.5)) for j in range(17)]
        for j in range(17):
            if j >= first:
                put_f64(rec, base + 8 * j, values[j])
        used = values[first:]
        put_f64(rec, base + 0x88, min(used))
        put_f64(rec, base + 0x90, max(used))
        put_f64(rec, base + 0x98, sum(used) / len(used))
    for i in range(12):
        put_f64(rec, 0x1780 + 8 * i, (3000 + 2500 * ((i * 7) % 12)) * s)
    seeks = [v / s for v in (8.4, 7.9, 9.6, 0.08, 0.35, 0.9, 14.2)]
    for i, v in enumerate(seeks):
        put_f64(rec, 0x17E0 + 8 * i, v)
    put_f64(rec, 0x1818, sum(seeks[:3]) / 3)
    put_f64(rec, 0x1820, sum(seeks[3:6]) / 3)
    put_f64(rec, 0x1828, sum(seeks) / 7)
    put_f64(rec, 0x1830, 2.8 / s)
    # Section totals (score slots at 0x1100 + 16 * slot: percent, valid).
    for slot, pct in ((10, 38 * s), (35, 31 * s), (55, 27 * s)):
        put_f64(rec, 0x1100 + 16 * slot, min(100.0, pct))
        put_f64(rec, 0x1100 + 16 * slot + 8, 1.0)
    # Descriptive part.
    put_text(rec, 0x1C40, 32, user)
    put_text(rec, 0x1C60, 32, name)
    put_text(rec, 0x1C80, 32, "Example Town")
    put_text(rec, 0x1CA0, 128, user + "@example.org")
    put_text(rec, 0x1E20, 32, "Micronik")
    put_text(rec, 0x1E40, 32, "A4000 Tower")
    put_text(rec, 0x1E80, 32, "None")
    put_text(rec, 0x1EE0, 32, "None")
    put_text(rec, 0x1F40, 32, "None")
    put_text(rec, 0x1FA0, 16, "NO")
    put_text(rec, 0x1FB0, 16, "%0.2f" % (1000 * s))
    put_text(rec, 0x1FC0, 32, "Example CPU %.1fGHz" % (2 * s))
    put_text(rec, 0x2060, 32, "Debian GNU/Linux 12")
    put_text(rec, 0x2200, 64, "Linux ext4")
    put_text(rec, 0x2248, 32, "24.12.26")
    put_text(rec, 0x2268, 32, "12.00.00")
    put_text(rec, 0x22AB, 64, "1.001")
    put_text(rec, 0x22EB, 32, "Linux (x86_64)")
    put_text(rec, 0x230B, 533, "An example module for the chart pictures.")
    serial = "0x" + hashlib.md5(bytes(rec)).hexdigest().upper()
    put_text(rec, 0x2288, 35, serial)
    # Scramble: byte i ^= (draw of the generator seeded 5318 + i) mod 255.
    for i in range(SIZE - 1):
        state = ((5318 + i) * 1103515245 + 12345) & 0xFFFFFFFF
        rec[i] ^= (state % 2147483647) % 255
    return serial, bytes(rec)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, user, speed, shape in (("Ann Example", "ann", 1.0, 9), ("Bob Example", "bob", 0.6, 11),
                                      ("Cid Example", "cid", 1.45, 7)):
        serial, data = make(name, user, speed, shape)
        with open(os.path.join(out, serial + ".dbe"), "wb") as f:
            f.write(data)
        print(serial, name)


if __name__ == "__main__":
    main()

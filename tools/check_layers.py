#!/usr/bin/env python3
"""Checks that every source folder below the front ends includes only its own
layer and the layers beneath it, as the build's layers.txt lists them, and
that none of them includes Qt.

  tools/check_layers.py SRC_DIR LAYERS_TXT

Prints each offending include and exits 1; exits 0 when there is none."""
import os
import re
import sys


def folder_of(rel, layer_dirs):
    """The deepest layer folder holding the file, or None (a front end)."""
    parts = rel.split('/')[:-1]
    while parts:
        d = '/'.join(parts)
        if d in layer_dirs:
            return d
        parts.pop()
    return None


def main():
    src, layers_txt = sys.argv[1], sys.argv[2]
    allowed = {}  # folder -> folders it may include
    for line in open(layers_txt):
        if ':' not in line:
            continue
        _, rest = line.split(':', 1)
        own, below = rest.split('|')
        for d in own.split():
            allowed[d] = set(below.split())
    include = re.compile(r'\s*#\s*include\s*([<"])([^>"]+)[>"]')
    bad = []
    for root, _, files in os.walk(src):
        for f in sorted(files):
            if not f.endswith(('.h', '.cpp')):
                continue
            path = os.path.join(root, f)
            rel = os.path.relpath(path, src)
            here = folder_of(rel, allowed)
            if here is None:
                continue
            for n, line in enumerate(open(path, errors='replace'), 1):
                m = include.match(line)
                if not m:
                    continue
                kind, target = m.groups()
                if kind == '<' and re.match(r'Q[A-Za-z]*(/|$)', target):
                    bad.append(f'{rel}:{n}: includes Qt ({target})')
                    continue
                if kind != '"' or not os.path.exists(os.path.join(src, target)):
                    continue
                there = folder_of(target, allowed)
                if there is None:
                    bad.append(f'{rel}:{n}: includes the front end ({target})')
                elif there not in allowed[here]:
                    bad.append(f'{rel}:{n}: {here} includes {target} of the layer above ({there})')
    for b in bad:
        print(b)
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main())

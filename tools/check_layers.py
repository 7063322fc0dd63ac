#!/usr/bin/env python3
"""Checks that every source folder, the front ends included, includes only its
own layer and the layers beneath it, as the build's layers.txt lists them,
and that no folder but a front end marked for Qt includes Qt.

  tools/check_layers.py [--graph] SRC_DIR LAYERS_TXT

Prints each offending include and exits 1; exits 0 when there is none. With
--graph it first prints every include edge between folders, one line each
("cli -> charts"), an edge the layers do not allow marked "UPWARD"; a source
folder that layers.txt does not name is an offence of its own."""
import os
import re
import sys


def folder_of(rel, layer_dirs):
    """The deepest layer folder holding the file, or None."""
    parts = rel.split('/')[:-1]
    while parts:
        d = '/'.join(parts)
        if d in layer_dirs:
            return d
        parts.pop()
    return None


def read_layers(layers_txt):
    """Folder -> folders it may include, and the folders that may include Qt.

    A line is "NAME: DIRS | ALLOWED" for a layer below the front ends and
    "front [qt] NAME: DIRS | ALLOWED" for a front end."""
    allowed, qt = {}, set()
    for line in open(layers_txt):
        if ':' not in line:
            continue
        head, rest = line.split(':', 1)
        words = head.split()
        own, below = rest.split('|')
        for d in own.split():
            allowed[d] = set(below.split())
            if words[0] == 'front' and 'qt' in words[1:-1]:
                qt.add(d)
    return allowed, qt


def main():
    args = sys.argv[1:]
    graph = '--graph' in args
    args = [a for a in args if a != '--graph']
    src, layers_txt = args[0], args[1]
    allowed, qt = read_layers(layers_txt)
    include = re.compile(r'\s*#\s*include\s*([<"])([^>"]+)[>"]')
    bad = []
    edges = {}
    for root, _, files in os.walk(src):
        for f in sorted(files):
            if not f.endswith(('.h', '.cpp')):
                continue
            path = os.path.join(root, f)
            rel = os.path.relpath(path, src)
            here = folder_of(rel, allowed)
            if here is None:
                bad.append(f'{rel}: in a folder no layer or front end names')
                continue
            for n, line in enumerate(open(path, errors='replace'), 1):
                m = include.match(line)
                if not m:
                    continue
                kind, target = m.groups()
                if kind == '<' and re.match(r'Q[A-Za-z]*(/|$)', target):
                    if here not in qt:
                        bad.append(f'{rel}:{n}: includes Qt ({target})')
                    continue
                if kind != '"' or not os.path.exists(os.path.join(src, target)):
                    continue
                there = folder_of(target, allowed)
                if there is None or there == here:
                    continue
                ok = there in allowed[here]
                edges[(here, there)] = edges.get((here, there), True) and ok
                if not ok:
                    bad.append(f'{rel}:{n}: {here} includes {target} of a layer not beneath it ({there})')
    if graph:
        for (a, b), ok in sorted(edges.items()):
            print(f'{a} -> {b}' + ('' if ok else '  UPWARD'))
    for b in bad:
        print(b)
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main())

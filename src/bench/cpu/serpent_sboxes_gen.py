#!/usr/bin/env python3
"""Writes serpent_sboxes.h: Serpent's eight S-boxes and their inverses as
boolean circuits over 32-bit words (bitslice form).

Each output bit of a 4-bit S-box is a function of the four input bits. The
circuit of one S-box is found by a small exhaustive search: a function is
split on one of its inputs v as f0 ^ (v & (f0 ^ f1)), f1 ^ (~v & (f0 ^ f1))
or (~v & f0) | (v & f1), where f0, f1 are the halves of its truth table, down
to functions that are one gate away from what is already computed; every
choice of split variable and form is tried, functions already computed are
shared. Each output is also tried as a ^ r, a | r or a & r with a function a
already computed, and the four outputs are built in the order that needs the
fewest gates. Gates are AND, OR, XOR and NOT.

Usage: serpent_sboxes_gen.py > serpent_sboxes.h   (takes a few minutes)
"""
import itertools
import sys

FULL = 0xFFFF
# Input x_k as a truth table over the 16 nibble values n = x0 + 2x1 + 4x2 + 8x3.
X = [sum(1 << n for n in range(16) if (n >> k) & 1) for k in range(4)]

# The S-boxes of the Serpent AES submission (Anderson, Biham, Knudsen).
SBOXES = [
    [3, 8, 15, 1, 10, 6, 5, 11, 14, 13, 4, 2, 7, 0, 9, 12],
    [15, 12, 2, 7, 9, 0, 5, 10, 1, 11, 14, 8, 6, 13, 3, 4],
    [8, 6, 7, 9, 3, 12, 10, 15, 13, 1, 14, 4, 0, 11, 5, 2],
    [0, 15, 11, 8, 12, 9, 6, 3, 13, 1, 2, 4, 10, 7, 5, 14],
    [1, 15, 8, 3, 12, 0, 11, 6, 2, 5, 4, 10, 9, 14, 7, 13],
    [15, 5, 2, 11, 4, 10, 9, 12, 0, 3, 14, 8, 13, 6, 7, 1],
    [7, 2, 12, 5, 8, 4, 6, 11, 14, 9, 1, 15, 13, 3, 10, 0],
    [1, 13, 15, 0, 14, 8, 2, 11, 7, 4, 12, 10, 9, 3, 5, 6],
]
def cof(f,v,val):
    # cofactor, result independent of v
    r=0
    for n in range(16):
        m = (n | (1<<v)) if val else (n & ~(1<<v))
        if (f>>m)&1: r|=1<<n
    return r
def depends(f,v): return cof(f,v,0)!=cof(f,v,1)

def solve(f, avail, depth=0):
    """avail: dict tt->expr. returns (cost, list of (tt, expr)) new nodes in order"""
    if f in avail: return (0, [])
    if f==0: return (0,[])  # shouldn't be needed
    best=None
    av=list(avail.items())
    # NOT
    for t,e in av:
        if (~t)&FULL==f: return (1,[(f,('not',t))])
    for i in range(len(av)):
        for j in range(i):
            a,b=av[i][0],av[j][0]
            for op,fn in (('and',lambda a,b:a&b),('or',lambda a,b:a|b),('xor',lambda a,b:a^b)):
                if fn(a,b)==f: return (1,[(f,(op,a,b))])
    if depth>=4: return (99,[])
    for v in range(4):
        if not depends(f,v): continue
        f0=cof(f,v,0); f1=cof(f,v,1); d=f0^f1; xv=X[v]
        opts=[]
        # positive Davio: f0 ^ (xv & d)
        opts.append(('pd', f0, d))
        opts.append(('nd', f1, d))  # f1 ^ (~xv & d)
        opts.append(('sh', f0, f1))
        for kind,c1,c2 in opts:
            for order in (0,1):
                A=dict(avail); cost=0; nodes=[]
                first,second=(c1,c2) if order==0 else (c2,c1)
                ok=True
                for c in (first,second):
                    if c==0 or c==FULL: continue
                    cc,nn=solve(c,A,depth+1)
                    if cc>=99: ok=False;break
                    cost+=cc; nodes+=nn
                    for t,e in nn: A[t]=e
                if not ok: continue
                # combine
                def need(t,e):
                    nonlocal cost
                    if t not in A: A[t]=e; nodes.append((t,e)); cost+=1
                if kind=='pd':
                    if c2==FULL: t=xv
                    else: t=xv&c2; need(t,('and',xv,c2))
                    if c1!=0: need(f,('xor',c1,t))
                elif kind=='nd':
                    nx=(~xv)&FULL; need(nx,('not',xv))
                    if c2==FULL: t=nx
                    else: t=nx&c2; need(t,('and',nx,c2))
                    if c1!=0: need(f,('xor',c1,t))
                else:
                    nx=(~xv)&FULL
                    if c1==0: t0=None
                    elif c1==FULL: need(nx,('not',xv)); t0=nx
                    else: need(nx,('not',xv)); t0=nx&c1; need(t0,('and',nx,c1))
                    if c2==0: t1=None
                    elif c2==FULL: t1=xv
                    else: t1=xv&c2; need(t1,('and',xv,c2))
                    if t0 is None or t1 is None: pass
                    else: need(f,('or',t0,t1))
                if f not in A: continue
                if best is None or cost<best[0]: best=(cost,nodes)
    return best if best else (99,[])

def solve_top(f, avail):
    """solve(), and also f as a ^ r, a | r or a & r with a already computed."""
    best = solve(f, avail)
    if best[0] <= 1:
        return best
    for a in list(avail.keys()):
        tries = [("xor", f ^ a)]
        if a & ~f & FULL == 0 and a != f:
            tries.append(("or", f & ~a & FULL))
        if f & ~a & FULL == 0 and a != f:
            tries.append(("and", (f | ~a) & FULL))
        for op, r in tries:
            if r in (0, FULL):
                continue
            c, nn = solve(r, avail)
            if c + 1 < best[0]:
                best = (c + 1, nn + [(f, (op, a, r))])
    return best


def synth(sb):
    tg = [sum(1 << n for n in range(16) if (sb[n] >> k) & 1) for k in range(4)]
    best = None
    for perm in itertools.permutations(range(4)):
        avail = {X[k]: ("in", k) for k in range(4)}
        nodes = []
        for k in perm:
            _, nn = solve_top(tg[k], avail)
            for t, e in nn:
                if t not in avail:
                    avail[t] = e
                    nodes.append((t, e))
        if best is None or len(nodes) < best[0]:
            best = (len(nodes), nodes, perm)
    return best, tg


def emit(which, i, total, nodes, tg):
    names = {X[k]: "x%d" % k for k in range(4)}
    lines = ["// %s %d: %d gates." % ("S-box" if which == "Forward" else "Inverse S-box", i, total),
             "template <>",
             "[[gnu::always_inline]] inline void %s<%d>(uint32_t& x0, uint32_t& x1, uint32_t& x2, uint32_t& x3) {" % (which, i)]
    for n, (t, e) in enumerate(nodes):
        v = "t%d" % n
        if e[0] == "not":
            lines.append("  const uint32_t %s = ~%s;" % (v, names[e[1]]))
        elif e[0] == "xor" and FULL in (e[1], e[2]):  # x ^ all-ones is ~x
            lines.append("  const uint32_t %s = ~%s;" % (v, names[e[2] if e[1] == FULL else e[1]]))
        else:
            sym = {"and": "&", "or": "|", "xor": "^"}[e[0]]
            lines.append("  const uint32_t %s = %s %s %s;" % (v, names[e[1]], sym, names[e[2]]))
        names[t] = v
    outs = [names[tg[k]] for k in range(4)]
    assert all(o.startswith("t") for o in outs)
    for k in range(4):
        lines.append("  x%d = %s;" % (k, outs[k]))
    lines.append("}")
    return "\n".join(lines) + "\n"


def main():
    out = [
        "// Generated by serpent_sboxes_gen.py: Serpent's S-boxes and inverse S-boxes",
        "// as boolean circuits. Bit j of x0..x3 is the nibble x0 + 2x1 + 4x2 + 8x3",
        "// at position j; the outputs replace the inputs in the same order.",
        "#pragma once",
        "",
        "#include <cstdint>",
        "",
        "namespace kr::serpent_sbox {",
        "",
        "template <int N>",
        "void Forward(uint32_t& x0, uint32_t& x1, uint32_t& x2, uint32_t& x3);",
        "template <int N>",
        "void Inverse(uint32_t& x0, uint32_t& x1, uint32_t& x2, uint32_t& x3);",
        "",
    ]
    for which in ("Forward", "Inverse"):
        for i, s in enumerate(SBOXES):
            sb = s if which == "Forward" else [s.index(n) for n in range(16)]
            (total, nodes, _), tg = synth(sb)
            out.append(emit(which, i, total, nodes, tg))
            print("%s %d: %d gates" % (which, i, total), file=sys.stderr)
    out.append("}  // namespace kr::serpent_sbox")
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()

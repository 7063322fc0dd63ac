#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets (fuzz/corpus/<target>/).

Run from the source tree with a started home (kelvarank-cli --home H --yes info)
as the only argument; its settings files become seeds as they are.
"""
import hashlib, os, struct, sys

here = os.path.dirname(os.path.abspath(__file__))
home = sys.argv[1]

def put(target, name, data):
    d = os.path.join(here, "corpus", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)

def text(rec, off, width, s):
    b = s.encode("latin-1")[: width - 1]
    rec[off : off + len(b)] = b

def scramble(rec):
    out = bytearray(rec)
    for i in range(9503):
        state = ((5318 + i) * 1103515245 + 12345) % 2**32
        out[i] ^= (state % 2147483647) % 255
    return bytes(out)

def module(user, version="1.001"):
    rec = bytearray(9504)
    struct.pack_into(">dd", rec, 0, 42.5, 1.0)  # a score slot's shape
    text(rec, 0x1C40, 32, user)
    text(rec, 0x1C60, 32, "Real " + user)
    text(rec, 0x1E20, 32, "Other")
    text(rec, 0x1E60, 32, "My own box")
    text(rec, 0x1FC0, 32, "Test CPU 3.0GHz")
    text(rec, 0x2248, 32, "10.12.26")
    text(rec, 0x2268, 32, "14.05.11")
    text(rec, 0x22AB, 64, version)
    text(rec, 0x22EB, 32, "Linux (x86_64)")
    serial = "0x" + hashlib.md5(bytes(rec)).hexdigest().upper()
    text(rec, 0x2288, 35, serial)
    return rec, serial

def entry(rec, serial):
    e = bytearray(1003)
    struct.pack_into(">i", e, 12, -1)
    text(e, 16, 32, rec[0x1C40:0x1C60].split(b"\0")[0].decode("latin-1"))
    text(e, 936, 35, serial)
    return bytes(e)

m1, s1 = module("alice")
m2, s2 = module("bob", "0.949")
put("module_file", "valid.dbe", scramble(m1))
put("module_file", "too_old.dbe", scramble(m2))
put("module_file", "short.dbe", scramble(m1)[:4000])

def index(entries, count=None):
    n = len(entries) if count is None else count
    return str(n).encode().ljust(10, b"\0") + b"".join(entries)

put("index", "two.dbi", index([entry(m1, s1), entry(m2, s2)]))
put("index", "empty.dbi", index([]))
put("index", "count_too_big.dbi", index([entry(m1, s1)], 99999999))
put("index", "bad_serial.dbi", index([entry(m1, "0x/../../etc/passwd")]))

for name in ("KelvaRANK.cfg", "KelvaRANK.def"):
    with open(os.path.join(home, name), "rb") as f:
        data = f.read()
    target = "config" if name.endswith("cfg") else "defaults"
    put(target, "saved" + name[-4:], data)
    put(target, "short" + name[-4:], data[: len(data) // 2])

put("server_data", "full.txt", b"http://127.0.0.1:8080/base\ndb\nmodules@example.org\n")
put("server_data", "ipv6.txt", b"[::1]:8080\nkr")
put("server_data", "crlf.txt", b"www.example.org\r\nkr/\r\n")

idx = index([entry(m1, s1)])
def http(block, body, status="200 OK", extra=""):
    head = "HTTP/1.0 %s\r\nContent-Type: application/octet-stream\r\n%sContent-Length: %d\r\n\r\n" % (
        status, extra, len(body))
    return bytes([block]) + head.encode() + body

put("http_response", "index.http", http(255, idx))
put("http_response", "small_blocks.http", http(6, idx, extra="X-Long: " + "a" * 200 + "\r\n"))
put("http_response", "not_found.http", http(255, b"", "404 Not Found"))
put("http_response", "no_length.http", bytes([63]) + b"HTTP/1.0 200 OK\n\n" + idx)

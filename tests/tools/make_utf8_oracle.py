#!/usr/bin/env python3
"""Writes UTF-8 byte strings with Python's own decoding of each, as an outside oracle for
the codec's lossy and strict UTF-8 decoding.

Record format, little-endian: u32 input length, input bytes, u8 strict-valid flag,
u32 unit count, UTF-16LE units of bytes.decode('utf-8', 'replace').
CR and LF bytes are left out so that line-break handling does not enter the comparison.
"""
import random
import struct
import sys

def adversarial():
    pieces = [
        b"\x80", b"\xbf", b"\xc0", b"\xc1", b"\xc2", b"\xdf", b"\xe0", b"\xe0\x80", b"\xe0\x9f",
        b"\xe0\xa0", b"\xed\xa0\x80", b"\xed\x9f\xbf", b"\xed\xbf\xbf", b"\xef\xbf\xbf",
        b"\xf0\x80", b"\xf0\x8f\xbf\xbf", b"\xf0\x90\x80\x80", b"\xf0\x90\x80", b"\xf0\x90",
        b"\xf4\x8f\xbf\xbf", b"\xf4\x90\x80\x80", b"\xf5", b"\xf8\x88\x80\x80\x80", b"\xfe", b"\xff",
        b"\xc3\xa9", b"\xe2\x82\xac", b"\xf0\x9f\x98\x80", b"a", b"\x7f", b"\x00",
    ]
    cases = [p for p in pieces]
    for a in pieces:
        for b in pieces:
            cases.append(a + b)
    return cases

def random_case(rng):
    kind = rng.randrange(4)
    length = rng.randrange(0, 40)
    if kind == 0:  # arbitrary bytes
        return bytes(rng.randrange(256) for _ in range(length))
    if kind == 1:  # mostly high bytes: many malformed sequences
        return bytes(rng.choice([rng.randrange(0x80, 0x100), rng.randrange(0x20, 0x80)])
                     for _ in range(length))
    # valid text, then damaged in a few places (kind 2) or left intact (kind 3)
    chars = [chr(rng.choice([rng.randrange(0x20, 0x7F), rng.randrange(0xA0, 0x800),
                             rng.randrange(0x800, 0xD800), rng.randrange(0xE000, 0x10000),
                             rng.randrange(0x10000, 0x110000)])) for _ in range(length)]
    data = bytearray("".join(chars).encode("utf-8"))
    if kind == 2 and data:
        for _ in range(rng.randrange(1, 4)):
            if not data:
                break
            op = rng.randrange(3)
            at = rng.randrange(len(data))
            if op == 0:
                del data[at]
            elif op == 1:
                data[at] = rng.randrange(0x80, 0x100)
            else:
                data.insert(at, rng.randrange(0x80, 0x100))
    return bytes(data)

def main():
    out_path = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 20000
    rng = random.Random(20261207)
    cases = adversarial() + [random_case(rng) for _ in range(count)]
    with open(out_path, "wb") as out:
        for raw in cases:
            data = raw.replace(b"\r", b"#").replace(b"\n", b"#")
            try:
                data.decode("utf-8")
                valid = 1
            except UnicodeDecodeError:
                valid = 0
            units = data.decode("utf-8", "replace").encode("utf-16-le")
            out.write(struct.pack("<I", len(data)))
            out.write(data)
            out.write(struct.pack("<BI", valid, len(units) // 2))
            out.write(units)

if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""The fuzz targets' seed inputs, the one place they are kept: writes them
into OUT_DIR/codec and OUT_DIR/panel (scripts/fuzz-long.sh does, each run).

    python3 fuzz/seeds.py OUT_DIR

Codec inputs: 4 little-endian value bytes, then text. Panel inputs: the
operation stream that fuzz_panel.cpp reads (opcode byte, argument byte, ...).
"""
import os
import struct
import sys

out = sys.argv[1]


def write(kind, name, data):
    d = os.path.join(out, kind)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


codec = {
    "max": (0xFFFFFFFF, b"4294967295"),
    "max_plus_one": (0x80000000, b"4294967296"),
    "five_billion": (0x00020000, b"5000000000"),
    "leading_zeros": (1, b"0999999999"),
    "octal_max": (0x00080000, b"37777777777"),
    "octal_over": (0x00100000, b"40000000000"),
    "hex_lower": (255, b"ff"),
    "binary_32": (0x12345678, b"1" * 32),
    "foreign": (0, b"\x80\xff 0x1F-"),
    "empty": (0, b""),
}
for name, (value, text) in codec.items():
    write("codec", name, struct.pack("<I", value) + text)

# Panel operations.
KEYS = b"0123456789acfABFgGx -" + bytes([8, 9, 27, 3, 22, 24, 26])
B, O, D, H = range(4)


def key(c):
    return bytes([0, KEYS.index(c)])


def typed(s):
    return b"".join(key(bytes([c])) for c in s)


def focus(k):
    return bytes([9, k])


def paste(k, clip):
    assert len(clip) % 4 == k, "paste length and field share one byte"
    return bytes([12, k + 4 * ((len(clip) - k) // 4)]) + clip


def settext(k, text):
    return bytes([13, k, len(text)]) + text


MINIMIZED = bytes([14, 0])
RELEASE = bytes([8, 0])
TAB, ESC, BS = key(b"\t"), key(b"\x1b"), key(b"\x08")

panel = {
    "decimal_overflow": focus(D) + typed(b"429496729") + typed(b"6"),
    "octal_overflow": focus(O) + typed(b"4000000000") + typed(b"0"),
    "tab_round": typed(b"101") + TAB + typed(b"17") + TAB + typed(b"99") + TAB + typed(b"fF") + TAB,
    "escape_and_release": focus(H) + typed(b"ff") + ESC + RELEASE,
    "minimized_overflow": MINIMIZED + typed(b"1") + focus(D) + typed(b"4294967295") + typed(b"9"),
    "paste_decimal": focus(D) + paste(D, b"4294967296"),
    "minimized_paste_overflow": MINIMIZED + focus(D) + paste(D, b"4294967296"),
    "foreign_binary": focus(D) + typed(b"777777777") + MINIMIZED + settext(B, b"x2") + typed(b"77"),
    "undo_after_overflow": focus(D) + typed(b"99999999") + typed(b"99") + bytes([11, D]) + RELEASE,
    "filtered": focus(O) + typed(b"89gG -") + focus(H) + typed(b"aFx") + BS + RELEASE,
    # Found by the fuzzer: an undo that brings back text set from outside.
    "undo_restores_foreign": bytes.fromhex(
        "090a3ce3360c6a6a6a00010a22222222222222222222222d22222222222222222222222222222222"
        "22222222222222222222ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"
        "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"
        "ffffffffffffffffffffffffffffffffffffffffffff22222200862fb50656000022222222222222"
        "222222222222222222262222222222222222222222222222222222222222223c3239"),
}
for name, data in panel.items():
    write("panel", name, data)

#!/usr/bin/env python3
"""Writes the example images examples/firmware.hex and examples/blink.hex.

Both are Cortex-M style applications linked above a 48 KiB resident loader
(0x0800C000): a vector table, code-like bytes, a few strings. The content is
made up but the same on every run, so the files only change on purpose.
Usage: tools/make-example-hex.py [output folder, default examples/]
"""

import pathlib
import struct
import sys

APP_BASE = 0x0800C000
STACK_TOP = 0x20005000
VECTORS = 48  # 16 core vectors and 32 interrupts


def record(address, kind, data):
    body = bytes([len(data), (address >> 8) & 0xFF, address & 0xFF, kind]) + data
    checksum = (-sum(body)) & 0xFF
    return ":" + (body + bytes([checksum])).hex().upper()


class Noise:
    """xorshift32: repeatable bytes without depending on the random module."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x


def code_bytes(noise, size):
    """Halfwords that look like Thumb code: prologues, returns, loads, branches."""
    common = [0xB580, 0xAF00, 0x4770, 0xBD80, 0x6818, 0x6019, 0x2300, 0x3301, 0x4293, 0xD1FA]
    out = bytearray()
    while len(out) < size:
        value = noise.next()
        if value % 3 == 0:
            half = common[(value >> 8) % len(common)]
        else:
            half = (value >> 4) & 0xFFFF
        out += struct.pack("<H", half)
    return bytes(out[:size])


def image(size, seed, strings):
    noise = Noise(seed)
    reset = APP_BASE + VECTORS * 4 + 1  # Thumb bit set
    default = reset + 0x40
    vectors = [STACK_TOP, reset] + [default] * 12 + [0, default] + [default] * (VECTORS - 16)
    vectors[7:11] = [0, 0, 0, 0]  # reserved core slots
    table = b"".join(struct.pack("<I", v) for v in vectors)
    text = b"".join(s.encode() + b"\0" for s in strings)
    text += b"\0" * (-len(text) % 4)
    code = code_bytes(noise, size - len(table) - len(text))
    return table + code + text, reset


def hex_lines(data, entry):
    lines = []
    upper = None
    offset = 0
    while offset < len(data):
        address = APP_BASE + offset
        if address >> 16 != upper:
            upper = address >> 16
            lines.append(record(0, 0x04, struct.pack(">H", upper)))
        size = min(16, len(data) - offset)
        lines.append(record(address & 0xFFFF, 0x00, data[offset:offset + size]))
        offset += size
    lines.append(record(0, 0x05, struct.pack(">I", entry)))
    lines.append(record(0, 0x01, b""))
    return lines


def write(path, lines):
    path.write_bytes(("\r\n".join(lines) + "\r\n").encode("ascii"))
    print(f"{path}: {len(lines)} records")


def main():
    folder = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "examples")
    folder.mkdir(parents=True, exist_ok=True)

    # 1200 records of 16 bytes run from 0x0800C000 past 0x08010000.
    firmware, entry = image(1200 * 16, 0x1F2E3D4C,
                            ["Bootline demo firmware 1.0", "(c) example board", "ERR: sensor",
                             "ready", "%d.%02d V"])
    write(folder / "firmware.hex", hex_lines(firmware, entry))

    blink, entry = image(39 * 16 + 8, 0x0B11A7ED, ["blink 1.0", "LED"])
    write(folder / "blink.hex", hex_lines(blink, entry))


if __name__ == "__main__":
    main()

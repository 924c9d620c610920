#!/usr/bin/env python3
"""Makes the attachments of the MMS example job (examples/jobs/mms-alarm.sms).

  camera.jpg  a 96 x 64 grey picture of a gate, a baseline JPEG written here from scratch:
              each 8 x 8 block is one flat shade, so only its DC coefficient is coded
  siren.amr   one second of AMR-NB in the storage format (RFC 4867), frames without
              speech data: a placeholder for the site's own recording

The files are committed; run this only to change them:  python3 examples/media/make-media.py
"""
import os
import struct

# The gate as seen by the camera, one character per 8 x 8 block: shades from '#' (dark) to
# ' ' (light).
GATE = [
    "            ",
    " ########## ",
    " #.#.#.#.## ",
    " #.#.#.#.## ",
    " #.#.#.#.## ",
    " ########## ",
    "::::::::::::",
    "::::::::::::",
]
SHADES = {"#": 40, ".": 150, ":": 100, " ": 220}
QUANT = 16  # every coefficient's step; only the DC one is used

# Luminance DC table of the JPEG standard (ITU T.81 Annex K.3): code lengths, symbols.
DC_BITS = [0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0]
DC_VALUES = list(range(12))
# The AC table needs one symbol only: end of block, coded as the single bit 0.
AC_BITS = [1] + [0] * 15
AC_VALUES = [0x00]


def huffman_codes(bits, values):
    codes, code, k = {}, 0, 0
    for length in range(1, 17):
        for _ in range(bits[length - 1]):
            codes[values[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return codes


def segment(marker, payload):
    return struct.pack(">HH", marker, len(payload) + 2) + payload


class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.count = 0

    def put(self, value, length):
        for i in range(length - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> i) & 1)
            self.count += 1
            if self.count == 8:
                self.out.append(self.acc)
                if self.acc == 0xFF:
                    self.out.append(0x00)  # byte stuffing
                self.acc = self.count = 0

    def flush(self):
        if self.count:
            self.put(0x7F, 8 - self.count)  # pad with one bits
        return bytes(self.out)


def jpeg():
    height, width = 8 * len(GATE), 8 * len(GATE[0])
    dc_codes, ac_codes = huffman_codes(DC_BITS, DC_VALUES), huffman_codes(AC_BITS, AC_VALUES)
    bits = BitWriter()
    previous = 0
    for row in GATE:
        for shade in row:
            # A flat block of level-shifted value s has the DC coefficient 8 s.
            dc = round(8 * (SHADES[shade] - 128) / QUANT)
            diff, previous = dc - previous, dc
            size = abs(diff).bit_length()
            bits.put(*dc_codes[size])
            if size:
                bits.put(diff if diff > 0 else diff + (1 << size) - 1, size)
            bits.put(*ac_codes[0x00])
    return b"".join([
        b"\xff\xd8",
        segment(0xFFE0, b"JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00"),
        segment(0xFFDB, bytes([0]) + bytes([QUANT] * 64)),
        segment(0xFFC0, struct.pack(">BHHB", 8, height, width, 1) + bytes([1, 0x11, 0])),
        segment(0xFFC4, bytes([0x00] + DC_BITS + DC_VALUES)),
        segment(0xFFC4, bytes([0x10] + AC_BITS + AC_VALUES)),
        segment(0xFFDA, bytes([1, 1, 0x00, 0, 63, 0])),
        bits.flush(),
        b"\xff\xd9",
    ])


def amr():
    no_data = 0x7C  # frame type 15 (no data), quality bit set
    return b"#!AMR\n" + bytes([no_data] * 50)  # 50 frames of 20 ms


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    for name, data in (("camera.jpg", jpeg()), ("siren.amr", amr())):
        with open(os.path.join(here, name), "wb") as f:
            f.write(data)

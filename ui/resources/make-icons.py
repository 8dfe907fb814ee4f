#!/usr/bin/env python3
"""Draws the window icon: palette PNGs at 16, 32 and 48 pixels and a
chronavel.ico holding the same three images for a Windows build.

    make-icons.py           rewrite the files next to this script
    make-icons.py --check   exit 1 if the committed files differ from a fresh drawing

Python 3 standard library only, so the icons can be redrawn anywhere.
"""

import math
import struct
import sys
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent

# Palette index 0 is transparent black: the ICO's AND mask needs transparent
# pixels to be black in the colour bitmap.
TRANSPARENT = (0, 0, 0)
RIM = (0x1F, 0x5F, 0xAF)
FACE = (0xFA, 0xFB, 0xFD)
HAND = (0x1D, 0x27, 0x33)
TICK = (0x6B, 0x78, 0x88)
HUB = (0xD9, 0x3A, 0x2B)

# Hand-tuned per size so that the hands sit on whole pixels; at 16 px only
# the rim and two hands at three o'clock, which still reads as a clock.
LAYOUTS = {
    16: dict(bits=4, radius=8.0, rim=1.5, minute=(2, 5.0), hour=(2, 4.0), ticks=None, hub=0.0),
    32: dict(bits=4, radius=16.0, rim=2.5, minute=(2, 9.0), hour=(4, 6.0), ticks=(2, 11.0, 13.0), hub=2.5),
    48: dict(bits=8, radius=23.25, rim=3.5, minute=(4, 13.0), hour=(6, 9.0), ticks=(2, 16.0, 19.0), hub=3.5),
}

SUPERSAMPLING = 8


def sample(layout, size, x, y):
    """The colour at a point of the drawing, or None outside the face."""
    c = size / 2.0
    dx, dy = x - c, y - c
    r = math.hypot(dx, dy)
    radius = layout["radius"]
    if r > radius:
        return None
    if layout["hub"] and r <= layout["hub"]:
        return HUB
    minute_width, minute_length = layout["minute"]
    hour_width, hour_length = layout["hour"]
    # Minute hand to twelve, hour hand to three; each runs a little past the centre.
    if abs(dx) <= minute_width / 2.0 and -minute_length <= dy <= minute_width / 2.0:
        return HAND
    if abs(dy) <= hour_width / 2.0 and -hour_width / 2.0 <= dx <= hour_length:
        return HAND
    inner = radius - layout["rim"]
    if r > inner:
        return RIM
    ticks = layout["ticks"]
    if ticks:
        tick_width, tick_from, tick_to = ticks
        along, across = max(abs(dx), abs(dy)), min(abs(dx), abs(dy))
        if across <= tick_width / 2.0 and tick_from <= along <= tick_to:
            return TICK
    return FACE


def render(size):
    """Rows of RGB tuples, None where transparent."""
    layout = LAYOUTS[size]
    step = 1.0 / SUPERSAMPLING
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            inside = []
            for sy in range(SUPERSAMPLING):
                for sx in range(SUPERSAMPLING):
                    colour = sample(layout, size, px + (sx + 0.5) * step, py + (sy + 0.5) * step)
                    if colour is not None:
                        inside.append(colour)
            # The ICO mask is all or nothing, so the edge is too; smoothing
            # happens between the colours inside.
            if len(inside) * 2 < SUPERSAMPLING * SUPERSAMPLING:
                row.append(None)
            else:
                row.append(tuple(sum(channel) / len(inside) for channel in zip(*inside)))
        rows.append(row)
    return rows


def candidate_palette(bits):
    bases = [FACE, RIM, HAND, TICK, HUB]
    # Only colours that meet in the drawing are blended. Sixteen colours
    # leave room for two blends per pair.
    pairs = [(FACE, RIM), (FACE, HAND), (FACE, HUB), (HAND, HUB), (FACE, TICK)]
    steps = [1 / 3, 2 / 3] if bits == 4 else [k / 16 for k in range(1, 16)]
    colours = list(bases)
    for a, b in pairs:
        for t in steps:
            colours.append(tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3)))
    return colours


def quantise(rows, bits):
    """Palette (index 0 transparent) and rows of indices."""
    candidates = candidate_palette(bits)

    def nearest(colour):
        return min(range(len(candidates)),
                   key=lambda i: sum((candidates[i][k] - colour[k]) ** 2 for k in range(3)))

    chosen = [[None if colour is None else nearest(colour) for colour in row] for row in rows]
    used = sorted({index for row in chosen for index in row if index is not None})
    palette = [TRANSPARENT] + [candidates[i] for i in used]
    remap = {candidate: position + 1 for position, candidate in enumerate(used)}
    indices = [[0 if index is None else remap[index] for index in row] for row in chosen]
    if len(palette) > (1 << bits):
        sys.exit(f"{len(palette)} colours do not fit {bits} bits")
    return palette, indices


def pack_row(row, bits):
    if bits == 8:
        return bytes(row)
    packed = bytearray()
    for i in range(0, len(row), 2):
        high = row[i]
        low = row[i + 1] if i + 1 < len(row) else 0
        packed.append((high << 4) | low)
    return bytes(packed)


def png_chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data
            + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def png_parts(size, bits, palette, indices):
    """The chunks that decide the picture, with IDAT's data uncompressed."""
    header = struct.pack(">IIBBBBB", size, size, bits, 3, 0, 0, 0)
    plte = b"".join(bytes(colour) for colour in palette)
    trns = b"\x00"
    raw = b"".join(b"\x00" + pack_row(row, bits) for row in indices)
    return header, plte, trns, raw


def png_bytes(parts):
    header, plte, trns, raw = parts
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) + png_chunk(b"PLTE", plte)
            + png_chunk(b"tRNS", trns) + png_chunk(b"IDAT", zlib.compress(raw, 9))
            + png_chunk(b"IEND", b""))


def read_png_parts(data):
    """The same parts read back from a file, so --check ignores how zlib packed IDAT."""
    position = 8
    chunks = {}
    idat = b""
    while position < len(data):
        (length,) = struct.unpack(">I", data[position:position + 4])
        kind = data[position + 4:position + 8]
        body = data[position + 8:position + 8 + length]
        position += 12 + length
        if kind == b"IDAT":
            idat += body
        else:
            chunks[kind] = body
    return chunks.get(b"IHDR"), chunks.get(b"PLTE"), chunks.get(b"tRNS"), zlib.decompress(idat)


def ico_image(size, bits, palette, indices):
    """A BMP icon image: header, full palette, colour bitmap and AND mask, bottom-up."""
    colours = 1 << bits
    xor_stride = ((size * bits + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0,
                         (xor_stride + and_stride) * size, 0, 0, colours, 0)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    table += b"\x00" * (4 * colours - len(table))
    xor = bytearray()
    mask = bytearray()
    for row in reversed(indices):
        xor += pack_row(row, bits).ljust(xor_stride, b"\x00")
        bitsrow = bytearray(and_stride)
        for x, index in enumerate(row):
            if index == 0:
                bitsrow[x // 8] |= 0x80 >> (x % 8)
        mask += bitsrow
    return header + table + bytes(xor) + bytes(mask)


def ico_bytes(images):
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, bits, data in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 16 if bits == 4 else 0, 0,
                               1, bits, len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, _, data in images)


def main(argv):
    check = argv[1:] == ["--check"]
    if argv[1:] and not check:
        sys.exit(__doc__)
    stale = []
    images = []
    for size, layout in LAYOUTS.items():
        bits = layout["bits"]
        palette, indices = quantise(render(size), bits)
        parts = png_parts(size, bits, palette, indices)
        images.append((size, bits, ico_image(size, bits, palette, indices)))
        path = HERE / f"chronavel-{size}.png"
        if check:
            if not path.exists() or read_png_parts(path.read_bytes()) != parts:
                stale.append(path.name)
        else:
            path.write_bytes(png_bytes(parts))
    ico = ico_bytes(images)
    path = HERE / "chronavel.ico"
    if check:
        if not path.exists() or path.read_bytes() != ico:
            stale.append(path.name)
        if stale:
            print("Out of date, run make-icons.py: " + ", ".join(stale), file=sys.stderr)
            return 1
    else:
        path.write_bytes(ico)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

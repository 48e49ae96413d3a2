#!/usr/bin/env python3
"""Checks tools/make_icon_theme.py on icons written byte by byte here.

    python3 packaging/test_make_icon_theme.py

The fixtures are encoded independently of the tool (their own DIB and PNG
writers, a PNG reader that checks every CRC), so a fault shared by the
tool's reader and writer cannot hide itself.
"""

import io
import os
import struct
import sys
import tempfile
import unittest
import zlib
from contextlib import redirect_stderr

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import make_icon_theme as tool  # noqa: E402

COLOURS = {
    "K": (0, 0, 0, 255), "W": (255, 255, 255, 255), "R": (200, 16, 16, 255),
    "G": (16, 180, 40, 255), "B": (20, 40, 220, 255), "Y": (250, 220, 0, 255),
    ".": (0, 0, 0, 0),
}

# 6 x 6: every row stride needs padding at every depth, and no row or column
# is its own mirror image, so a flipped or shifted image cannot pass.
MONO_PICTURE = [
    "KKW.WK",
    "WKKWWW",
    "KWWKKW",
    "WWKWKK",
    "KWWWWK",
    ".KKWKW",
]
COLOUR_PICTURE = [
    "RRG.BK",
    "WGBYKR",
    "BKRRWG",
    "YWKGBB",
    "GYWBRY",
    ".BYKGW",
]


def picture_pixels(rows):
    return [COLOURS[c] for row in rows for c in row]


# ---------------------------------------------------------------------------
# Fixture writers


def dib_icon(rows, bits, alpha_zero=False, under_mask="W", short_palette=False):
    """One icon image: header, palette, XOR rows and AND rows, bottom row first.
    `under_mask` is the colour kept under a transparent pixel; a short palette
    holds only the colours used and says so in biClrUsed."""
    width, height = len(rows[0]), len(rows)
    letters = sorted({c for row in rows for c in row if c != "."} | {under_mask})
    palette = [COLOURS[c][:3] for c in letters]
    colour_stride = (width * bits + 31) // 32 * 4
    mask_stride = (width + 31) // 32 * 4
    body = bytearray()
    if bits <= 8:
        unused = 0 if short_palette else (1 << bits) - len(palette)
        for r, g, b in palette + [(0, 0, 0)] * unused:
            body += bytes((b, g, r, 0))
    for y in reversed(range(height)):
        row = bytearray(colour_stride)
        for x in range(width):
            letter = rows[y][x] if rows[y][x] != "." else under_mask
            r, g, b, a = COLOURS[letter]
            if rows[y][x] == ".":
                a = 0
            if bits == 32:
                row[4 * x:4 * x + 4] = bytes((b, g, r, 0 if alpha_zero else a))
            elif bits == 24:
                row[3 * x:3 * x + 3] = bytes((b, g, r))
            else:
                index = letters.index(letter)
                bit = x * bits
                row[bit // 8] |= index << (8 - bits - bit % 8)
        body += row
    for y in reversed(range(height)):
        row = bytearray(mask_stride)
        for x in range(width):
            if rows[y][x] == ".":
                row[x // 8] |= 0x80 >> (x % 8)
        body += row
    used = len(palette) if short_palette else 0
    header = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, bits, 0, 0, 0, 0, used, 0)
    return header + bytes(body)


def png_file(width, height, pixels):
    """An RGBA PNG whose rows cycle through all five filter types."""
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    def paeth(a, b, c):
        p = a + b - c
        pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
        return a if pa <= pb and pa <= pc else (b if pb <= pc else c)

    stride = 4 * width
    raw, previous = bytearray(), bytes(stride)
    for y in range(height):
        row = bytes(v for p in pixels[y * width:(y + 1) * width] for v in p)
        kind = y % 5
        out = bytearray()
        for i in range(stride):
            a = row[i - 4] if i >= 4 else 0
            b = previous[i]
            c = previous[i - 4] if i >= 4 else 0
            predicted = [0, a, b, (a + b) // 2, paeth(a, b, c)][kind]
            out.append((row[i] - predicted) & 0xFF)
        raw += bytes((kind,)) + out
        previous = row
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw))) + chunk(b"IEND", b""))


def ico_file(images, kind=1):
    """An .ico of (width, height, blob) images."""
    data = bytearray(struct.pack("<HHH", 0, kind, len(images)))
    offset = 6 + 16 * len(images)
    for width, height, blob in images:
        data += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    for _, _, blob in images:
        data += blob
    return bytes(data)


def solid(size, letter):
    return ["".join(letter * size)] * size


def plain_png_pixels(data):
    """Decodes one of the tool's PNGs, checking each chunk's CRC: (w, h, pixels)."""
    assert data.startswith(b"\x89PNG\r\n\x1a\n"), "no PNG signature"
    position, chunks = 8, {}
    while position < len(data):
        length, kind = struct.unpack_from(">I4s", data, position)
        body = data[position + 8:position + 8 + length]
        (crc,) = struct.unpack_from(">I", data, position + 8 + length)
        assert crc == zlib.crc32(kind + body), "bad CRC on %r" % kind
        chunks[kind] = chunks.get(kind, b"") + body
        position += 12 + length
    width, height, depth, colour_type, _, _, interlace = struct.unpack(">IIBBBBB", chunks[b"IHDR"])
    assert (depth, colour_type, interlace) == (8, 6, 0)
    raw = zlib.decompress(chunks[b"IDAT"])
    pixels = []
    for y in range(height):
        line = raw[y * (4 * width + 1):(y + 1) * (4 * width + 1)]
        assert line[0] == 0, "the tool writes unfiltered rows"
        pixels += [tuple(line[1 + 4 * x:5 + 4 * x]) for x in range(width)]
    return width, height, pixels


# ---------------------------------------------------------------------------


class ReadingIcons(unittest.TestCase):
    def test_every_bitmap_depth_gives_the_same_picture(self):
        cases = [
            ("1 bit", MONO_PICTURE, 1, {}),
            ("4 bits", COLOUR_PICTURE, 4, {}),
            ("8 bits", COLOUR_PICTURE, 8, {}),
            ("8 bits, palette of the used colours only", COLOUR_PICTURE, 8, {"short_palette": True}),
            ("24 bits", COLOUR_PICTURE, 24, {}),
            ("32 bits with alpha", COLOUR_PICTURE, 32, {}),
            ("32 bits, alpha all zero: the mask decides", COLOUR_PICTURE, 32, {"alpha_zero": True}),
        ]
        for name, rows, bits, options in cases:
            with self.subTest(name):
                data = ico_file([(6, 6, dib_icon(rows, bits, **options))])
                [(image, read_bits)] = tool.read_ico(data)
                self.assertEqual((image.width, image.height, read_bits), (6, 6, bits))
                self.assertEqual(image.pixels, picture_pixels(rows))

    def test_thirty_two_bit_alpha_is_kept_as_it_is(self):
        blob = bytearray(dib_icon(COLOUR_PICTURE, 32))
        # The first stored pixel is the bottom-left one; make it half opaque.
        blob[40 + 3] = 128
        [(image, _)] = tool.read_ico(ico_file([(6, 6, bytes(blob))]))
        # Its mask bit is set too: with alpha present the mask is not used.
        self.assertEqual(image.pixel(0, 5), COLOURS["W"][:3] + (128,))
        self.assertEqual(image.pixel(0, 0), COLOURS["R"])

    def test_a_png_image_is_read_through_every_row_filter(self):
        pixels = [((x * 40) % 256, (y * 50) % 256, (x * y * 7) % 256, 255 if (x + y) % 3 else 90)
                  for y in range(6) for x in range(6)]
        [(image, bits)] = tool.read_ico(ico_file([(6, 6, png_file(6, 6, pixels))]))
        self.assertEqual(bits, 32)
        self.assertEqual(image.pixels, pixels)

    def test_a_damaged_or_foreign_file_is_refused_with_a_reason(self):
        good = dib_icon(COLOUR_PICTURE, 4)
        compressed = bytearray(good)
        compressed[16] = 2  # biCompression: RLE4
        cases = [
            ("a cursor", ico_file([(6, 6, good)], kind=2), "cursor"),
            ("no image", ico_file([]), "no image"),
            ("cut short", ico_file([(6, 6, good)])[:-10], "past the end"),
            ("directory and header disagree", ico_file([(8, 8, good)]), "directory says 8 x 8"),
            ("compressed bitmap", ico_file([(6, 6, bytes(compressed))]), "compressed"),
            ("bad PNG data", ico_file([(6, 6, png_file(6, 6, [(1, 2, 3, 4)] * 36)[:40] + b"\0" * 20)]), "PNG"),
        ]
        for name, data, reason in cases:
            with self.subTest(name):
                with self.assertRaises(tool.IconError) as caught:
                    tool.read_ico(data)
                self.assertIn(reason, str(caught.exception))

    def test_a_palette_index_past_the_palette_is_refused(self):
        blob = bytearray(dib_icon(COLOUR_PICTURE, 4))
        struct.pack_into("<I", blob, 32, 2)  # biClrUsed: only two colours
        del blob[40 + 8:40 + 64]
        with self.assertRaises(tool.IconError) as caught:
            tool.read_ico(ico_file([(6, 6, bytes(blob))]))
        self.assertIn("palette", str(caught.exception))


class Resampling(unittest.TestCase):
    def image(self, width, rows):
        return tool.Image(width, len(rows) // width, rows)

    def test_halving_averages_on_premultiplied_alpha(self):
        red, clear = (255, 0, 0, 255), (0, 0, 0, 0)
        # Averaged straight, the transparent black would darken the edge to (64, 0, 0).
        half = tool.resample(tool.Image(2, 2, [red, clear, clear, clear]), 1, 1)
        self.assertEqual(half.pixels, [(255, 0, 0, 64)])

    def test_whole_number_enlargement_repeats_each_pixel(self):
        a, b, c, d = (10, 20, 30, 255), (40, 50, 60, 255), (70, 80, 90, 128), (0, 0, 0, 0)
        big = tool.resample(tool.Image(2, 2, [a, b, c, d]), 4, 4)
        self.assertEqual(big.pixels, [a, a, b, b] * 2 + [c, c, d, d] * 2)

    def test_a_fractional_enlargement_blends_only_where_pixels_meet(self):
        white, black = (255, 255, 255, 255), (0, 0, 0, 255)
        wide = tool.resample(tool.Image(2, 1, [white, black]), 3, 1)
        self.assertEqual(wide.pixels, [white, (128, 128, 128, 255), black])


class ChoosingSizes(unittest.TestCase):
    def held(self, *images):
        return [(tool.Image(size, size, picture_pixels(solid(size, letter))), bits)
                for size, letter, bits in images]

    def test_a_held_size_uses_its_deepest_image(self):
        chosen = tool.choose_images(self.held((8, "R", 4), (8, "B", 32), (8, "G", 8)), [8])
        self.assertEqual(set(chosen[8].pixels), {COLOURS["B"]})

    def test_a_missing_size_comes_from_the_nearest_larger_else_the_largest(self):
        chosen = tool.choose_images(self.held((8, "R", 4), (16, "B", 4)), [4, 32])
        self.assertEqual(sorted(chosen), [4, 8, 16, 32])
        self.assertEqual(set(chosen[4].pixels), {COLOURS["R"]})
        self.assertEqual(set(chosen[32].pixels), {COLOURS["B"]})
        self.assertEqual((chosen[32].width, chosen[32].height), (32, 32))


class WritingTheTheme(unittest.TestCase):
    def run_tool(self, data, *arguments):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        icon = os.path.join(folder.name, "in.ico")
        with open(icon, "wb") as handle:
            handle.write(data)
        out = os.path.join(folder.name, "hicolor")
        errors = io.StringIO()
        with redirect_stderr(errors):
            code = tool.main([icon, out] + list(arguments))
        written = sorted(os.path.relpath(os.path.join(d, f), out) for d, _, files in os.walk(out) for f in files)
        return code, out, written, errors.getvalue()

    def test_writes_held_and_asked_sizes_as_pngs_of_their_folder_size(self):
        data = ico_file([(6, 6, dib_icon(COLOUR_PICTURE, 4))])
        code, out, written, _ = self.run_tool(data, "--name", "demo", "--sizes", "3,12")
        self.assertEqual(code, 0)
        self.assertEqual(written, ["12x12/apps/demo.png", "3x3/apps/demo.png", "6x6/apps/demo.png"])
        for path in written:
            size = int(path.split("x")[0])
            with open(os.path.join(out, path), "rb") as handle:
                width, height, pixels = plain_png_pixels(handle.read())
            self.assertEqual((width, height), (size, size), path)
            if size == 6:
                self.assertEqual(pixels, picture_pixels(COLOUR_PICTURE))
            if size == 12:
                self.assertEqual(pixels[0:2] + pixels[12:14], [COLOURS["R"]] * 4)
                self.assertEqual(pixels[6], COLOURS["."])

    def test_a_bad_icon_fails_with_one_line_and_writes_nothing(self):
        code, _, written, errors = self.run_tool(b"GIF89a not an icon")
        self.assertEqual(code, 1)
        self.assertEqual(written, [])
        self.assertRegex(errors, r"^make_icon_theme: .*in\.ico: not an icon file.*\n$")


if __name__ == "__main__":
    unittest.main()

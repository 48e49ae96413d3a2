#!/usr/bin/env python3
"""Turns a Windows .ico file into the PNGs of a hicolor icon theme.

    tools/make_icon_theme.py ICON.ico OUTDIR [--name NAME] [--sizes 16,32,48,64]

Writes OUTDIR/<N>x<N>/apps/NAME.png for every size the .ico holds and for
every size in --sizes. A size the file holds is written from its own image
(the deepest one when there are several); a missing size is resampled from
the smallest larger image, or from the largest one when none is larger.
Resampling is by exact area coverage on premultiplied alpha: whole-number
enlargements stay crisp pixel for pixel, halvings average each 2 x 2 block,
and nothing is sharpened or invented.

Reads the images Windows keeps in an .ico: device-independent bitmaps of 1,
4, 8, 24 or 32 bits a pixel with their AND mask (a 32-bit image whose alpha is
all zero is an old-style one and takes its transparency from the mask), and
PNG images of 8 bits a channel, grey, RGB or RGBA, not interlaced. The output
is deterministic: the same .ico gives the same bytes.

Python 3 standard library only.
"""

import argparse
import os
import struct
import sys
import zlib

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


class IconError(Exception):
    """The file is not an .ico this tool can read; the message says why."""


class Image:
    """Straight (not premultiplied) RGBA pixels, top row first."""

    def __init__(self, width, height, pixels):
        self.width, self.height = width, height
        self.pixels = pixels  # list of (r, g, b, a) tuples, 0..255

    def pixel(self, x, y):
        return self.pixels[y * self.width + x]


# ---------------------------------------------------------------------------
# Reading the .ico


def read_ico(data):
    """The images of an .ico as a list of (Image, bits per pixel)."""
    if len(data) < 6:
        raise IconError("shorter than an icon directory")
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1:
        raise IconError("not an icon file (type %d; a cursor is type 2)" % kind)
    if count == 0:
        raise IconError("the icon directory lists no image")
    if len(data) < 6 + 16 * count:
        raise IconError("the icon directory is cut short")
    images = []
    for index in range(count):
        width, height, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * index)
        width, height = width or 256, height or 256
        if offset + size > len(data):
            raise IconError("image %d lies past the end of the file" % index)
        blob = data[offset:offset + size]
        if blob.startswith(PNG_SIGNATURE):
            image, bits = read_png(blob)
        else:
            image, bits = read_dib_icon(blob)
        if (image.width, image.height) != (width, height):
            raise IconError("image %d is %d x %d but the directory says %d x %d"
                            % (index, image.width, image.height, width, height))
        images.append((image, bits))
    return images


def read_dib_icon(blob):
    """One icon image: a BITMAPINFOHEADER whose height counts the XOR image
    and the AND mask below it, then the palette, the XOR rows and the mask
    rows, both bottom row first and each row padded to 4 bytes."""
    if len(blob) < 40:
        raise IconError("an image is shorter than its bitmap header")
    header_size, width, double_height, planes, bits, compression, _, _, _, used, _ = struct.unpack_from(
        "<IiiHHIIiiII", blob, 0)
    if header_size < 40 or width <= 0 or double_height <= 0 or double_height % 2:
        raise IconError("an image has a damaged bitmap header")
    if compression != 0:
        raise IconError("an image is compressed (type %d); only plain bitmaps are read" % compression)
    if bits not in (1, 4, 8, 24, 32):
        raise IconError("an image has %d bits a pixel" % bits)
    height = double_height // 2
    palette = []
    position = header_size
    if bits <= 8:
        entries = used or (1 << bits)
        if position + 4 * entries > len(blob):
            raise IconError("an image's palette is cut short")
        for i in range(entries):
            blue, green, red, _ = struct.unpack_from("<BBBB", blob, position + 4 * i)
            palette.append((red, green, blue))
        position += 4 * entries
    colour_stride = (width * bits + 31) // 32 * 4
    mask_stride = (width + 31) // 32 * 4
    mask_start = position + colour_stride * height
    if mask_start + mask_stride * height > len(blob):
        raise IconError("an image's pixels or mask are cut short")

    colours, alphas = [], []
    for y in range(height):
        row = position + (height - 1 - y) * colour_stride
        for x in range(width):
            if bits == 32:
                blue, green, red, alpha = blob[row + 4 * x:row + 4 * x + 4]
                colours.append((red, green, blue))
                alphas.append(alpha)
            elif bits == 24:
                blue, green, red = blob[row + 3 * x:row + 3 * x + 3]
                colours.append((red, green, blue))
            else:
                bit = x * bits
                index = (blob[row + bit // 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1)
                if index >= len(palette):
                    raise IconError("an image uses colour %d of a %d-colour palette" % (index, len(palette)))
                colours.append(palette[index])

    if bits == 32 and any(alphas):
        pixels = [colour + (alpha,) if alpha else (0, 0, 0, 0) for colour, alpha in zip(colours, alphas)]
    else:
        pixels = []
        for y in range(height):
            row = mask_start + (height - 1 - y) * mask_stride
            for x in range(width):
                transparent = (blob[row + x // 8] >> (7 - x % 8)) & 1
                colour = colours[y * width + x]
                # A transparent pixel keeps no colour, as in the 32-bit case:
                # a screen-inverting one (mask set, colour not black) has no
                # meaning in a PNG.
                pixels.append((0, 0, 0, 0) if transparent else colour + (255,))
    return Image(width, height, pixels), bits


# ---------------------------------------------------------------------------
# PNG


def png_chunks(blob):
    position = len(PNG_SIGNATURE)
    while position + 8 <= len(blob):
        length, kind = struct.unpack_from(">I4s", blob, position)
        body = blob[position + 8:position + 8 + length]
        if len(body) != length:
            break
        yield kind, body
        position += 12 + length
        if kind == b"IEND":
            return
    raise IconError("a PNG image is cut short")


def read_png(blob):
    """A PNG image of 8 bits a channel as (Image, bits per pixel)."""
    header, compressed = None, b""
    for kind, body in png_chunks(blob):
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            compressed += body
    if header is None:
        raise IconError("a PNG image has no header")
    width, height, depth, colour_type, _, _, interlace = header
    channels = {0: 1, 2: 3, 4: 2, 6: 4}.get(colour_type)
    if depth != 8 or channels is None or interlace:
        raise IconError("a PNG image is not 8-bit grey, RGB or RGBA without interlacing")
    try:
        raw = zlib.decompress(compressed)
    except zlib.error as error:
        raise IconError("a PNG image's data is damaged: %s" % error)
    stride = width * channels
    if len(raw) != (stride + 1) * height:
        raise IconError("a PNG image holds the wrong amount of data")
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        unfilter_row(kind, row, previous, channels)
        rows.append(row)
        previous = row
    pixels = []
    for row in rows:
        for x in range(width):
            values = row[x * channels:(x + 1) * channels]
            if channels == 1:
                pixels.append((values[0],) * 3 + (255,))
            elif channels == 2:
                pixels.append((values[0],) * 3 + (values[1],))
            elif channels == 3:
                pixels.append(tuple(values) + (255,))
            else:
                pixels.append(tuple(values))
    return Image(width, height, pixels), 8 * channels


def unfilter_row(kind, row, previous, step):
    for i in range(len(row)):
        left = row[i - step] if i >= step else 0
        up = previous[i]
        corner = previous[i - step] if i >= step else 0
        if kind == 0:
            predicted = 0
        elif kind == 1:
            predicted = left
        elif kind == 2:
            predicted = up
        elif kind == 3:
            predicted = (left + up) // 2
        elif kind == 4:
            estimate = left + up - corner
            distances = (abs(estimate - left), abs(estimate - up), abs(estimate - corner))
            predicted = (left, up, corner)[distances.index(min(distances))]
        else:
            raise IconError("a PNG row has filter type %d" % kind)
        row[i] = (row[i] + predicted) & 0xFF


def png_bytes(image):
    """An RGBA PNG, no filtering, no time or text chunks."""
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    raw = bytearray()
    for y in range(image.height):
        raw.append(0)
        for x in range(image.width):
            raw.extend(image.pixel(x, y))
    return (PNG_SIGNATURE
            + chunk(b"IHDR", struct.pack(">IIBBBBB", image.width, image.height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


# ---------------------------------------------------------------------------
# Resampling


def coverage(source, target):
    """For each target pixel, the (source pixel, share) pairs it covers when
    `source` pixels are spread over `target`; the shares of one pixel add to 1."""
    result = []
    for i in range(target):
        start, end = i * source / target, (i + 1) * source / target
        shares = []
        s = int(start)
        while s < end and s < source:
            overlap = min(end, s + 1) - max(start, s)
            if overlap > 1e-9:
                shares.append((s, overlap * target / source))
            s += 1
        result.append(shares)
    return result


def resample(image, width, height):
    if (image.width, image.height) == (width, height):
        return image
    columns = coverage(image.width, width)
    rows = coverage(image.height, height)
    # Premultiplied, so a transparent pixel's colour cannot bleed into an edge.
    premultiplied = [(r * a, g * a, b * a, a) for r, g, b, a in image.pixels]
    pixels = []
    for row_shares in rows:
        for column_shares in columns:
            total = [0.0, 0.0, 0.0, 0.0]
            for sy, wy in row_shares:
                for sx, wx in column_shares:
                    weight = wy * wx
                    value = premultiplied[sy * image.width + sx]
                    for c in range(4):
                        total[c] += value[c] * weight
            alpha = total[3]
            if alpha <= 0.0:
                pixels.append((0, 0, 0, 0))
                continue
            pixels.append(tuple(min(255, int(total[c] / alpha + 0.5)) for c in range(3))
                          + (min(255, int(alpha + 0.5)),))
    return Image(width, height, pixels)


def choose_images(held, sizes):
    """{size: Image} for every held size and every wanted one."""
    best = {}
    for image, bits in held:
        if image.width != image.height:
            continue
        current = best.get(image.width)
        if current is None or bits > current[1]:
            best[image.width] = (image, bits)
    if not best:
        raise IconError("the file holds no square image")
    chosen = {size: image for size, (image, _) in best.items()}
    for size in sizes:
        if size in chosen:
            continue
        larger = [s for s in best if s > size]
        source = best[min(larger)][0] if larger else best[max(best)][0]
        chosen[size] = resample(source, size, size)
    return chosen


def main(argv):
    parser = argparse.ArgumentParser(description="Writes an .ico's images as hicolor theme PNGs.")
    parser.add_argument("icon", help="the .ico file")
    parser.add_argument("out", help="the theme folder to write into (hicolor/)")
    parser.add_argument("--name", default="huevane", help="the icon name (default: huevane)")
    parser.add_argument("--sizes", default="16,32,48", help="sizes to write besides the held ones")
    arguments = parser.parse_args(argv)
    try:
        sizes = sorted({int(s) for s in arguments.sizes.split(",") if s.strip()})
    except ValueError:
        parser.error("--sizes takes whole numbers separated by commas")
    if any(s <= 0 or s > 1024 for s in sizes):
        parser.error("--sizes must lie between 1 and 1024")
    try:
        with open(arguments.icon, "rb") as handle:
            held = read_ico(handle.read())
        chosen = choose_images(held, sizes)
    except (OSError, IconError) as error:
        print("make_icon_theme: %s: %s" % (arguments.icon, error), file=sys.stderr)
        return 1
    for size, image in sorted(chosen.items()):
        folder = os.path.join(arguments.out, "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, arguments.name + ".png"), "wb") as handle:
            handle.write(png_bytes(image))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

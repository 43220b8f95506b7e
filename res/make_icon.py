#!/usr/bin/env python3
"""Builds the application icon (.ico) from its character-per-pixel source.

    make_icon.py SOURCE OUTPUT

SOURCE holds a palette legend (one line per character: the character, then a
colour name of the standard 16-colour palette, or "transparent") and one
"image N" section of N lines of N characters per size. Each image becomes a
4-bit (16-colour) bitmap with its AND mask, the form every Windows version
shows without conversion. Mistakes in the art stop the build with the line
at fault instead of producing a damaged icon.
"""
import struct
import sys

# The standard 16-colour palette, in the order of its indices.
STANDARD_PALETTE = [
    ("black", 0x000000), ("maroon", 0x800000), ("green", 0x008000),
    ("olive", 0x808000), ("navy", 0x000080), ("purple", 0x800080),
    ("teal", 0x008080), ("silver", 0xC0C0C0), ("gray", 0x808080),
    ("red", 0xFF0000), ("lime", 0x00FF00), ("yellow", 0xFFFF00),
    ("blue", 0x0000FF), ("fuchsia", 0xFF00FF), ("aqua", 0x00FFFF),
    ("white", 0xFFFFFF),
]
COLOUR_INDEX = {name: i for i, (name, _) in enumerate(STANDARD_PALETTE)}
TRANSPARENT = None


class ArtError(Exception):
    pass


def parse(lines):
    """Returns (legend, images): legend maps a character to a palette index
    or TRANSPARENT; images maps a size to its rows of characters."""
    legend, images = {}, {}
    section, size = None, 0
    for number, raw in enumerate(lines, 1):
        line = raw.rstrip("\n")
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        words = line.split()
        if words[0] == "palette" and len(words) == 1:
            section = "palette"
        elif words[0] == "image" and len(words) == 2 and words[1].isdigit():
            section, size = "image", int(words[1])
            if size in images:
                raise ArtError(f"line {number}: a second image of size {size}")
            images[size] = []
        elif section == "palette":
            legend.update(parse_legend_line(number, words))
        elif section == "image":
            images[size].append(check_row(number, line.strip(), size, legend))
        else:
            raise ArtError(f"line {number}: outside of any section")
    for size, rows in images.items():
        if len(rows) != size:
            raise ArtError(f"image {size}: {len(rows)} rows instead of {size}")
    if not images:
        raise ArtError("no images")
    return legend, images


def parse_legend_line(number, words):
    if len(words) < 2 or len(words[0]) != 1:
        raise ArtError(f"line {number}: expected a character and a colour name")
    name = words[1].lower()
    if name == "transparent":
        return {words[0]: TRANSPARENT}
    if name not in COLOUR_INDEX:
        raise ArtError(f"line {number}: '{name}' is not one of the 16 standard colours")
    return {words[0]: COLOUR_INDEX[name]}


def check_row(number, row, size, legend):
    if len(row) != size:
        raise ArtError(f"line {number}: {len(row)} pixels instead of {size}")
    unknown = sorted(set(row) - set(legend))
    if unknown:
        raise ArtError(f"line {number}: characters not in the palette: {''.join(unknown)}")
    return row


def padded(data):
    """Pads one bitmap row to the 4-byte boundary that DIBs require."""
    return data + b"\0" * (-len(data) % 4)


def colour_rows(rows, legend):
    """The 4-bit colour image; transparent pixels are black, so that the
    AND mask alone decides what shows through."""
    out = b""
    for row in reversed(rows):  # DIB rows run bottom-up
        indices = [legend[c] or 0 for c in row]
        out += padded(bytes((indices[i] << 4) | indices[i + 1] for i in range(0, len(indices), 2)))
    return out


def mask_rows(rows, legend):
    out = b""
    for row in reversed(rows):
        bits = [1 if legend[c] is TRANSPARENT else 0 for c in row]
        out += padded(bytes(int("".join(map(str, bits[i:i + 8])), 2) for i in range(0, len(bits), 8)))
    return out


def image_bytes(size, rows, legend):
    pixels = colour_rows(rows, legend) + mask_rows(rows, legend)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(pixels), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", rgb & 0xFF, (rgb >> 8) & 0xFF, rgb >> 16, 0)
                       for _, rgb in STANDARD_PALETTE)
    return header + palette + pixels


def icon_file(legend, images):
    sizes = sorted(images, reverse=True)
    blobs = [image_bytes(size, images[size], legend) for size in sizes]
    out = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for size, blob in zip(sizes, blobs):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


def main(argv):
    if len(argv) != 3:
        sys.exit("usage: make_icon.py SOURCE OUTPUT")
    with open(argv[1], encoding="ascii") as source:
        try:
            legend, images = parse(source)
        except ArtError as error:
            sys.exit(f"{argv[1]}: {error}")
    with open(argv[2], "wb") as output:
        output.write(icon_file(legend, images))


if __name__ == "__main__":
    main(sys.argv)

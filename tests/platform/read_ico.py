#!/usr/bin/env python3
"""Independent reader of a one-image ICO file in bitmap form, for the resource tests.

Prints one line with every header field, or a reason and exit status 1.
"""
import struct
import sys


def main(path):
    data = open(path, "rb").read()
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if (reserved, kind, count) != (0, 1, 1):
        return f"not a one-image icon: {reserved} {kind} {count}"
    width, height, colours, zero, planes, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6)
    if offset + size != len(data):
        return f"image {offset}+{size} does not end the {len(data)}-byte file"
    (header_size, bmp_width, bmp_height, bmp_planes, bmp_bits, compression, image_size, xppm, yppm,
     used, important) = struct.unpack_from("<IiiHHIIiiII", data, offset)
    stride = (bmp_width + 31) // 32 * 4
    mask_size = stride * (bmp_height // 2)
    pixels = bmp_width * (bmp_height // 2) * bmp_bits // 8
    if header_size + pixels + mask_size != size:
        return f"header {header_size} + pixels {pixels} + mask {mask_size} != {size}"
    print(f"file={len(data)} entry={width}x{height} colours={colours} reserved={zero} planes={planes} "
          f"bits={bits} size={size} offset={offset} header={header_size} bitmap={bmp_width}x{bmp_height} "
          f"planes={bmp_planes} bits={bmp_bits} compression={compression} image={image_size} "
          f"ppm={xppm}x{yppm} mask={mask_size}")
    return None


if __name__ == "__main__":
    problem = main(sys.argv[1])
    if problem:
        print(problem)
        sys.exit(1)

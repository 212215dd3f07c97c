"""Writes a small layered PSD of one of a few kinds, then reads it back with
psd-tools and stores that reader's picture as straight RGBA8 (raw bytes).

usage: psd_layered_sample.py KIND OUT.psd REFERENCE.raw
KIND: rgb16-one, gray16-one, rgb16-several, rgb16-merged, rgb8-one,
      group-hidden, group-half, group-nested-half, names, above-top,
      extra-channel, cmyk8 (the CMYK reference is ink, CMYKA)
"""
import struct
import sys
import zlib

import numpy as np
from psd_tools import PSDImage

W, H = 37, 29


def pattern(w, h, seed, depth):
    y, x = np.mgrid[0:h, 0:w]
    top = 65535 if depth == 16 else 255
    return [((x * (7 + seed + c) + y * (11 + 3 * c) + seed * 97) % 256 * (top / 255.0)).astype(np.int64)
            for c in range(3)]


def ramp_alpha(w, h, depth):
    y, x = np.mgrid[0:h, 0:w]
    top = 65535 if depth == 16 else 255
    a = np.clip((x + 2 * y) / float(w + 2 * h - 3), 0, 1) * top
    a[: h // 3, : w // 3] = 0
    return a.astype(np.int64)


def pascal(name, align):
    data = bytes([len(name)]) + name.encode()
    return data + b"\0" * ((-len(data)) % align)


def samples(plane, depth):
    return plane.astype(">u2" if depth == 16 else "u1").tobytes()


def packbits(row):
    out = b""
    for i in range(0, len(row), 128):
        chunk = row[i:i + 128]
        out += bytes([len(chunk) - 1]) + chunk
    return out


def channel(plane, depth, compression):
    h, w = plane.shape
    if compression == 0:
        return struct.pack(">H", 0) + samples(plane, depth)
    if compression == 1:
        rows = [packbits(samples(plane[y:y + 1], depth)) for y in range(h)]
        return struct.pack(">H", 1) + b"".join(struct.pack(">H", len(r)) for r in rows) + b"".join(rows)
    # ZIP with prediction: per-row differences of the samples.
    top = 65536 if depth == 16 else 256
    delta = plane.copy()
    delta[:, 1:] = (plane[:, 1:] - plane[:, :-1]) % top
    return struct.pack(">H", 3) + zlib.compress(samples(delta, depth))


def layer(rect, planes, ids, depth, compression, opacity=255, hidden=False, name="Layer", divider=None):
    top, left, bottom, right = rect
    data = [channel(p, depth, compression) for p in planes]
    record = struct.pack(">iiiiH", top, left, bottom, right, len(planes))
    for cid, d in zip(ids, data):
        record += struct.pack(">hI", cid, len(d))
    record += b"8BIMnorm" + struct.pack(">BBBB", opacity, 0, 0x0A if hidden else 0x08, 0)
    extra = struct.pack(">II", 0, 0) + pascal(name, 4)
    if divider is not None:
        extra += b"8BIMlsct" + struct.pack(">II", 4, divider)
    record += struct.pack(">I", len(extra)) + extra
    return record, b"".join(data)


def document(mode, depth, layers, composite, real_merged, negative_count):
    records = b"".join(r for r, _ in layers)
    data = b"".join(d for _, d in layers)
    count = -len(layers) if negative_count else len(layers)
    info = struct.pack(">h", count) + records + data
    info += b"\0" * (len(info) % 2)
    if depth == 8:
        section = struct.pack(">I", len(info)) + info + struct.pack(">I", 0)
    else:
        info += b"\0" * ((-len(info)) % 4)
        section = struct.pack(">II", 0, 0) + b"8BIMLr16" + struct.pack(">I", len(info)) + info
    version = struct.pack(">IB", 1, 1 if real_merged else 0) + struct.pack(">III", 0, 0, 1)
    resource = b"8BIM" + struct.pack(">H", 1057) + b"\0\0" + struct.pack(">I", len(version)) + version
    resource += b"\0" * (len(resource) % 2)
    out = b"8BPS" + struct.pack(">H", 1) + b"\0" * 6
    out += struct.pack(">HIIHH", len(composite), H, W, depth, mode)
    out += struct.pack(">I", 0) + struct.pack(">I", len(resource)) + resource
    out += struct.pack(">I", len(section)) + section
    out += struct.pack(">H", 0) + b"".join(samples(p, depth) for p in composite)
    return out


def solid(rect, values, alpha=None, **options):
    h, w = rect[2] - rect[0], rect[3] - rect[1]
    planes = [np.full((h, w), v, dtype=np.int64) for v in values]
    ids = list(range(len(values)))
    if alpha is not None:
        planes.append(alpha)
        ids.append(-1)
    return layer(rect, planes, ids, 8, 1, **options)


def group(hidden=False, opacity=255):
    """The records of a group around its members: end marker, then open."""
    empty = [np.zeros((0, 0), dtype=np.int64)] * 3
    end = layer((0, 0, 0, 0), empty, [0, 1, 2], 8, 0, name="</Layer group>", divider=3)
    start = layer((0, 0, 0, 0), empty, [0, 1, 2], 8, 0, opacity=opacity, hidden=hidden, name="Group",
                  divider=1)
    return end, start


def build_grouped(kind):
    white = np.full((H, W), 255, dtype=np.int64)
    if kind == "cmyk8":
        # Ink, stored inverted: a cyan-magenta background and a translucent
        # yellow-black layer with transparency.
        background = solid((0, 0, H, W), [255 - 200, 255 - 90, 255, 255])
        rect = (4, 6, H - 3, W - 2)
        h, w = rect[2] - rect[0], rect[3] - rect[1]
        top = solid(rect, [255, 255, 255 - 220, 255 - 60], ramp_alpha(w, h, 8), opacity=200)
        return document(4, 8, [background, top], [white] * 4, False, False)
    background = solid((0, 0, H, W), [30, 90, 200], name="Back")
    if kind == "names":
        # Names of 4, 0 and 8 characters, each padded to four bytes before
        # the section-divider blocks that follow them.
        rect = (8, 10, H, W)
        h, w = rect[2] - rect[0], rect[3] - rect[1]
        inner = solid(rect, [10, 230, 60], ramp_alpha(w, h, 8), name="Inner")
        end = layer((0, 0, 0, 0), [np.zeros((0, 0), dtype=np.int64)] * 3, [0, 1, 2], 8, 0, name="", divider=3)
        start = layer((0, 0, 0, 0), [np.zeros((0, 0), dtype=np.int64)] * 3, [0, 1, 2], 8, 0, opacity=128,
                      name="EightChr", divider=1)
        return document(3, 8, [background, end, inner, start], [white] * 3, False, False)
    inner = solid((5, 7, H - 4, W - 3), [240, 200, 20], opacity=128 if kind == "group-half" else 255)
    end, start = group(hidden=kind == "group-hidden", opacity=128 if kind == "group-half" else 255)
    return document(3, 8, [background, end, inner, start], [white] * 3, False, False)


def build_placed(kind):
    white = np.full((H, W), 255, dtype=np.int64)
    if kind == "above-top":
        # Three column strips starting 6, 11 and 17 rows above the canvas,
        # raw, run-length and ZIP with prediction, each with a ramp of
        # transparency (psd-tools leaves out a bottom layer without one).
        layers = []
        for seed, (rect, compression) in enumerate([((-6, 0, H - 3, 13), 0), ((-11, 12, H, 25), 1),
                                                    ((-17, 24, H + 2, W), 3)]):
            h, w = rect[2] - rect[0], rect[3] - rect[1]
            planes = pattern(w, h, seed, 8) + [ramp_alpha(w, h, 8)]
            layers.append(layer(rect, planes, [0, 1, 2, -1], 8, compression))
        return document(3, 8, layers, [white] * 3, False, False)
    background = solid((0, 0, H, W), [30, 90, 200], name="Back")
    if kind == "extra-channel":
        # An opaque layer that also carries channel 3 (not transparency),
        # which differs from its transparency in the first row.
        rect = (2, 3, H - 2, W - 3)
        h, w = rect[2] - rect[0], rect[3] - rect[1]
        opaque = np.full((h, w), 255, dtype=np.int64)
        extra = opaque.copy()
        extra[0, :] = 0
        top = layer(rect, [opaque] + pattern(w, h, 5, 8) + [extra], [-1, 0, 1, 2, 3], 8, 1)
        return document(3, 8, [background, top], [white] * 3, False, False)
    # group-nested-half: an opaque layer in a half-opacity group inside
    # another, so a quarter of it shows.
    inner = solid((5, 7, H - 4, W - 3), [240, 200, 20])
    outer_end, outer_start = group(opacity=128)
    inner_end, inner_start = group(opacity=128)
    return document(3, 8, [background, outer_end, inner_end, inner, inner_start, outer_start], [white] * 3, False,
                    False)


def build(kind):
    if kind in ("group-hidden", "group-half", "names", "cmyk8"):
        return build_grouped(kind)
    if kind in ("above-top", "extra-channel", "group-nested-half"):
        return build_placed(kind)
    depth = 8 if kind == "rgb8-one" else 16
    top = 65535 if depth == 16 else 255
    white = np.full((H, W), top, dtype=np.int64)
    gray = kind == "gray16-one"
    mode = 1 if gray else 3
    if kind in ("rgb16-one", "gray16-one", "rgb8-one", "rgb16-merged"):
        rect = (3, -4, H - 2, W - 5)  # reaches past the left edge
        h, w = rect[2] - rect[0], rect[3] - rect[1]
        colour = pattern(w, h, 1, depth)[:1 if gray else 3]
        alpha = ramp_alpha(w, h, depth)
        compression = {"rgb8-one": 1, "gray16-one": 0}.get(kind, 3)
        ids = list(range(len(colour))) + [-1]
        layers = [layer(rect, colour + [alpha], ids, depth, compression)]
        if kind != "rgb16-merged":
            return document(mode, depth, layers, [white] * len(colour), False, False)
        # The real merged image: the layer on transparency, matted against white.
        full = [np.zeros((H, W), dtype=np.int64) for _ in range(4)]
        for c, p in enumerate(colour + [alpha]):
            full[c][rect[0]:rect[2], 0:rect[3]] = p[:, 4:]
        a = full[3] / top
        matted = [np.round(full[c] * a + top * (1 - a)).astype(np.int64) for c in range(3)]
        return document(mode, depth, layers, matted + [full[3]], True, True)
    # Several layers: an opaque background, a translucent half-opacity layer
    # with transparency, and a hidden layer over everything.
    background = layer((0, 0, H, W), pattern(W, H, 2, depth), [0, 1, 2], depth, 3, name="Background")
    rect = (5, 9, H + 4, W + 6)
    h, w = rect[2] - rect[0], rect[3] - rect[1]
    middle = layer(rect, pattern(w, h, 3, depth) + [ramp_alpha(w, h, depth)], [0, 1, 2, -1], depth, 1,
                   opacity=128)
    hidden = layer((0, 0, H, W), [np.zeros((H, W), dtype=np.int64)] * 3, [0, 1, 2], depth, 0, hidden=True)
    return document(mode, depth, [background, middle, hidden], [white] * 3, False, False)


def main():
    kind, path, reference = sys.argv[1:4]
    with open(path, "wb") as f:
        f.write(build(kind))
    psd = PSDImage.open(path)
    if kind == "cmyk8":
        # Ink as psd-tools composites it (the background is opaque).
        ink = np.asarray(psd.composite())
        if ink.shape != (H, W, 4):
            sys.exit("psd-tools read %s" % (ink.shape,))
        opaque = np.full((H, W, 1), 255, dtype=np.uint8)
        with open(reference, "wb") as f:
            f.write(np.concatenate([ink.astype(np.uint8), opaque], axis=2).tobytes())
        return
    image = psd.composite().convert("RGBA")
    if image.size != (W, H):
        sys.exit("psd-tools read a %dx%d picture" % image.size)
    with open(reference, "wb") as f:
        f.write(image.tobytes())


main()

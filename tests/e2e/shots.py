"""Screenshots and the pointer for the picture tour, with the Python standard library only: the
screen comes from the XWD file a private Xvfb keeps (Xvfb -fbdir), pictures are written as PNG
with zlib, and the pointer is moved through libX11, which the X tools already need.

    image = shots.read_xwd(env.screen_file())      # Image: width, height, rows of RGB bytes
    shots.write_png(path, image.crop(box))
    shots.move_pointer(display_env, x, y)
"""

import ctypes
import ctypes.util
import os
import struct
import zlib


class Image:
    def __init__(self, width, height, rows):
        self.width = width
        self.height = height
        self.rows = rows  # height bytes objects of width * 3 (R, G, B)

    def pixel(self, x, y):
        return tuple(self.rows[y][3 * x:3 * x + 3])

    def crop(self, box):
        """box: (left, top, right, bottom), clipped to the image."""
        left, top, right, bottom = box
        left, top = max(0, left), max(0, top)
        right, bottom = min(self.width, right), min(self.height, bottom)
        return Image(right - left, bottom - top,
                     [row[3 * left:3 * right] for row in self.rows[top:bottom]])

    def changes(self, other, within=None):
        """The bounding box (left, top, right, bottom) of the pixels that differ from other, an
        image of the same size, or None; within limits the search to a box."""
        left, top, right, bottom = within or (0, 0, self.width, self.height)
        box = None
        for y in range(top, bottom):
            a = self.rows[y][3 * left:3 * right]
            b = other.rows[y][3 * left:3 * right]
            if a == b:
                continue
            first = next(i for i in range(len(a)) if a[i] != b[i]) // 3
            last = next(i for i in range(len(a) - 1, -1, -1) if a[i] != b[i]) // 3
            x0, x1 = left + first, left + last + 1
            if box is None:
                box = [x0, y, x1, y + 1]
            else:
                box = [min(box[0], x0), box[1], max(box[2], x1), y + 1]
        return tuple(box) if box else None


def _mask_shift(mask):
    shift = 0
    while mask and not mask & 1:
        mask >>= 1
        shift += 1
    return shift, mask


def read_xwd(path):
    """A TrueColor XWD file (as Xvfb keeps its screen) as an Image."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 100:
        raise ValueError("%s: not an XWD file" % path)
    # The header is big-endian whatever the pixels are.
    fields = struct.unpack(">25I", data[:100])
    (header_size, version, _fmt, _depth, width, height, _xoff, byte_order, _unit, _bit_order,
     _pad, bits_per_pixel, bytes_per_line, visual_class, red_mask, green_mask, blue_mask,
     _bits_rgb, _entries, ncolors) = fields[:20]
    if version != 7 or visual_class not in (4, 5) or bits_per_pixel not in (24, 32):
        raise ValueError("%s: an XWD file this reader does not take (version %d, class %d, %d "
                         "bits a pixel)" % (path, version, visual_class, bits_per_pixel))
    start = header_size + 12 * ncolors
    if start + bytes_per_line * height > len(data):
        raise ValueError("%s: the XWD file is cut short" % path)
    step = bits_per_pixel // 8
    order = "little" if byte_order == 0 else "big"
    shifts = [_mask_shift(m) for m in (red_mask, green_mask, blue_mask)]
    fast = (step == 4 and order == "little" and
            shifts == [(16, 0xff), (8, 0xff), (0, 0xff)])
    rows = []
    for y in range(height):
        line = data[start + y * bytes_per_line:start + y * bytes_per_line + width * step]
        if fast:
            # B, G, R, X in memory: take R, G, B of each pixel.
            out = bytearray(width * 3)
            out[0::3] = line[2::4]
            out[1::3] = line[1::4]
            out[2::3] = line[0::4]
        else:
            out = bytearray()
            for x in range(width):
                v = int.from_bytes(line[x * step:(x + 1) * step], order)
                for shift, mask in shifts:
                    out.append(((v >> shift) & mask) * 255 // mask if mask else 0)
        rows.append(bytes(out))
    return Image(width, height, rows)


def write_png(path, image):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xffffffff))

    raw = b"".join(b"\0" + row for row in image.rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", image.width, image.height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def display_opens(display):
    """Whether an X client can connect to display."""
    name = ctypes.util.find_library("X11")
    if not name or not display:
        return False
    x11 = ctypes.CDLL(name)
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x11.XOpenDisplay(display.encode())
    if not dpy:
        return False
    x11.XCloseDisplay(dpy)
    return True


def move_pointer(display, x, y, xauthority=None):
    """Moves the X pointer to x, y of the screen, as the user's hand on the mouse would: the
    windows under it get their motion events. Returns False when it cannot."""
    name = ctypes.util.find_library("X11")
    if not name:
        return False
    x11 = ctypes.CDLL(name)
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XWarpPointer.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int,
                                 ctypes.c_int, ctypes.c_uint, ctypes.c_uint, ctypes.c_int,
                                 ctypes.c_int]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    saved = os.environ.get("XAUTHORITY")
    if xauthority:
        os.environ["XAUTHORITY"] = xauthority
    try:
        dpy = x11.XOpenDisplay(display.encode())
    finally:
        if xauthority:
            if saved is None:
                os.environ.pop("XAUTHORITY", None)
            else:
                os.environ["XAUTHORITY"] = saved
    if not dpy:
        return False
    try:
        x11.XWarpPointer(dpy, 0, x11.XDefaultRootWindow(dpy), 0, 0, 0, 0, x, y)
        x11.XSync(dpy, 0)
    finally:
        x11.XCloseDisplay(dpy)
    return True

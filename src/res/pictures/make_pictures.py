#!/usr/bin/env python3
"""Draws every picture of the updater's windows and writes them as the files
that novamend.rc embeds.

    make_pictures.py OUTPUT_DIR [--preview PNG_DIR]

Needs Python 3 and Pillow (Debian: python3-pil). The GIF, BMP and ICO files
are written by this script itself, so their layout is exactly what the
window code reads (one global colour table, full frames, no transparency
index) and the bytes are the same on every run.

Change the look with the parameters below; the first group (sizes, places
and the label's red) is fixed by the windows and must stay as it is.
"""
import math
import os
import struct
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, features

# --------------------------------------------------------------------------
# Fixed by the windows (pixels at 100% scaling)
WINDOW_SIZE = (500, 256)          # progress window background, GIF 188
BAR_POS, BAR_SIZE = (34, 175), (422, 10)                 # GIF 189
BUTTON_SIZE = (30, 21)                                   # GIFs 190-197
MINIMISE_BUTTON_POS, HIDE_BUTTON_POS = (396, 0), (366, 0)
PERCENT_LABEL = (345, 195, 75, 13)   # x, y, width, height of the label
# The label paints its text on this exact colour (COLORREF 0x0000B1).
PERCENT_RED = (177, 0, 0)
TRANSPARENT = (0, 0, 0)           # button pixels that show the window behind
DARKEST_VISIBLE = (16, 16, 16)    # no visible button pixel may be darker
TRAY_SIZE = (219, 141)            # BMP 168
TRAY_CLOSE_POS, TRAY_CLOSE_SIZE = (196, 8), 15           # BMP 170
TRAY_LINK_TOP = 141 - 32          # the links' line
CELL_SIZE = 11                    # BMPs 1062, 1063, drawn 10 pixels apart
ICON_SIZES = (16, 32, 48)         # ICO 141

# --------------------------------------------------------------------------
# Colours
WINE_TOP = (52, 9, 21)            # backdrop, top
WINE_BOTTOM = (27, 5, 12)         # backdrop, bottom
WINE_GLOW = (112, 17, 38)         # soft light behind the mark
WINDOW_EDGE = (98, 26, 44)        # one-pixel frame of the progress window
WINE_TRACK = (20, 3, 8)           # progress bar track
WINE_TRACK_EDGE = (78, 16, 31)
MARK_LIGHT = (206, 28, 40)        # mark disc, top
MARK_DARK = (140, 6, 20)          # mark disc, bottom
ROSE = (255, 178, 190)            # ripples, drifting lights, bar glow
WHITE = (255, 255, 255)
GLYPH = (240, 214, 219)           # button glyphs in the normal state
BUTTON_HOVER = (118, 30, 50)      # button face under the mouse
BUTTON_PRESSED = PERCENT_RED      # button face while pressed
PAPER = (252, 249, 250)           # tray window body
PAPER_FOOT = (245, 238, 240)      # tray window link line
PAPER_LINE = (229, 216, 220)      # tray window separator
PAPER_BORDER = (190, 160, 168)    # tray window frame
CLOSE_GLYPH = (150, 128, 134)     # tray close glyph at rest
CELL_EMPTY = (246, 242, 243)      # empty download cell
CELL_EMPTY_EDGE = (214, 202, 206)
CELL_FULL = PERCENT_RED           # filled download cell
CELL_FULL_EDGE = (128, 0, 12)
CELL_FULL_SHINE = (206, 58, 64)

# --------------------------------------------------------------------------
# Layout and motion of the progress window
MARK_CENTRE, MARK_RADIUS = (250, 80), 40
PERCENT_PANEL = (333, 189, 457, 215)   # left, top, right, bottom (exclusive)
PERCENT_PANEL_RADIUS = 6
STAGE_BOTTOM = 160                # moving shapes fade out above this line
CALM_CORNER = (340, 0, 500, 34)   # kept still for the two buttons
RIPPLE_SPACING, RIPPLE_FIRST, RIPPLE_LAST = 32, 48, 250
RIPPLE_WIDTH, RIPPLE_STRENGTH = 1.3, 0.20
# Drifting lights: centre x, y, radius, opacity, drift radius, phase (turns)
LIGHTS = [(86, 40, 16, 0.07, 7, 0.00), (130, 122, 7, 0.10, 5, 0.30),
          (392, 66, 22, 0.06, 8, 0.55), (430, 128, 9, 0.09, 6, 0.15),
          (330, 118, 5, 0.12, 4, 0.80), (168, 64, 4, 0.12, 3, 0.65)]
BACKGROUND_FRAMES, BACKGROUND_DELAY = 16, 12   # delay in 1/100 s
BAR_FRAMES, BAR_DELAY = 20, 8
BAR_GLOW_PERIOD = 300             # pixels between two lights on the bar
SUPERSAMPLE = 4                   # smooth edges: draw large, then shrink

# The circular arrow of the mark, as fractions of the disc's radius; the arc
# runs clockwise from ARROW_FROM to ARROW_TO (degrees, 0 = 3 o'clock).
ARROW_RING, ARROW_STROKE = 0.50, 0.22
ARROW_HEAD_WIDTH, ARROW_HEAD_LENGTH = 0.34, 0.48
ARROW_FROM, ARROW_TO = -35, 245

# Pixel drawings for the smallest sizes, where drawn shapes would blur:
# '#' full, '+' half strength, '.' nothing.
ICON_16_ARROW = '''
................
................
.......#........
......##+.......
....######......
....##.##.......
...##..#...##...
...##......##...
...##......##...
...##......##...
....##....##....
....########....
......####......
................
................
................'''
GLYPH_ORIGIN = (10, 5)            # top left of the glyphs in a button
MINIMISE_GLYPH = '''
..........
..........
..........
..........
..........
..........
..........
..........
..........
##########
##########'''
HIDE_GLYPH = '''
....##....
....##....
....##....
.########.
..######..
...####...
....##....
..........
..........
##########
##########'''


# ==========================================================================
# Small drawing helpers

def mix(a, b, t):
    """Colour a moved a fraction t towards b."""
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def smoothstep(edge0, edge1, x):
    t = min(1.0, max(0.0, (x - edge0) / (edge1 - edge0)))
    return t * t * (3 - 2 * t)


def coverage(size, draw_shapes, blur=0.0):
    """An 'L' mask of shapes drawn by draw_shapes(draw, scale) at
    SUPERSAMPLE times the size and shrunk, so edges are smooth."""
    s = SUPERSAMPLE
    big = Image.new('L', (size[0] * s, size[1] * s), 0)
    draw_shapes(ImageDraw.Draw(big), s)
    mask = big.reduce(s)
    if blur:
        mask = mask.filter(ImageFilter.GaussianBlur(blur))
    return mask


def paint(image, colour, mask, opacity=1.0):
    """Lays colour over image through mask (0-255) at the given opacity."""
    if opacity != 1.0:
        mask = mask.point(lambda v: round(v * opacity))
    image.paste(Image.new('RGB', image.size, colour), (0, 0), mask)


def field(size, value):
    """An 'L' image from value(x, y) -> 0..1, for soft masks."""
    w, h = size
    return Image.frombytes('L', size, bytes(
        max(0, min(255, round(255 * value(x, y)))) for y in range(h) for x in range(w)))


def gradient(size, top, bottom, left_right=False):
    w, h = size
    n = w if left_right else h
    strip = Image.new('RGB', (n, 1))
    strip.putdata([mix(top, bottom, i / max(1, n - 1)) for i in range(n)])
    if left_right:
        return strip.resize(size, Image.NEAREST)
    return strip.transpose(Image.ROTATE_270).transpose(Image.FLIP_LEFT_RIGHT).resize(size, Image.NEAREST)


def ring_arrow(draw, s, centre, radius):
    """The circular arrow inside a disc of the given radius: an arc with a
    round tail and, at its end, a head pointing clockwise."""
    cx, cy = centre[0] * s, centre[1] * s
    r, w = ARROW_RING * radius * s, ARROW_STROKE * radius * s
    outer = r + w / 2
    draw.arc((cx - outer, cy - outer, cx + outer, cy + outer), ARROW_FROM, ARROW_TO, fill=255, width=round(w))
    tail = math.radians(ARROW_FROM)
    tx, ty = cx + r * math.cos(tail), cy + r * math.sin(tail)
    draw.ellipse((tx - w / 2, ty - w / 2, tx + w / 2, ty + w / 2), fill=255)
    a = math.radians(ARROW_TO)
    tip = a + ARROW_HEAD_LENGTH / ARROW_RING
    hw = ARROW_HEAD_WIDTH * radius * s
    draw.polygon([(cx + (r - hw) * math.cos(a), cy + (r - hw) * math.sin(a)),
                  (cx + (r + hw) * math.cos(a), cy + (r + hw) * math.sin(a)),
                  (cx + r * math.cos(tip), cy + r * math.sin(tip))], fill=255)


def pixel_mask(drawing, size, origin=(0, 0)):
    """An 'L' mask from one of the pixel drawings above."""
    mask = Image.new('L', size, 0)
    for y, row in enumerate(drawing.strip('\n').split('\n')):
        for x, c in enumerate(row):
            if c != '.':
                mask.putpixel((origin[0] + x, origin[1] + y), 255 if c == '#' else 128)
    return mask


def rounded_box(draw, s, box, radius, fill=255):
    left, top, right, bottom = box
    draw.rounded_rectangle((left * s, top * s, right * s - 1, bottom * s - 1), radius * s, fill=fill)


# ==========================================================================
# The mark (progress window, tray window, icon)

def mark(size, centre, radius):
    """The mark's parts on a canvas of the given size: the shaded face, the
    disc's mask and the arrow's mask."""
    cx, cy = centre
    face = Image.new('RGB', size, MARK_DARK)
    top = round(cy - radius)
    face.paste(gradient((size[0], round(2 * radius)), MARK_LIGHT, MARK_DARK), (0, top))
    disc = coverage(size, lambda d, s: d.ellipse(((cx - radius) * s, (cy - radius) * s,
                                                  (cx + radius) * s, (cy + radius) * s), fill=255))
    arrow = coverage(size, lambda d, s: ring_arrow(d, s, centre, radius))
    return face, disc, arrow


def draw_mark(image, centre, radius):
    """The mark over image, with a soft shadow below it."""
    cx, cy = centre
    drop = radius * 0.12
    shadow = coverage(image.size, lambda d, s: d.ellipse(((cx - radius) * s, (cy - radius + drop) * s,
                                                          (cx + radius) * s, (cy + radius + drop) * s), fill=255),
                      blur=radius * 0.18)
    paint(image, (8, 1, 3), shadow, 0.55)
    face, disc, arrow = mark(image.size, centre, radius)
    image.paste(face, (0, 0), disc)
    paint(image, WHITE, arrow)


# ==========================================================================
# Progress window: background animation and bar

def stage_mask():
    """Where moving shapes may show: the upper part of the window, away from
    the buttons' corner."""
    left, top, right, bottom = CALM_CORNER

    def value(x, y):
        below = smoothstep(STAGE_BOTTOM, STAGE_BOTTOM - 26, y)
        corner = min(smoothstep(left, left - 40, x) + smoothstep(bottom, bottom + 30, y), 1.0)
        return below * corner
    return field(WINDOW_SIZE, value)


def backdrop():
    """The still part behind everything that moves."""
    w, h = WINDOW_SIZE
    image = gradient(WINDOW_SIZE, WINE_TOP, WINE_BOTTOM)
    cx, cy = MARK_CENTRE
    glow = field(WINDOW_SIZE, lambda x, y: 0.85 * (1 - smoothstep(0, 300, math.hypot((x - cx) * 0.8, (y - cy) * 1.3))))
    paint(image, WINE_GLOW, glow)
    floor = field(WINDOW_SIZE, lambda x, y: 0.45 * (1 - smoothstep(0, 1, math.hypot((x - cx) / 320, (y - h - 10) / 80))))
    paint(image, WINE_GLOW, floor)
    # A faint line that parts the stage from the status area.
    line = field(WINDOW_SIZE, lambda x, y: (y == STAGE_BOTTOM + 2) * 0.10 * math.sin(math.pi * x / (w - 1)) ** 2)
    paint(image, ROSE, line)
    return image


def foreground(image):
    """The still shapes in front of what moves."""
    draw_mark(image, MARK_CENTRE, MARK_RADIUS)
    panel = lambda d, s: rounded_box(d, s, PERCENT_PANEL, PERCENT_PANEL_RADIUS)
    left, top, right, bottom = PERCENT_PANEL
    lifted = lambda d, s: rounded_box(d, s, (left, top + 2, right, bottom + 2), PERCENT_PANEL_RADIUS)
    paint(image, (6, 0, 2), coverage(WINDOW_SIZE, lifted, blur=2.0), 0.6)
    paint(image, PERCENT_RED, coverage(WINDOW_SIZE, panel))
    sheen = lambda d, s: d.rectangle(((left + PERCENT_PANEL_RADIUS) * s, top * s,
                                      (right - PERCENT_PANEL_RADIUS) * s - 1, (top + 1) * s - 1), fill=255)
    paint(image, WHITE, coverage(WINDOW_SIZE, sheen), 0.22)
    # A thin edge so the borderless window stands off any desktop.
    ImageDraw.Draw(image).rectangle((0, 0, WINDOW_SIZE[0] - 1, WINDOW_SIZE[1] - 1), outline=WINDOW_EDGE)


def background_frame(still, behind_mask, t):
    """Frame at time t (0..1 of the loop): ripples spreading from the mark
    and drifting lights, behind the still foreground."""
    image = still.copy()
    cx, cy = MARK_CENTRE

    def ripples(d, s):
        radius = RIPPLE_FIRST + t * RIPPLE_SPACING
        while radius < RIPPLE_LAST:
            strength = (smoothstep(RIPPLE_FIRST, RIPPLE_FIRST + RIPPLE_SPACING, radius)
                        * (1 - smoothstep(RIPPLE_FIRST + RIPPLE_SPACING, RIPPLE_LAST, radius)))
            r = radius * s
            d.ellipse((cx * s - r, cy * s - r, cx * s + r, cy * s + r),
                      outline=round(255 * RIPPLE_STRENGTH * strength), width=round(RIPPLE_WIDTH * s))
            radius += RIPPLE_SPACING
    moving = coverage(WINDOW_SIZE, ripples)

    lights = Image.new('L', WINDOW_SIZE, 0)
    for x, y, r, opacity, drift, phase in LIGHTS:
        angle = 2 * math.pi * (t + phase)
        px, py = x + drift * math.cos(angle), y + 0.6 * drift * math.sin(angle)
        one = coverage(WINDOW_SIZE, lambda d, s: d.ellipse(((px - r) * s, (py - r) * s, (px + r) * s, (py + r) * s),
                                                           fill=round(255 * opacity)),
                       blur=max(1.0, r * 0.35))
        lights = ImageChops.lighter(lights, one)
    paint(image, ROSE, moving)
    paint(image, ROSE, lights)
    # Only the stage moves.
    return Image.composite(image, still, behind_mask)


def background_frames():
    still = backdrop()
    mask = stage_mask()
    frames = [background_frame(still, mask, i / BACKGROUND_FRAMES) for i in range(BACKGROUND_FRAMES)]
    for frame in frames:
        foreground(frame)
    return frames


def bar_frames(background):
    """The moving light along the bar, over the background's pixels where the
    bar's rounded ends leave them visible."""
    w, h = BAR_SIZE
    x0, y0 = BAR_POS
    behind = background.crop((x0, y0, x0 + w, y0 + h))
    track = coverage(BAR_SIZE, lambda d, s: rounded_box(d, s, (0, 0, w, h), h / 2))
    inner = coverage(BAR_SIZE, lambda d, s: rounded_box(d, s, (1, 1, w - 1, h - 1), h / 2 - 1))
    frames = []
    for i in range(BAR_FRAMES):
        image = behind.copy()
        paint(image, WINE_TRACK_EDGE, track)
        body = Image.new('RGB', BAR_SIZE, WINE_TRACK)
        shift = BAR_GLOW_PERIOD * i / BAR_FRAMES

        def light(x, y, width, strength):
            # Distance to the nearest light, the lights repeating every period.
            d = (x - shift) % BAR_GLOW_PERIOD
            d = min(d, BAR_GLOW_PERIOD - d)
            return strength * math.exp(-(d / width) ** 2)
        paint(body, mix(PERCENT_RED, ROSE, 0.25), field(BAR_SIZE, lambda x, y: light(x, y, 70, 0.95)))
        paint(body, WHITE, field(BAR_SIZE, lambda x, y: light(x, y, 22, 0.75) * (1 - 0.35 * abs(y - 4.5) / 4.5)))
        image.paste(body, (0, 0), inner)
        frames.append(image)
    return frames


# ==========================================================================
# Corner buttons

def button_picture(behind, glyph, state):
    """One button state. glyph is the symbol's pixel drawing; behind is the
    background under the button, to blend the smooth edges of the face with;
    every other pixel is the transparent black."""
    w, h = BUTTON_SIZE
    image = behind.copy()
    shown = Image.new('L', BUTTON_SIZE, 0)
    colour, dy = GLYPH, 0
    if state in ('hover', 'pressed'):
        face = coverage(BUTTON_SIZE, lambda d, s: rounded_box(d, s, (2, 1, w - 2, h - 2), 4))
        paint(image, BUTTON_HOVER if state == 'hover' else BUTTON_PRESSED, face)
        shown = face
        colour = WHITE
        dy = 1 if state == 'pressed' else 0      # the glyph sinks while pressed
    elif state == 'disabled':
        colour = mix(behind.getpixel((w // 2, h // 2)), GLYPH, 0.35)
    symbol = pixel_mask(glyph, BUTTON_SIZE, (GLYPH_ORIGIN[0], GLYPH_ORIGIN[1] + dy))
    paint(image, colour, symbol)
    shown = ImageChops.lighter(shown, symbol)
    # A visible pixel must never read as the transparent colour.
    lift = lambda p: p if max(p) >= max(DARKEST_VISIBLE) else DARKEST_VISIBLE
    out = Image.new('RGB', BUTTON_SIZE)
    out.putdata([lift(p) if m else TRANSPARENT for p, m in zip(image.getdata(), shown.getdata())])
    return out


BUTTON_STATES = ('normal', 'pressed', 'hover', 'disabled')   # resource order


# ==========================================================================
# Tray window, download cells, icon

def tray_background():
    w, h = TRAY_SIZE
    image = gradient(TRAY_SIZE, PAPER, mix(PAPER, PAPER_FOOT, 0.5))
    draw = ImageDraw.Draw(image)
    foot_top = TRAY_LINK_TOP - 8
    draw.rectangle((0, foot_top, w - 1, h - 1), fill=PAPER_FOOT)
    draw.line((0, foot_top, w - 1, foot_top), fill=PAPER_LINE)
    draw.rectangle((0, 0, w - 1, h - 1), outline=PAPER_BORDER)
    image.paste(gradient((w, 3), MARK_DARK, PERCENT_RED, left_right=True), (0, 0))
    # The small mark at the start of the link line.
    icon = icon_image(16)
    image.paste(icon.convert('RGB'), (20, TRAY_LINK_TOP + 1), icon)
    # The close glyph at rest; the close picture covers it under the mouse.
    cx, cy = TRAY_CLOSE_POS[0] + TRAY_CLOSE_SIZE // 2, TRAY_CLOSE_POS[1] + TRAY_CLOSE_SIZE // 2
    paint(image, CLOSE_GLYPH, coverage(TRAY_SIZE, lambda d, s: close_cross(d, s, cx, cy)))
    return image


def close_cross(d, s, cx, cy):
    r = 3.5
    for sign in (1, -1):
        d.line(((cx + 0.5 - r) * s, (cy + 0.5 - sign * r) * s, (cx + 0.5 + r) * s, (cy + 0.5 + sign * r) * s),
               fill=255, width=round(1.4 * s))


def tray_close(background):
    x, y = TRAY_CLOSE_POS
    n = TRAY_CLOSE_SIZE
    image = background.crop((x, y, x + n, y + n))
    paint(image, PERCENT_RED, coverage((n, n), lambda d, s: rounded_box(d, s, (0, 0, n, n), 3)))
    paint(image, WHITE, coverage((n, n), lambda d, s: close_cross(d, s, n // 2, n // 2)))
    return image


def cell(filled):
    n = CELL_SIZE
    image = Image.new('RGB', (n, n), WHITE)
    d = ImageDraw.Draw(image)
    # The outer ring is the white gap; neighbours overlap on it.
    if filled:
        d.rectangle((1, 1, n - 2, n - 2), fill=CELL_FULL, outline=CELL_FULL_EDGE)
        d.line((2, 2, n - 3, 2), fill=CELL_FULL_SHINE)
    else:
        d.rectangle((1, 1, n - 2, n - 2), fill=CELL_EMPTY, outline=CELL_EMPTY_EDGE)
    return image


def icon_image(size):
    """RGBA icon at one size: the mark on a transparent ground; drawn by hand
    at 16 pixels."""
    face, disc, arrow = mark((size, size), (size / 2, size / 2), size / 2)
    if size == 16:
        arrow = pixel_mask(ICON_16_ARROW, (size, size))
    paint(face, WHITE, arrow)
    icon = face.convert('RGBA')
    icon.putalpha(disc)
    return icon


# ==========================================================================
# File writers: exactly the bytes the window code expects

def nearest_palette(images, reserved, colours=256):
    """One palette for all frames: the reserved colours first, the rest from
    Pillow's quantiser over all frames together."""
    w, h = images[0].size
    sheet = Image.new('RGB', (w, h * len(images)))
    for i, image in enumerate(images):
        sheet.paste(image, (0, i * h))
    free = colours - len(reserved)
    # libimagequant spends the colours where the eye sees them; Pillow builds
    # without it fall back to median cut.
    method = Image.Quantize.LIBIMAGEQUANT if features.check('libimagequant') else Image.Quantize.MEDIANCUT
    quantised = sheet.quantize(free, method=method, dither=Image.Dither.NONE)
    found = quantised.getpalette()[:3 * free]
    palette = list(reserved)
    for i in range(0, len(found), 3):
        c = tuple(found[i:i + 3])
        if c not in palette:
            palette.append(c)
    return palette


def remap(image, palette):
    """Index of the nearest palette colour for every pixel, exact colours kept."""
    cache = {c: i for i, c in reversed(list(enumerate(palette)))}
    out = bytearray()
    for p in image.getdata():
        i = cache.get(p)
        if i is None:
            i = min(range(len(palette)), key=lambda k: (palette[k][0] - p[0]) ** 2 * 3
                    + (palette[k][1] - p[1]) ** 2 * 4 + (palette[k][2] - p[2]) ** 2 * 2)
            cache[p] = i
        out.append(i)
    return bytes(out)


def lzw(indices, min_code_size):
    """GIF LZW compression, codes packed least significant bit first."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out = bytearray()
    bits = nbits = 0
    code_size = min_code_size + 1

    def put(code):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += code_size
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8
    table = {}
    next_code = end + 1
    put(clear)
    prefix = None
    for value in indices:
        if prefix is None:
            prefix = value
            continue
        key = (prefix, value)
        code = table.get(key)
        if code is not None:
            prefix = code
            continue
        put(prefix)
        if next_code < 4096:
            table[key] = next_code
            next_code += 1
            if next_code > (1 << code_size) and code_size < 12:
                code_size += 1
        else:
            put(clear)
            table.clear()
            next_code = end + 1
            code_size = min_code_size + 1
        prefix = value
    if prefix is not None:
        put(prefix)
    put(end)
    if nbits:
        out.append(bits & 0xFF)
    return bytes(out)


def write_gif(path, frames, delay=None, reserved=()):
    """GIF89a with one global colour table and full frames; animated when
    there are several frames (looping, 'leave in place' disposal)."""
    palette = nearest_palette(frames, list(reserved), 256)
    table_bits = max(1, (len(palette) - 1).bit_length())
    palette += [palette[0]] * ((1 << table_bits) - len(palette))
    w, h = frames[0].size
    data = bytearray(b'GIF89a' + struct.pack('<HHBBB', w, h, 0xF0 | (table_bits - 1), 0, 0))
    for c in palette:
        data += bytes(c)
    if len(frames) > 1:
        data += b'\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00'
    min_code_size = max(2, table_bits)
    indices = []
    for frame in frames:
        pixels = remap(frame, palette)
        indices.append(pixels)
        if len(frames) > 1:
            data += b'\x21\xF9\x04' + struct.pack('<BHBB', 1 << 2, delay, 0, 0)
        data += b'\x2C' + struct.pack('<HHHHB', 0, 0, w, h, 0) + bytes([min_code_size])
        packed = lzw(pixels, min_code_size)
        for i in range(0, len(packed), 255):
            chunk = packed[i:i + 255]
            data += bytes([len(chunk)]) + chunk
        data += b'\x00'
    data += b'\x3B'
    with open(path, 'wb') as f:
        f.write(data)
    return palette, indices


def dib_rows(image, bytes_per_pixel, pixel):
    w, h = image.size
    stride = (w * bytes_per_pixel + 3) & ~3
    rows = bytearray()
    px = image.load()
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for x in range(w):
            row += pixel(px[x, y])
        rows += row + b'\0' * (stride - len(row))
    return bytes(rows)


def write_bmp(path, image):
    """24-bit uncompressed Windows bitmap."""
    w, h = image.size
    rows = dib_rows(image, 3, lambda p: bytes((p[2], p[1], p[0])))
    header = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(rows), 3780, 3780, 0, 0)
    with open(path, 'wb') as f:
        f.write(b'BM' + struct.pack('<IHHI', 14 + len(header) + len(rows), 0, 0, 14 + len(header)))
        f.write(header + rows)


def write_ico(path, images):
    """Icon file of 32-bit images with alpha (and the matching AND mask)."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for image in images:
        w, h = image.size
        colour = dib_rows(image, 4, lambda p: bytes((p[2], p[1], p[0], p[3])))
        mask_stride = ((w + 31) // 32) * 4
        mask = bytearray()
        px = image.load()
        for y in range(h - 1, -1, -1):
            row = bytearray(mask_stride)
            for x in range(w):
                if px[x, y][3] == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += row
        header = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
        blob = header + colour + bytes(mask)
        entries.append(struct.pack('<BBBBHHII', w % 256, h % 256, 0, 0, 1, 32, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    with open(path, 'wb') as f:
        f.write(struct.pack('<HHH', 0, 1, len(images)) + b''.join(entries) + b''.join(blobs))


def check_percent_panel(palette, indices):
    """Around the percent label the background must be exactly the label's
    red, in every frame, or the text would sit in a box of another colour."""
    red = palette.index(PERCENT_RED)
    x, y, w, h = PERCENT_LABEL
    for frame in indices:
        for yy in range(y - 5, y + h + 5):
            row = frame[yy * WINDOW_SIZE[0]:(yy + 1) * WINDOW_SIZE[0]]
            if any(row[xx] != red for xx in range(x - 5, x + w + 6)):
                sys.exit(f'make_pictures: the percent panel is not plain red on line {yy}')


def main(argv):
    if len(argv) not in (2, 4) or (len(argv) == 4 and argv[2] != '--preview'):
        sys.exit(__doc__)
    out = argv[1]
    preview = argv[3] if len(argv) == 4 else None
    os.makedirs(out, exist_ok=True)
    previews = {}

    frames = background_frames()
    palette, indices = write_gif(os.path.join(out, 'background.gif'), frames, BACKGROUND_DELAY, [PERCENT_RED])
    check_percent_panel(palette, indices)
    # What the window will show, to fit the bar and buttons onto it.
    shown = Image.frombytes('P', WINDOW_SIZE, indices[0])
    shown.putpalette([v for c in palette for v in c])
    shown = shown.convert('RGB')
    previews['background'] = frames

    bar = bar_frames(shown)
    under_bar = shown.crop((BAR_POS[0], BAR_POS[1], BAR_POS[0] + BAR_SIZE[0], BAR_POS[1] + BAR_SIZE[1]))
    write_gif(os.path.join(out, 'bar.gif'), bar, BAR_DELAY, sorted(set(under_bar.getdata())))
    previews['bar'] = bar

    for name, glyph, pos in (('minimise', MINIMISE_GLYPH, MINIMISE_BUTTON_POS),
                             ('hide', HIDE_GLYPH, HIDE_BUTTON_POS)):
        behind = shown.crop((pos[0], pos[1], pos[0] + BUTTON_SIZE[0], pos[1] + BUTTON_SIZE[1]))
        for state in BUTTON_STATES:
            picture = button_picture(behind, glyph, state)
            write_gif(os.path.join(out, f'{name}_{state}.gif'), [picture], reserved=[TRANSPARENT])
            previews[f'{name}_{state}'] = [picture]

    tray = tray_background()
    write_bmp(os.path.join(out, 'tray_background.bmp'), tray)
    close = tray_close(tray)
    write_bmp(os.path.join(out, 'tray_close.bmp'), close)
    write_bmp(os.path.join(out, 'cell_empty.bmp'), cell(False))
    write_bmp(os.path.join(out, 'cell_filled.bmp'), cell(True))
    icons = [icon_image(n) for n in ICON_SIZES]
    write_ico(os.path.join(out, 'novamend.ico'), icons)
    previews.update(tray=[tray], tray_close=[close], cell_empty=[cell(False)], cell_filled=[cell(True)])
    previews.update({f'icon{n}': [i] for n, i in zip(ICON_SIZES, icons)})

    if preview:
        os.makedirs(preview, exist_ok=True)
        for name, images in previews.items():
            w, h = images[0].size
            sheet = Image.new(images[0].mode, (w, (h + 2) * len(images) - 2))
            for i, image in enumerate(images):
                sheet.paste(image, (0, i * (h + 2)))
            sheet.save(os.path.join(preview, name + '.png'))


if __name__ == '__main__':
    main(sys.argv)

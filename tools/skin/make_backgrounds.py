#!/usr/bin/env python3
"""Writes the SVG sources of the skin's raster backgrounds into OUT_DIR:
BkViewInit, InstallBk0..2 (the frames the install view cycles through) and
BkViewComplete, each 600 x 460 with a transparent margin and a soft shadow
around the white card. They are rendered by skin_tool at every DPI.

    make_backgrounds.py OUT_DIR
"""
import math
import os
import sys

W, H = 600, 460
CARD = (10, 6, 580, 442)  # x, y, width, height
RADIUS = 8
ACCENT = ('#27D08A', '#0EB4A0')  # the one accent gradient, brand green to teal


def shadow():
    x, y, w, h = CARD
    layers = []
    for i in range(10, 0, -1):  # outer first, faint: a soft falloff
        layers.append(f'<rect x="{x - i}" y="{y - i + 3}" width="{w + 2 * i}" height="{h + 2 * i}" '
                      f'rx="{RADIUS + i}" fill="#0E3B2C" fill-opacity="0.016"/>')
    return '\n'.join(layers)


def band(bottom, sag):
    """The accent header: the card's top with a softly curved lower edge."""
    x, y, w, _ = CARD
    r = RADIUS
    return (f'<path d="M{x},{y + r} a{r},{r} 0 0 1 {r},{-r} h{w - 2 * r} a{r},{r} 0 0 1 {r},{r} '
            f'V{bottom} Q{x + w / 2},{bottom + 2 * sag} {x},{bottom} Z" fill="url(#accent)"/>')


def sparkle(cx, cy, s, opacity=1.0):
    k = s * 0.28
    return (f'<path d="M{cx},{cy - s} Q{cx + k},{cy - k} {cx + s},{cy} Q{cx + k},{cy + k} {cx},{cy + s} '
            f'Q{cx - k},{cy + k} {cx - s},{cy} Q{cx - k},{cy - k} {cx},{cy - s} Z" fill="#FFFFFF" '
            f'fill-opacity="{opacity}"/>')


def decor(clip_bottom):
    """Large faint rings inside the header, clipped to it."""
    return ('<g clip-path="url(#bandclip)">'
            '<circle cx="548" cy="26" r="120" fill="#FFFFFF" fill-opacity="0.07"/>'
            '<circle cx="548" cy="26" r="78" fill="#FFFFFF" fill-opacity="0.05"/>'
            f'<circle cx="34" cy="{clip_bottom - 20}" r="96" fill="#FFFFFF" fill-opacity="0.06"/>'
            '</g>')


def sweep_mark(cx, cy, size, colour):
    """The product's mark: a sweeping stroke with a spark, drawn in a size x size box."""
    u = size / 16.0
    ox, oy = cx - size / 2, cy - size / 2
    p = lambda X, Y: f'{ox + X * u:.2f},{oy + Y * u:.2f}'
    return (f'<path d="M{p(2.8, 12.4)} C{p(7.2, 12.6)} {p(10.6, 9.4)} {p(12.4, 3.4)}" fill="none" stroke="{colour}" '
            f'stroke-width="{2 * u:.2f}" stroke-linecap="round"/>'
            f'<path d="M{p(3.2, 8.6)} L{p(6.2, 8.2)}" fill="none" stroke="{colour}" stroke-opacity="0.55" '
            f'stroke-width="{1.5 * u:.2f}" stroke-linecap="round"/>'
            + sparkle_col(ox + 12.6 * u, oy + 12.2 * u, 2.1 * u, colour))


def sparkle_col(cx, cy, s, colour):
    return sparkle(cx, cy, s).replace('fill="#FFFFFF"', f'fill="{colour}"')


# A monoline wordmark: strokes in a cap height of 24 units, x-height 16.
GLYPHS = {
    'K': (16, 'M1,0 V24 M15,0 L3.2,12.6 M7,8.6 L16,24'),
    'W': (22, 'M0,0 L5.5,24 L11,5 L16.5,24 L22,0'),
    'S': (15, 'M14.2,4.2 C12.8,1.4 10.5,0 7.6,0 C3.8,0 1.2,2.3 1.2,5.9 C1.2,10.2 5.4,11.1 8.2,11.9 '
              'C11.6,12.9 14.8,14.3 14.8,18.2 C14.8,21.8 11.8,24 7.8,24 C4.6,24 2,22.6 0.6,19.6'),
    'w': (18, 'M0,8 L4.2,24 L9,10.5 L13.8,24 L18,8'),
    'e': (15, 'M1.2,16.4 H14.6 C14.6,11.5 11.8,8 7.9,8 C3.9,8 1,11.5 1,16 C1,20.6 4,24 8.2,24 '
              'C10.9,24 12.9,22.9 14.2,20.9'),
    'p': (15, 'M1.4,8 V31.5 M1.4,16 C1.4,11.2 4.3,8 8.1,8 C11.9,8 14.6,11.4 14.6,16 C14.6,20.6 11.9,24 8.1,24 '
              'C4.3,24 1.4,20.8 1.4,16'),
}


def wordmark(text, cx, top, scale, colour):
    gap = 5.5
    width = sum(GLYPHS[c][0] for c in text) + gap * (len(text) - 1)
    x = cx - width * scale / 2
    parts = []
    for c in text:
        w, d = GLYPHS[c]
        parts.append(f'<path transform="translate({x:.2f},{top}) scale({scale})" d="{d}"/>')
        x += (w + gap) * scale
    return (f'<g fill="none" stroke="{colour}" stroke-width="{3.3 / scale * scale:.2f}" stroke-linecap="round" '
            f'stroke-linejoin="round">' + ''.join(parts) + '</g>')


def emblem(cx, cy, size):
    r = size * 0.26
    h = size / 2
    return (f'<rect x="{cx - h}" y="{cy - h + 4}" width="{size}" height="{size}" rx="{r}" fill="#075C49" '
            f'fill-opacity="0.16"/>'
            f'<rect x="{cx - h}" y="{cy - h}" width="{size}" height="{size}" rx="{r}" fill="#FFFFFF"/>'
            + sweep_mark(cx, cy, size * 0.7, '#1FC880'))


def document(band_bottom, sag, content):
    x, y, w, h = CARD
    a, b = ACCENT
    defs = (f'<linearGradient id="accent" x1="0" y1="0" x2="1" y2="1" gradientUnits="objectBoundingBox">'
            f'<stop offset="0" stop-color="{a}"/><stop offset="1" stop-color="{b}"/></linearGradient>'
            f'<clipPath id="bandclip"><path d="M{x},{y + RADIUS} a{RADIUS},{RADIUS} 0 0 1 {RADIUS},{-RADIUS} '
            f'h{w - 2 * RADIUS} a{RADIUS},{RADIUS} 0 0 1 {RADIUS},{RADIUS} V{band_bottom} '
            f'Q{x + w / 2},{band_bottom + 2 * sag} {x},{band_bottom} Z"/></clipPath>')
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{W}" height="{H}" viewBox="0 0 {W} {H}">\n'
            f'<defs>{defs}</defs>\n{shadow()}\n'
            f'<rect x="{x}" y="{y}" width="{w}" height="{h}" rx="{RADIUS}" fill="#FFFFFF"/>\n'
            f'{band(band_bottom, sag)}\n{decor(band_bottom)}\n{content}\n</svg>\n')


def init_view():
    content = [emblem(300, 92, 68), wordmark('KWSweep', 300, 148, 1.0, '#FFFFFF'),
               sparkle(132, 74, 7, 0.85), sparkle(154, 104, 3.5, 0.6), sparkle(462, 150, 5, 0.75),
               sparkle(438, 70, 3, 0.55)]
    return document(218, 10, '\n'.join(content))


def install_frame(index):
    """A cleaning ring around the mark: the bright arc and the sparks move on each frame."""
    cx, cy, r = 300, 150, 70
    start = -90 + index * 120
    arc = []
    for k, (length, opacity, width) in enumerate([(110, 1.0, 6), (40, 0.45, 6)]):
        a0 = math.radians(start - k * 150)
        a1 = math.radians(start - k * 150 + length)
        x0, y0 = cx + r * math.cos(a0), cy + r * math.sin(a0)
        x1, y1 = cx + r * math.cos(a1), cy + r * math.sin(a1)
        arc.append(f'<path d="M{x0:.2f},{y0:.2f} A{r},{r} 0 0 1 {x1:.2f},{y1:.2f}" fill="none" stroke="#FFFFFF" '
                   f'stroke-opacity="{opacity}" stroke-width="{width}" stroke-linecap="round"/>')
    sparks = [(186, 96, 6), (420, 204, 5), (404, 84, 3.5), (204, 218, 4), (236, 58, 3)]
    twinkle = []
    for n, (x, y, s) in enumerate(sparks):
        phase = (n + index) % 3
        twinkle.append(sparkle(x, y, s * (1.0, 0.7, 0.45)[phase], (0.9, 0.6, 0.35)[phase]))
    content = [f'<circle cx="{cx}" cy="{cy}" r="{r}" fill="none" stroke="#FFFFFF" stroke-opacity="0.2" '
               f'stroke-width="6"/>', *arc, emblem(cx, cy, 84), *twinkle]
    return document(284, 10, '\n'.join(content))


def complete_view():
    cx, cy = 300, 66
    content = [f'<circle cx="{cx}" cy="{cy + 4}" r="30" fill="#075C49" fill-opacity="0.16"/>',
               f'<circle cx="{cx}" cy="{cy}" r="30" fill="#FFFFFF"/>',
               f'<path d="M{cx - 12},{cy + 1} l8,8 l16,-17" fill="none" stroke="#1FC880" stroke-width="5" '
               f'stroke-linecap="round" stroke-linejoin="round"/>',
               sparkle(244, 44, 5, 0.8), sparkle(360, 96, 4, 0.65), sparkle(372, 36, 3, 0.55),
               # the frame the QR code sits in
               '<rect x="211.5" y="169.5" width="177" height="177" rx="8" fill="#FFFFFF" stroke="#E3E8EC"/>']
    return document(150, 9, '\n'.join(content))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    docs = {'BkViewInit': init_view(), 'BkViewComplete': complete_view()}
    for i in range(3):
        docs[f'InstallBk{i}'] = install_frame(i)
    for name, text in docs.items():
        path = os.path.join(out, name + '.svg')
        with open(path, 'w') as f:
            f.write(text)


if __name__ == '__main__':
    main()

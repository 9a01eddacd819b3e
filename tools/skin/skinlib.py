"""The installer's rules for skin geometry and image descriptors, as the
skin's checks and the preview need them: DPI scaling (halves away from zero,
rectangles by left, top, width and height), descriptor pairs in key order,
DPI variants, per-DPI source and dest overrides and SVG render sizes."""
import math
import re

SCALES = (100, 125, 150, 175, 200)


def scale(value, pct):
    n = value * pct
    q = (abs(n) * 2 + 100) // 200
    return q if n >= 0 else -q


def scale_rect(rect, pct):
    l, t, r, b = rect
    left, top = scale(l, pct), scale(t, pct)
    return (left, top, left + scale(r - l, pct), top + scale(b - t, pct))


def int_list(text, count=4):
    """Integers split at every character that is neither a digit nor '-'."""
    values = []
    for part in re.split(r'[^0-9-]', text):
        m = re.match(r'-?\d+', part)
        values.append(int(m.group(0)) if m else 0)
    values = (values + [0] * count)[:count]
    return tuple(values)


def pairs(descriptor):
    """key='value' pairs; None for a bare file name."""
    found = re.findall(r"([A-Za-z0-9]+)\s*=\s*(?:'([^']*)'|\"([^\"]*)\")", descriptor)
    if not found:
        return None
    return {k: a if a or not b else b for k, a, b in found}


def svg_render_size(doc_w, doc_h, pct):
    s = pct / 100
    return math.trunc(math.trunc(doc_w) * s), math.trunc(math.trunc(doc_h) * s)


class Resolved:
    """A descriptor resolved for one scale: the file to load, its render
    scale, and source and dest rectangles (None = whole image / control)."""

    def __init__(self, name, render_pct, source, dest, variant):
        self.name, self.render_pct, self.source, self.dest, self.variant = name, render_pct, source, dest, variant


def resolve(descriptor, pct, has_entry, modifier=''):
    """has_entry(name) tells whether the archive holds a non-empty entry;
    the modifier's pairs apply after the descriptor's."""
    name = descriptor
    p = {}
    for text in (descriptor, modifier):
        found = pairs(text) or {}
        for key in sorted(found):
            if key in ('file', 'res'):
                name = found[key]
    for text in (descriptor, modifier):
        p.update(pairs(text) or {})
    variant = False
    if pct != 100 and '.' in name:
        candidate = name.replace('.', f'@{pct}.', 1)
        if '.svg' in candidate or has_entry(candidate):
            name, variant = candidate, True
    source = dest = None
    for key in sorted(p):
        value = p[key]
        if key == 'dest':
            dest = scale_rect(int_list(value), pct)
        elif key == f'dest{pct}':
            dest = int_list(value)
        elif key == 'source':
            source = int_list(value)
            if variant:
                source = scale_rect(source, pct)
        elif key == f'source{pct}':
            source = int_list(value)
    render_pct = 100
    if '.svg' in name and '@' in name:
        at, dot = name.index('@'), name.index('.')
        digits = name[at + 1:dot]
        if at < dot and digits.isdigit():
            render_pct = int(digits)
            name = name[:at] + name[dot:]
    return Resolved(name, render_pct, source, dest, variant)


def place(dest, item):
    """Where a descriptor draws inside a control's rectangle (x, y, w, h)."""
    x, y, w, h = item
    if not dest or dest == (0, 0, 0, 0):
        return item
    l, t, r, b = dest
    if r < 0:
        left, right = x + w + l, x + w + r
    else:
        left, right = x + l, min(x + w, x + r)
    if b < 0:
        top, bottom = y + h + t, y + h + b
    else:
        top, bottom = y + t, min(y + h, y + b)
    return (left, top, right - left, bottom - top)


def clamp_source(source, image_w, image_h):
    if not source or source == (0, 0, 0, 0):
        return (0, 0, image_w, image_h)
    l, t, r, b = source
    return (l, t, min(r, image_w), min(b, image_h))


def sprite_window(cell, pct, image_w, image_h):
    """The pixels to take for one sprite cell at a scale: the scaled
    rectangle, moved back inside the rendered image where rounding would
    push it past the edge (the source<S> overrides)."""
    l, t, r, b = scale_rect(cell, pct)
    shift_x, shift_y = max(0, r - image_w), max(0, b - image_h)
    return (l - shift_x, t - shift_y, r - shift_x, b - shift_y)

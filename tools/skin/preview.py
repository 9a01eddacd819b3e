#!/usr/bin/env python3
"""A rough preview of the shipped skin: lays out Layout.xml the way the
framework does (fixed sizes, paddings, centring, floats, shared widths),
resolves every image descriptor at the scale and lets skin_tool compose the
backgrounds, sprites and text boxes. Text is WenQuanYi Micro Hei, as under
Wine. Prints a line for every text that does not fit its box.

    preview.py SKIN_TOOL SKIN_DIR OUT_DIR [PERCENT...]
writes OUT_DIR/<view>@<percent>.png for the views initial, install, complete.
"""
import os
import subprocess
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import skinlib  # noqa: E402

# What the preview fills in for the running dialog.
SAMPLE = {'$global_install_path$': 'C:\\Program Files (x86)\\KWSweep'}
PROGRESS_VALUE = 75
# Texts the dialog writes at run time, checked against their boxes too.
RUNTIME_TEXT = {'LabelInstallValue': '安装中...  (100％)'}
VIEWS = ('initial', 'install', 'complete')


class Measurer:
    def __init__(self, tool):
        self.tool, self.cache = tool, {}

    def width(self, px, text):
        key = (px, text)
        if key not in self.cache:
            out = subprocess.run([self.tool, 'measure'], input=f'{px}\t{text}\n', capture_output=True,
                                 text=True, check=True).stdout.split()
            self.cache[key] = float(out[0])
        return self.cache[key]


class Preview:
    def __init__(self, tool, skin, pct):
        self.tool, self.skin, self.pct = tool, skin, pct
        self.measure = Measurer(tool)
        self.fonts = {}
        for f in ET.parse(os.path.join(skin, 'font.xml')).getroot().iter('Font'):
            self.fonts[int(f.get('id'))] = (int(f.get('size', 12)), f.get('bold') == 'true',
                                            f.get('underline') == 'true')
        self.lines = []
        self.fits = True

    def s(self, v):
        return skinlib.scale(v, self.pct)

    def has_entry(self, name):
        path = os.path.join(self.skin, name)
        return os.path.isfile(path) and os.path.getsize(path) > 0

    # --- geometry -----------------------------------------------------------
    def fixed(self, node, key):
        if key in node.attrib:
            return int(node.get(key))
        if 'pos' in node.attrib:
            l, t, r, b = skinlib.int_list(node.get('pos'))
            return max(0, (r - l) if key == 'width' else (b - t))
        return 0

    def padding(self, node):
        p = skinlib.int_list(node.get('padding', '0,0,0,0'))
        return skinlib.scale_rect(p, self.pct) if node.get('DPIPadding', 'true') != 'false' else p

    def font(self, node, attr='font'):
        fid = int(node.get(attr, '0'))
        size, bold, underline = self.fonts.get(fid, self.fonts[0])
        return self.s(size), bold, underline

    def text_padding(self, node):
        p = skinlib.int_list(node.get('textpadding', '0,0,0,0'))
        if node.tag == 'RichEdit' and node.get('RichEditDpiTextPadding') != 'true':
            return p
        return skinlib.scale_rect(p, self.pct)

    def estimate(self, node):
        w, h = self.s(self.fixed(node, 'width')), self.s(self.fixed(node, 'height'))
        if w == 0 and node.get('autocalcwidth') == 'true':
            if node.tag == 'HorizontalLayout':
                w = sum(self.s(self.fixed(c, 'width')) for c in node if c.get('float') != 'true')
            else:
                px, _, _ = self.font(node)
                pad = self.text_padding(node)
                text = node.get('text', '')
                w = int(self.measure.width(px, text) + 0.5) + 1 + pad[0] + pad[2]
        return w, h

    def layout(self, node, rect, out, tab_index):
        """rect = (x, y, w, h); collects (node, rect) of visible nodes in paint order."""
        if node.get('visible') == 'false':
            return
        out.append((node, rect))
        x, y, w, h = rect
        inset = skinlib.int_list(node.get('inset', '0,0,0,0'))
        if node.tag not in ('TabLayout', 'RichEdit') and node.get('DPIInset') != 'false':
            inset = skinlib.scale_rect(inset, self.pct)
        cx, cy = x + inset[0], y + inset[1]
        cw, ch = w - inset[0] - inset[2], h - inset[1] - inset[3]
        kids = [c for c in node if c.tag not in ('Include', 'Font') and c.get('visible') != 'false']
        flow = [c for c in kids if c.get('float') != 'true']
        if node.tag == 'TabLayout':
            flow = [flow[tab_index]]
        if node.tag in ('HorizontalLayout', 'VerticalLayout'):
            self.line_layout(node, flow, (cx, cy, cw, ch), out, tab_index)
        else:
            for c in flow:
                self.layout(c, self.centred(c, (cx, cy, cw, ch), rect), out, tab_index)
        for c in kids:
            if c.get('float') == 'true':
                self.layout(c, self.float_rect(c, rect), out, tab_index)

    def float_rect(self, c, parent):
        x, y, w, h = parent
        cw, ch = self.estimate(c)
        align = c.get('floatalign', '')
        px, py = skinlib.int_list(c.get('pos', '0,0,0,0'))[:2]
        fx = (w - cw) // 2 if 'center' in align.split(',') else w - cw if 'right' in align else self.s(px)
        fy = (h - ch) // 2 if 'vcenter' in align else h - ch if 'bottom' in align else self.s(py)
        return (x + fx, y + fy, cw, ch)

    def centred(self, c, rect, parent):
        x, y, w, h = rect
        px, py, pw, ph = parent
        if c.get('horzpaddingcenter') == 'true':
            x = px + pw // 2 - w // 2
        if c.get('vertpaddingcenter') == 'true':
            y = py + ph // 2 - h // 2
        return (x, y, w, h)

    def line_layout(self, node, flow, content, out, tab_index):
        horizontal = node.tag == 'HorizontalLayout'
        cx, cy, cw, ch = content
        gap = int(node.get('childpadding', '0').split(',')[0])
        sizes = [self.estimate(c) for c in flow]
        pads = [self.padding(c) for c in flow]
        main = [(s[0] if horizontal else s[1]) for s in sizes]
        along = [(p[0] + p[2]) if horizontal else (p[1] + p[3]) for p in pads]
        adjustable = [i for i, m in enumerate(main) if m == 0]
        fixed_total = sum(main) + sum(along) + gap * max(0, len(flow) - 1)
        space = (cw if horizontal else ch) - fixed_total
        share = max(0, space // len(adjustable)) if adjustable else 0
        pos = cx if horizontal else cy
        for i, c in enumerate(flow):
            m = main[i]
            if m == 0:
                m = share if i != adjustable[-1] else max(0, space - share * (len(adjustable) - 1))
            p = pads[i]
            if horizontal:
                hh = sizes[i][1] or ch - p[1] - p[3]
                r = (pos + p[0], cy + p[1], m, hh)
                pos += m + p[0] + p[2] + gap
            else:
                ww = sizes[i][0] or cw - p[0] - p[2]
                r = (cx + p[0], pos + p[1], ww, m)
                pos += m + p[1] + p[3] + gap
            self.layout(c, self.centred(c, r, self.rect_of(node, out)), out, tab_index)

    @staticmethod
    def rect_of(node, out):
        for n, r in reversed(out):
            if n is node:
                return r
        raise KeyError(node.tag)

    # --- painting -----------------------------------------------------------
    def image(self, descriptor, item, clip, modifier=''):
        if not descriptor:
            return
        resolved = skinlib.resolve(descriptor, self.pct, self.has_entry, modifier)
        path = os.path.join(self.skin, resolved.name)
        dest = skinlib.place(resolved.dest, item)
        src = resolved.source or (0, 0, 0, 0)
        src_wh = (src[0], src[1], src[2] - src[0], src[3] - src[1]) if src != (0, 0, 0, 0) else (0, 0, 0, 0)
        self.lines.append('\t'.join(['image', path, str(resolved.render_pct / 100), ' '.join(map(str, src_wh)),
                                     ' '.join(map(str, dest)), ' '.join(map(str, clip))]))

    def runtime_fits(self, node, item):
        text = RUNTIME_TEXT.get(node.get('name'))
        if not text:
            return True
        px, _, _ = self.font(node)
        pad = self.text_padding(node)
        width = self.measure.width(px, text)
        if width > item[2] - pad[0] - pad[2]:
            print(f'overflow at {self.pct} % px {px} in {item[2]}x{item[3]}: {text}')
            return False
        return True

    def text(self, node, item, clip, font_attr='font', colour_attr='textcolor'):
        self.fits &= self.runtime_fits(node, item)
        text = node.get('text', '')
        for k, v in SAMPLE.items():
            text = text.replace(k, v)
        if not text:
            return
        px, bold, underline = self.font(node, font_attr)
        pad = self.text_padding(node)
        x, y, w, h = item
        box = (x + pad[0], y + pad[1], w - pad[0] - pad[2], h - pad[1] - pad[3])
        if node.tag == 'RichEdit':
            box = (box[0], box[1], box[2] - int(node.get('inset', '0,0,0,0').split(',')[2]), box[3])
        colour = node.get(colour_attr, node.get('textcolor', '#FF000000')).lstrip('#').replace('0x', '')
        if len(colour) == 6:
            colour = 'FF' + colour
        align = node.get('align', 'left')[0]
        self.lines.append('\t'.join(['text', str(px), '1' if bold else '0', '1' if underline else '0', colour,
                                     ' '.join(map(str, box)), align, node.get('name', node.tag), text]))

    def paint(self, node, rect, clip):
        tag = node.tag
        self.image(node.get('bkimage'), rect, clip)
        if tag in ('Button', 'Option', 'RichEdit'):
            if tag == 'Option' and node.get('selected') == 'true':
                self.image(node.get('selectedimage'), rect, clip)
            else:
                self.image(node.get('normalimage'), rect, clip)
        if tag == 'Progress' and node.get('foreimage'):
            lo, hi = int(node.get('min', '0')), int(node.get('max', '100'))
            filled = rect[2] * (PROGRESS_VALUE - lo) // (hi - lo)
            r = round(filled * 100 / self.pct)
            mod = f"dest='0,0,{r},{round(rect[3] * 100 / self.pct)}'"
            if node.get('isstretchfore') == 'false':
                mod += f" source='0,0,{r},{round(rect[3] * 100 / self.pct)}'"
            self.image(node.get('foreimage'), rect, clip, mod)
        if tag in ('Label', 'Button', 'Option', 'RichEdit'):
            self.text(node, rect, clip)

    def render(self, view, out_path):
        root = ET.parse(os.path.join(self.skin, 'Layout', 'Layout.xml')).getroot()
        W, H = [self.s(v) for v in skinlib.int_list(root.get('size'), 2)]
        top = [c for c in root if c.tag not in ('Include', 'Font')][0]
        placed = []
        self.layout(top, (0, 0, W, H), placed, VIEWS.index(view))
        parents = {c: p for p in root.iter() for c in p}
        clips = {}
        for node, rect in placed:
            parent = parents.get(node)
            clip = rect
            if parent in clips and node.get('float') != 'true':
                px, py, pw, ph = clips[parent]
                x0, y0 = max(px, rect[0]), max(py, rect[1])
                x1, y1 = min(px + pw, rect[0] + rect[2]), min(py + ph, rect[1] + rect[3])
                clip = (x0, y0, max(0, x1 - x0), max(0, y1 - y0))
            clips[node] = clip
            self.paint(node, rect, clip)
        listing = out_path + '.list'
        with open(listing, 'w') as f:
            f.write('\n'.join(self.lines) + '\n')
        result = subprocess.run([self.tool, 'compose', listing, out_path, str(W), str(H)], capture_output=True,
                                text=True)
        sys.stdout.write(result.stdout)
        sys.stderr.write(result.stderr)
        return self.fits and result.returncode == 0 and not result.stdout.strip()


def main():
    tool, skin, out = sys.argv[1:4]
    percents = [int(p) for p in sys.argv[4:]] or [100, 150]
    os.makedirs(out, exist_ok=True)
    ok = True
    for pct in percents:
        for view in VIEWS:
            ok &= Preview(tool, skin, pct).render(view, os.path.join(out, f'{view}@{pct}.png'))
    sys.exit(0 if ok else 1)


if __name__ == '__main__':
    main()

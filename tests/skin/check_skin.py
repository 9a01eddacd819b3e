#!/usr/bin/env python3
"""Checks of the shipped skin archive as an installer carries it.

    check_skin.py images   SKIN_TOOL INSTALLER.exe
    check_skin.py controls INSTALLER.exe
    check_skin.py sprites  SKIN_TOOL INSTALLER.exe
    check_skin.py quickmark URL INSTALLER.exe
    check_skin.py same     SKIN_DIR INSTALLER.exe...

The archive is the installer's resource ZIP 249, taken out with 7-Zip."""
import io
import os
import re
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tools', 'skin'))
import skinlib  # noqa: E402

IMAGE_ATTRIBUTES = ('bkimage', 'foreimage', 'normalimage', 'hotimage', 'pushedimage', 'focusedimage',
                    'disabledimage', 'hotforeimage', 'pushedforeimage', 'stateimage', 'selectedimage',
                    'selectedhotimage', 'selectedpushedimage', 'selecteddisabledimage', 'selectedforeimage',
                    'selectedstateimage')
# Named by the dialog at run time rather than by the markup.
RUNTIME_IMAGES = ('Image/InstallBk0.png', 'Image/InstallBk1.png', 'Image/InstallBk2.png')
MISSING_ON_PURPOSE = 'Image/Redodi.png'

failures = []


def fail(message):
    failures.append(message)
    print('FAIL', message)


def skin_archive(installer):
    if installer.endswith('.zip'):  # an archive as it is
        return zipfile.ZipFile(installer)
    data = subprocess.run(['7zz', 'x', '-tpe', '-so', installer, '.rsrc/ZIP/249'], capture_output=True,
                          check=True).stdout
    if not data.startswith(b'PK'):
        sys.exit(f'{installer} carries no skin archive (resource ZIP 249)')
    return zipfile.ZipFile(io.BytesIO(data))


def entries(archive):
    return {i.filename: archive.read(i) for i in archive.infolist() if not i.is_dir()}


def layout(files):
    return ET.fromstring(files['Layout/Layout.xml'])


def png_size(data):
    if data[:8] != b'\x89PNG\r\n\x1a\n' or data[12:16] != b'IHDR':
        return None
    return struct.unpack('>II', data[16:24])


def descriptors(root):
    for node in root.iter():
        for attr in IMAGE_ATTRIBUTES:
            if node.get(attr):
                yield node, attr, node.get(attr)


def probe(tool, files, names):
    """skin_tool probe over the named SVG entries: name -> (doc w, h, [(w, h, visible)...])."""
    with tempfile.TemporaryDirectory() as tmp:
        paths = []
        for name in names:
            path = os.path.join(tmp, name.replace('/', '_'))
            with open(path, 'wb') as f:
                f.write(files[name])
            paths.append(path)
        out = subprocess.run([tool, 'probe', *paths], capture_output=True, text=True).stdout
    result = {}
    for name, path, line in zip(names, paths, out.splitlines()):
        fields = line.split()
        if fields[1] == 'unreadable':
            result[name] = None
            continue
        renders = [tuple(map(int, re.split('[x:]', f))) for f in fields[3:]]
        result[name] = (float(fields[1]), float(fields[2]), renders)
    return result


def check_images(tool, installer):
    files = entries(skin_archive(installer))
    root = layout(files)
    named = {skinlib.resolve(d, 100, lambda n: n in files).name for _, _, d in descriptors(root)}
    named |= set(RUNTIME_IMAGES)
    if MISSING_ON_PURPOSE not in named:
        fail(f'the markup no longer names {MISSING_ON_PURPOSE}')
    for name in sorted(named):
        if name == MISSING_ON_PURPOSE:
            if name in files:
                fail(f'{name} must stay out of the archive')
        elif not files.get(name):
            fail(f'{name} named by the markup is not in the archive')
    for name, data in sorted(files.items()):
        if not name.endswith('.png') or '@' in name:
            continue
        base = png_size(data)
        if not base:
            fail(f'{name} is not a PNG')
            continue
        for pct in skinlib.SCALES[1:]:
            variant = name.replace('.', f'@{pct}.', 1)
            size = png_size(files.get(variant, b''))
            want = (base[0] * pct / 100, base[1] * pct / 100)
            if not size:
                fail(f'{variant} missing')
            elif abs(size[0] - want[0]) > 1 or abs(size[1] - want[1]) > 1:
                fail(f'{variant} is {size[0]}x{size[1]}, wanted {want[0]:g}x{want[1]:g}')
    for name in files:
        m = re.match(r'(.*)@(\d+)(\..*)$', name)
        if m and m.group(1) + m.group(3) not in files:
            fail(f'{name} has no 100 % image')
    svgs = sorted(n for n in files if n.endswith('.svg'))
    for name, info in probe(tool, files, svgs).items():
        if info is None:
            fail(f'{name} does not parse with our renderer')
            continue
        w, h, renders = info
        for pct, (rw, rh, visible) in zip(skinlib.SCALES, renders):
            if (rw, rh) != skinlib.svg_render_size(w, h, pct) or visible == 0:
                fail(f'{name} at {pct} %: {rw}x{rh} with {visible} visible pixels')
    print(f'{len(named)} named images, {len(files)} entries, {len(svgs)} SVGs')


# Controls the dialog expects in the shipped skin: name, the elements whose
# classes pass its type test, the view it is looked up in, attributes.
CONTROLS = [
    ('TabMain', ('TabLayout',), None, {}),
    ('VertInitView', ('VerticalLayout',), None, {}),
    ('VertInstallView', ('VerticalLayout',), None, {'Tag': '2000'}),
    ('VertCompleteView', ('VerticalLayout',), None, {}),
    ('HorizCaptionBtn', ('HorizontalLayout',), None, {'float': 'true', 'pos': '0,10,0,0', 'width': '600',
                                                      'height': '24'}),
    ('BtnInstall', ('Button', 'Option', 'CheckBox'), 'VertInitView', {'width': '216', 'height': '38',
                                                                     'text': '快速安装', 'font': '2',
                                                                     'userdata': 'InstallBtn'}),
    ('EditInstallPath', ('RichEdit',), 'VertInitView', {'userdata': 'InstallPath', 'text': '$global_install_path$',
                                                        'textpadding': '15,8,0,8', 'textcolor': '#FF333333',
                                                        'RichEditDpiTextPadding': 'true',
                                                        'multiline': 'false'}),
    ('CheckLicence', ('Option', 'CheckBox'), 'VertInitView', {'userdata': 'LicenceChk', 'selected': 'true',
                                                             'text': '我已阅读并同意'}),
    ('ProgressInstall', ('Progress',), 'VertInstallView', {'width': '490', 'height': '16'}),
    ('LabelInstallValue', ('Label', 'Button', 'Option', 'CheckBox', 'Progress'), 'VertInstallView',
     {'width': '110', 'height': '19', 'font': '1', 'textcolor': '#FF333333'}),
    ('BtnStart', ('Button', 'Option', 'CheckBox'), 'VertCompleteView', {'width': '216', 'height': '38',
                                                                       'text': '立即体验', 'font': '2'}),
    ('BtnSelectPath', ('Button',), 'VertInitView', {'width': '38', 'height': '34', 'float': 'true',
                                                    'floatalign': 'right,vcenter'}),
    ('BtnLicenceLink', ('Button',), 'VertInitView', {'text': '《安装许可协议》', 'textcolor': '#FF51DB9E',
                                                     'hotfont': '17', 'autocalcwidth': 'true'}),
    ('BtnClose', ('Button',), 'HorizCaptionBtn', {'width': '24', 'height': '24', 'tooltip': '关闭'}),
    ('minbtn', ('Button',), 'HorizCaptionBtn', {'width': '24', 'height': '24', 'tooltip': '最小化'}),
]
NOT_SHIPPED = ('CheckDesktopLaunch', 'CheckAutoStartup', 'HorizNumber', 'InstallSearchServer')
OPTIONS = {'CheckLicence': 'LicenceChk', 'ShouldStartWithWindowsChk': 'ShouldStartWithWindowsChk',
           'StartMenuShortcutChk': 'StartMenuShortcutChk'}
TAB_ORDER = ['BtnInstall', 'CheckLicence', 'BtnLicenceLink', 'EditInstallPath', 'BtnSelectPath',
             'ShouldStartWithWindowsChk', 'StartMenuShortcutChk', 'BtnStart']
WINDOW = {'size': '600,460', 'mininfo': '600,460', 'caption': '0,0,0,66', 'bktrans': 'true', 'showshadow': 'true',
          'sizebox': '0,0,0,0', 'gdiplustext': 'true', 'textrenderinghint': '5', 'outlinetext': 'true',
          'autodpi': 'true', 'tooltipbkcolor': '#FFFFFFFF', 'tooltiptextcolor': '#FF8B8989', 'normaltab': 'false',
          'KillFocusSendButtonUp': 'false'}
# id: size, bold, underline, shared, default
FONTS = {0: (12, 0, 0, 0, 1), 1: (14, 0, 0, 0, 0), 2: (16, 0, 0, 0, 0), 3: (22, 0, 0, 0, 0), 4: (12, 1, 0, 0, 0),
         5: (14, 1, 0, 0, 0), 6: (16, 1, 0, 0, 0), 7: (18, 0, 0, 0, 0), 8: (15, 0, 0, 0, 0), 9: (10, 0, 0, 0, 0),
         10: (18, 1, 0, 0, 0), 11: (24, 1, 0, 0, 0), 14: (14, 0, 1, 0, 0), 15: (20, 0, 0, 0, 0),
         16: (20, 1, 0, 0, 0), 17: (12, 0, 1, 0, 0), 18: (26, 0, 0, 0, 0), 1000: (14, 0, 0, 1, 0),
         1001: (12, 0, 0, 1, 0)}


def init_order(node):
    """Controls in the order the framework initialises them: children first."""
    for child in node:
        yield from init_order(child)
    yield node


def check_controls(installer):
    files = entries(skin_archive(installer))
    root = layout(files)
    for key, value in WINDOW.items():
        if root.get(key) != value:
            fail(f'Window {key}="{root.get(key)}", wanted "{value}"')
    if [c.get('source') for c in root if c.tag == 'Include'] != ['font.xml']:
        fail('Layout.xml does not include font.xml once')
    containers = [c for c in root if c.tag not in ('Include',)]
    if len(containers) != 1 or containers[0].tag != 'Container' or containers[0].get('DPIInset') != 'false':
        fail('the markup holds not exactly one Container with DPIInset off')
    elif sorted(c.get('name') for c in containers[0]) != ['HorizCaptionBtn', 'TabMain']:
        fail('the container holds other than TabMain and the caption bar')
    by_name = {n.get('name'): n for n in root.iter() if n.get('name')}
    inside = {}
    for parent in root.iter():
        if parent.get('name'):
            for n in parent.iter():
                inside.setdefault(n, set()).add(parent.get('name'))
    for name, classes, view, attributes in CONTROLS:
        node = by_name.get(name)
        if node is None:
            fail(f'{name} missing')
            continue
        if node.tag not in classes:
            fail(f'{name} is a {node.tag}, wanted one of {classes}')
        if view and view not in inside[node]:
            fail(f'{name} is not inside {view}')
        for key, value in attributes.items():
            if node.get(key) != value:
                fail(f'{name} {key}="{node.get(key)}", wanted "{value}"')
    pages = [c.get('name') for c in by_name['TabMain']]
    if pages != ['VertInitView', 'VertInstallView', 'VertCompleteView']:
        fail(f'TabMain pages {pages}')
    for name in NOT_SHIPPED:
        if name in by_name:
            fail(f'{name} is not part of the shipped skin')
    options = {n.get('name'): n.get('userdata') for n in by_name['VertInitView'].iter() if n.tag == 'Option'}
    if options != OPTIONS:
        fail(f'options of the initial view {options}')
    order = [n.get('name') for n in init_order(root) if n.get('TabSuppot') == 'true']
    if order != TAB_ORDER:
        fail(f'tab order {order}')
    fonts = {}
    for f in ET.fromstring(files['font.xml']).iter('Font'):
        if f.get('name') != '微软雅黑':
            fail(f'font {f.get("id")} is {f.get("name")}')
        flags = tuple(int(f.get(k) == 'true') for k in ('bold', 'underline', 'shared', 'default'))
        fonts[int(f.get('id'))] = (int(f.get('size')),) + flags
    if fonts != FONTS:
        fail(f'fonts {fonts}')
    print(f'{len(CONTROLS)} controls, {len(order)} tab stops, {len(fonts)} fonts')


def control_size(node, parents):
    """The control's unscaled size: its own fixed size, else its parent's."""
    while node is not None:
        w, h = node.get('width'), node.get('height')
        if w and h:
            return int(w), int(h)
        node = parents.get(node)
    raise ValueError('no size')


def check_sprites(tool, installer):
    """Every sprite state, at every scale, takes exactly as many pixels as it
    covers (no stretching, so no blur) and starts within a pixel of its cell."""
    files = entries(skin_archive(installer))
    root = layout(files)
    parents = {c: p for p in root.iter() for c in p}
    sprites = [(n, a, d) for n, a, d in descriptors(root) if 'source=' in d]
    svgs = sorted({skinlib.resolve(d, 100, lambda _: True).name for _, _, d in sprites})
    sizes = {name: info[:2] for name, info in probe(tool, files, svgs).items() if info}
    checked = 0
    for node, attr, text in sprites:
        cell = skinlib.int_list(skinlib.pairs(text)['source'])
        w, h = control_size(node, parents)
        for pct in skinlib.SCALES:
            r = skinlib.resolve(text, pct, lambda _: True)
            doc = sizes.get(r.name)
            if not doc:
                fail(f'{r.name} unreadable')
                break
            iw, ih = skinlib.svg_render_size(doc[0], doc[1], r.render_pct)
            src = skinlib.clamp_source(r.source, iw, ih)
            dest = skinlib.place(r.dest, (0, 0, skinlib.scale(w, pct), skinlib.scale(h, pct)))
            took = (src[2] - src[0], src[3] - src[1])
            # The path field's frames are clamped to the 999-unit document.
            slack = 2 if r.name == 'Image/BkPath.svg' else 0
            where = f'{node.get("name", node.tag)} {attr} at {pct} %'
            if abs(took[0] - dest[2]) > slack or abs(took[1] - dest[3]) > slack:
                fail(f'{where}: {took[0]}x{took[1]} pixels stretched to {dest[2]}x{dest[3]}')
            if abs(src[0] - cell[0] * pct / 100) > 1 or src[2] > iw or src[3] > ih:
                fail(f'{where}: source {src} off its cell {cell} in a {iw}x{ih} image')
            checked += 1
    print(f'{len(sprites)} sprite descriptors, {checked} placements')


def check_quickmark(url, installer):
    """The QR code holds exactly the modules qrencode makes of the address."""
    files = entries(skin_archive(installer))
    data = files.get('Image/QuickMark.jpg', b'')
    with tempfile.TemporaryDirectory() as tmp:
        jpg = os.path.join(tmp, 'q.jpg')
        open(jpg, 'wb').write(data)
        info = subprocess.run(['identify', '-format', '%m %w %h', jpg], capture_output=True, text=True,
                              check=True).stdout.split()
        if info != ['JPEG', '156', '156']:
            fail(f'QuickMark.jpg is {info}')
            return
        grey = subprocess.run(['convert', jpg, '-colorspace', 'gray', '-depth', '8', 'gray:-'],
                              capture_output=True, check=True).stdout
    ascii_rows = subprocess.run(['qrencode', '-l', 'M', '-t', 'ASCII', '-m', '0', url], capture_output=True,
                                text=True, check=True).stdout.splitlines()
    matrix = [[row[i] == '#' for i in range(0, len(row), 2)] for row in ascii_rows if row]
    n = len(matrix)
    dark = [i for i in range(156 * 156) if grey[i] < 128]
    xs, ys = [i % 156 for i in dark], [i // 156 for i in dark]
    x0, y0, x1, y1 = min(xs), min(ys), max(xs) + 1, max(ys) + 1
    module = (x1 - x0) / n
    wrong = 0
    for r in range(n):
        for c in range(n):
            x, y = int(x0 + (c + 0.5) * module), int(y0 + (r + 0.5) * module)
            wrong += (grey[y * 156 + x] < 128) != matrix[r][c]
    if abs((y1 - y0) - (x1 - x0)) > 1 or module < 3 or wrong:
        fail(f'QR code: {n} modules of {module:.2f} px at ({x0},{y0}), {wrong} modules differ')
    print(f'QR code of {url}: {n} x {n} modules of {module:g} px')


def check_same(skin_dir, installers):
    want = {}
    for folder, _, names in os.walk(skin_dir):
        for name in names:
            path = os.path.join(folder, name)
            want[os.path.relpath(path, skin_dir).replace(os.sep, '/')] = open(path, 'rb').read()
    for installer in installers:
        got = entries(skin_archive(installer))
        if got != want:
            fail(f'{os.path.basename(installer)}: skin differs from {skin_dir}: '
                 f'missing {sorted(set(want) - set(got))}, extra {sorted(set(got) - set(want))}, '
                 f'changed {sorted(k for k in set(want) & set(got) if want[k] != got[k])}')
    print(f'{len(installers)} installers carry the {len(want)} files of {skin_dir}')


def main():
    mode, args = sys.argv[1], sys.argv[2:]
    {'images': lambda: check_images(*args), 'controls': lambda: check_controls(*args),
     'sprites': lambda: check_sprites(*args), 'quickmark': lambda: check_quickmark(*args),
     'same': lambda: check_same(args[0], args[1:])}[mode]()
    sys.exit(1 if failures else 0)


if __name__ == '__main__':
    main()

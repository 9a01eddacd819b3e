#!/usr/bin/env python3
"""Assembles the shipped skin folder: the skin's own files (markup, fonts,
SVG sprites; not its README) and the generated images, and nothing else;
files left over from an earlier build are removed.

    assemble.py SOURCE_DIR GENERATED_DIR OUT_DIR STAMP
"""
import filecmp
import os
import shutil
import sys


def files(root):
    found = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            found[os.path.relpath(path, root).replace(os.sep, '/')] = path
    return found


def main():
    source, generated, out, stamp = sys.argv[1:5]
    wanted = {k: v for k, v in files(source).items() if not k.startswith('README')}
    for key, path in files(generated).items():
        if key in wanted:
            sys.exit(f'assemble.py: {key} is both a skin file and a generated image')
        wanted[key] = path
    present = files(out) if os.path.isdir(out) else {}
    for key, path in present.items():
        if key not in wanted:
            os.remove(path)
    for key, path in wanted.items():
        target = os.path.join(out, key)
        if key in present and filecmp.cmp(path, target, shallow=False):
            continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(path, target)
    with open(stamp, 'w') as f:
        f.write('\n'.join(sorted(wanted)) + '\n')


if __name__ == '__main__':
    main()

#!/usr/bin/env python3
"""Fails when a source folder includes a header from a folder above it.

Usage: check_layers.py <project root>
Prints "file:line: folder may not include other-folder" for every offence.
"""
import os
import re
import sys

# Folder -> folders it may include besides itself. None means anything.
ALLOWED = {
    "src/core": set(),
    "src/payload": {"src/core"},
    "src/stats": {"src/core"},
    "src/ui/svg": {"src/core"},
    "src/ui": {"src/core", "src/ui/svg"},
    "src/script": {"src/core", "src/payload", "src/stats", "src/ui", "src/ui/svg"},
    "src/installer": {"src/core", "src/payload", "src/stats", "src/ui", "src/ui/svg",
                      "src/script"},
    "src/dialog": {"src/core", "src/payload", "src/stats", "src/ui", "src/ui/svg",
                   "src/script", "src/installer"},
    # The executable's entry stands on top of everything, the dialog included.
    "src/installer/main.cpp": None,
    "src/packer": {"src/core", "src/payload"},
    "resources/demo-product": None,
    "tests": None,
    "bench": None,
}
SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cc", ".cpp", ".inl")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def folder_of(rel_path):
    """The most specific table folder holding rel_path, or None."""
    best = None
    for folder in ALLOWED:
        if rel_path == folder or rel_path.startswith(folder + "/"):
            if best is None or len(folder) > len(best):
                best = folder
    return best


def included_folder(root, including_dir, target):
    """The table folder of an included header; None when it is not ours."""
    local = os.path.normpath(os.path.join(including_dir, target))
    if os.path.isfile(local):
        return folder_of(os.path.relpath(local, root).replace(os.sep, "/"))
    under_src = os.path.join(root, "src", target)
    if os.path.isfile(under_src):
        return folder_of(os.path.relpath(under_src, root).replace(os.sep, "/"))
    return None


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else ".")
    offences = []
    for top in ("src", "resources", "tests", "bench"):
        for dirpath, dirnames, filenames in os.walk(os.path.join(root, top)):
            dirnames.sort()
            for name in sorted(filenames):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.join(dirpath, name)
                rel = os.path.relpath(path, root).replace(os.sep, "/")
                folder = folder_of(rel)
                if folder is None or ALLOWED[folder] is None:
                    continue
                with open(path, encoding="utf-8", errors="replace") as source:
                    for line_no, line in enumerate(source, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        target = included_folder(root, dirpath, match.group(1))
                        if target is None or target == folder or target in ALLOWED[folder]:
                            continue
                        offences.append(f"{rel}:{line_no}: {folder} may not include "
                                        f"{target} (\"{match.group(1)}\")")
    for offence in offences:
        print(offence)
    if offences:
        print(f"{len(offences)} include(s) against the layer order", file=sys.stderr)
        return 1
    print("layers: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())

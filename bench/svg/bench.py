#!/usr/bin/env python3
"""Benchmark: the whole bootstrap-icons set at 24 and 48 px, ours against
librsvg's rsvg-convert, per image, in one run.

  bench/svg/bench.py [--limit N]

Three figures per size:
  ours (in-process)  parse + render + PNG encode in memory, svg_tool bench
  ours (per process) one svg_tool render process per image, PNG written to disk
  rsvg-convert       one rsvg-convert process per image, PNG written to disk
librsvg is only reachable as the rsvg-convert program here, so its figure
includes a process start; the per-process line of ours makes the like-for-like
comparison.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
ICONS = '/usr/share/bootstrap-icons/svg'


def per_process(cmd_for, files, out):
    start = time.perf_counter()
    for f in files:
        subprocess.run(cmd_for(f, out), check=True, stderr=subprocess.DEVNULL)
    return (time.perf_counter() - start) / len(files)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--tool', default=os.path.join(ROOT, 'build', 'svg-native', 'svg_tool'))
    ap.add_argument('--limit', type=int, default=0)
    args = ap.parse_args()
    files = sorted(os.path.join(ICONS, f) for f in os.listdir(ICONS) if f.endswith('.svg'))
    if args.limit:
        files = files[:args.limit]
    with tempfile.TemporaryDirectory() as tmp:
        listing = os.path.join(tmp, 'list.txt')
        with open(listing, 'w') as f:
            f.write('\n'.join(files) + '\n')
        out = os.path.join(tmp, 'out.png')
        print('%d icons' % len(files))
        for n in (24, 48):
            line = subprocess.run([args.tool, 'bench', listing, str(n)], check=True,
                                  capture_output=True, text=True).stdout
            inproc = float(line.split(',')[1].split()[0]) / 1e6
            ours = per_process(lambda f, o: [args.tool, 'render', f, o, str(n), str(n)], files, out)
            rsvg = per_process(lambda f, o: ['rsvg-convert', '-w', str(n), '-h', str(n), '-o', o, f],
                               files, out)
            print('%d px: ours in-process %8.1f us/image | ours per process %8.1f us/image | '
                  'rsvg-convert %8.1f us/image' % (n, inproc * 1e6, ours * 1e6, rsvg * 1e6))
            print('       ratio rsvg-convert / ours: %.1fx (in-process), %.1fx (process for process)'
                  % (rsvg / inproc, rsvg / ours))
    return 0


if __name__ == '__main__':
    sys.exit(main())

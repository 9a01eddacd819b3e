#!/usr/bin/env python3
"""Benchmark: the whole bootstrap-icons set at 24 and 48 px, ours against
librsvg, per icon.

  bench/svg/bench.py [--limit N] [--repeats R] [--csv FILE] [--no-processes]

Two lines per size:
  in-process    both renderers linked into rsvg_bench: parse the bytes and
                render the document into an N x N bitmap, fastest of R runs
                per icon (mean and median per icon, and the ratio)
  per process   one svg_tool render process per icon against one
                rsvg-convert process per icon, PNG written to disk
The native build (build/svg-native) is made when missing.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
ICONS = '/usr/share/bootstrap-icons/svg'


def build(build_dir):
    env = {k: v for k, v in os.environ.items() if k not in ('CC', 'CXX', 'CFLAGS', 'CXXFLAGS', 'LDFLAGS')}
    if not os.path.exists(os.path.join(build_dir, 'CMakeCache.txt')):
        subprocess.run(['cmake', '-S', os.path.join(ROOT, 'bench', 'svg'), '-B', build_dir, '-G', 'Ninja',
                        '-DCMAKE_CXX_COMPILER=g++', '-DCMAKE_BUILD_TYPE=Release'],
                       check=True, env=env, stdout=subprocess.DEVNULL)
    subprocess.run(['cmake', '--build', build_dir, '--target', 'svg_tool', 'rsvg_bench'],
                   check=True, env=env, stdout=subprocess.DEVNULL)


def per_process(cmd_for, files, out):
    start = time.perf_counter()
    for f in files:
        subprocess.run(cmd_for(f, out), check=True, stderr=subprocess.DEVNULL)
    return (time.perf_counter() - start) / len(files)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--build', default=os.path.join(ROOT, 'build', 'svg-native'))
    ap.add_argument('--limit', type=int, default=0)
    ap.add_argument('--repeats', type=int, default=5)
    ap.add_argument('--csv', help='per-icon times of the in-process run')
    ap.add_argument('--no-processes', action='store_true', help='skip the process-for-process line')
    args = ap.parse_args()
    build(args.build)
    tool = os.path.join(args.build, 'svg_tool')
    inproc_bench = os.path.join(args.build, 'rsvg_bench')
    files = sorted(os.path.join(ICONS, f) for f in os.listdir(ICONS) if f.endswith('.svg'))
    if args.limit:
        files = files[:args.limit]
    with tempfile.TemporaryDirectory() as tmp:
        listing = os.path.join(tmp, 'list.txt')
        with open(listing, 'w') as f:
            f.write('\n'.join(files) + '\n')
        out = os.path.join(tmp, 'out.png')
        cmd = [inproc_bench, listing, str(args.repeats), '24', '48']
        if args.csv:
            cmd += ['--csv', args.csv]
        lines = subprocess.run(cmd, check=True, capture_output=True, text=True).stdout.splitlines()
        print(lines[0])
        for n, line in zip((24, 48), lines[1:]):
            print('in-process  ' + line)
            if args.no_processes:
                continue
            ours = per_process(lambda f, o: [tool, 'render', f, o, str(n), str(n)], files, out)
            rsvg = per_process(lambda f, o: ['rsvg-convert', '-w', str(n), '-h', str(n), '-o', o, f],
                               files, out)
            print('per process %d px: ours %.1f us/icon | rsvg-convert %.1f us/icon | '
                  'rsvg-convert/ours %.2fx' % (n, ours * 1e6, rsvg * 1e6, rsvg / ours))
    return 0


if __name__ == '__main__':
    sys.exit(main())

#!/usr/bin/env python3
"""Compares our SVG renderer with librsvg (rsvg-convert) as the reference.

Renders each document with rsvg-convert and with our native svg_tool at each
size, and measures the mean absolute difference of premultiplied RGBA
channels per pixel (0..255). An image matches when that mean is at most
--tolerance. Prints the match rate, the distribution and the worst images;
exits 1 when the match rate is below --required percent.

  bench/svg/compare.py                      # every bootstrap icon and our cases
  bench/svg/compare.py --sample 60          # a fixed, evenly spread sample
"""
import argparse
import os
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
ICONS = '/usr/share/bootstrap-icons/svg'
CASES = os.path.join(ROOT, 'tests', 'svg', 'cases')


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--tool', default=os.path.join(ROOT, 'build', 'svg-native', 'svg_tool'))
    ap.add_argument('--work', default=os.path.join(ROOT, 'build', 'svg-compare'))
    ap.add_argument('--sizes', default='16,24,48')
    ap.add_argument('--sample', type=int, default=0, help='icons to take, evenly spread (0 = all)')
    ap.add_argument('--tolerance', type=float, default=1.0)
    ap.add_argument('--required', type=float, default=99.0)
    ap.add_argument('--worst', type=int, default=10)
    args = ap.parse_args()

    icons = sorted(os.path.join(ICONS, f) for f in os.listdir(ICONS) if f.endswith('.svg'))
    if args.sample and args.sample < len(icons):
        step = len(icons) / args.sample
        icons = [icons[int(i * step)] for i in range(args.sample)]
    cases = sorted(os.path.join(CASES, f) for f in os.listdir(CASES) if f.endswith('.svg'))
    sizes = [int(s) for s in args.sizes.split(',')]

    refdir = os.path.join(args.work, 'ref')
    os.makedirs(refdir, exist_ok=True)
    jobs = []
    for svg in icons + cases:
        kind = 'icon' if svg.startswith(ICONS) else 'case'
        for n in sizes:
            ref = os.path.join(refdir, '%s-%s-%d.png' % (kind, os.path.basename(svg)[:-4], n))
            jobs.append((svg, ref, n))

    def reference(job):
        svg, ref, n = job
        if os.path.exists(ref) and os.path.getmtime(ref) >= os.path.getmtime(svg):
            return
        subprocess.run(['rsvg-convert', '-w', str(n), '-h', str(n), '-o', ref, svg],
                       check=True, stderr=subprocess.DEVNULL)

    with ThreadPoolExecutor(max_workers=2) as pool:
        list(pool.map(reference, jobs))

    listing = os.path.join(args.work, 'list.tsv')
    with open(listing, 'w') as f:
        for svg, ref, n in jobs:
            f.write('%s\t%s\t%d\n' % (svg, ref, n))
    out = subprocess.run([args.tool, 'compare', listing], check=True, capture_output=True,
                         text=True).stdout
    rows = []
    for line in out.splitlines():
        mean, mx, svg, n = line.split(' ')
        rows.append((float(mean), int(mx), svg, int(n)))
    if not rows:
        print('no images compared')
        return 1

    matched = sum(1 for r in rows if r[0] <= args.tolerance)
    rate = 100.0 * matched / len(rows)
    means = sorted(r[0] for r in rows)

    def pct(p):
        return means[min(len(means) - 1, int(p / 100.0 * len(means)))]

    print('images: %d (%d documents x %d sizes)' % (len(rows), len(icons) + len(cases), len(sizes)))
    print('metric: mean |difference| of premultiplied RGBA channels per pixel, 0..255')
    print('matched (mean <= %.2f): %d = %.2f%%' % (args.tolerance, matched, rate))
    print('distribution: median %.3f  p90 %.3f  p99 %.3f  max %.3f' %
          (pct(50), pct(90), pct(99), means[-1]))
    maxes = sorted(r[1] for r in rows)
    print('largest single-channel difference per image: median %d  p90 %d  p99 %d  max %d' %
          (maxes[len(maxes) // 2], maxes[int(0.9 * len(maxes))], maxes[int(0.99 * len(maxes))],
           maxes[-1]))
    buckets = [0.1, 0.25, 0.5, 1.0, 2.0, 5.0]
    counts = []
    lo = 0.0
    for b in buckets:
        counts.append('<=%.2f: %d' % (b, sum(1 for m in means if m <= b) - sum(1 for m in means if m <= lo)))
        lo = b
    counts.append('>%.2f: %d' % (buckets[-1], sum(1 for m in means if m > buckets[-1])))
    print('histogram: ' + ', '.join(counts))
    print('worst:')
    for mean, mx, svg, n in sorted(rows, reverse=True)[:args.worst]:
        print('  %.3f (max %3d) %s @%d' % (mean, mx, os.path.relpath(svg, ROOT) if svg.startswith(ROOT) else os.path.basename(svg), n))
    return 0 if rate >= args.required else 1


if __name__ == '__main__':
    sys.exit(main())

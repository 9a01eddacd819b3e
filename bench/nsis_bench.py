#!/usr/bin/env python3
"""Our packer against NSIS, side by side, on the same payloads.

nsis_bench.py [WORK_DIR] [--runs N] [--small]

Packs the demo product's data files (resources/demo-product/data) and a ~100 MB payload (the
one bench/payload_bench.py collects; skipped with --small) twice: with kwpack
around the engine (a stripped copy of build/win32/bin/KWSweepSetup.exe, as a
vendor ships it) and with makensis (solid LZMA). Every installer runs
silently under Wine into a fresh folder, ours and NSIS's alternating, RUNS
times each, once extracting and once with the extraction skipped
(KW_BENCH_SKIP=1: start-up, scripts and exit alone). Prints medians of the
whole silent install, the extraction (extracting run minus skipping run),
peak resident size of the Wine process, installer size, payload size and
stub overhead (installer minus payload), with ratios ours/NSIS. The install
scripts here have no deliberate waits; the shipped install script's waits are
listed apart. Needs a build (tools/test.sh or cmake --build --preset win32)
and makensis (tools/setup.sh installs nsis)."""
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import payload_bench as pb  # noqa: E402  (collect, timed, same_trees)

ROOT = pb.ROOT
BIN = os.path.join(ROOT, 'build', 'win32', 'bin')
HERE = os.path.join(ROOT, 'bench', 'nsis')
MB = 1 << 20


def wine_path(path):
    return 'Z:' + os.path.abspath(path).replace('/', '\\')


def pack_ours(engine, payload, out, payload_out):
    if os.path.exists(out):
        return
    subprocess.run([pb.WINE_RUN, os.path.join(BIN, 'kwpack.exe'), '--engine', wine_path(engine),
                    '--out', wine_path(out), '--global', wine_path(os.path.join(HERE, 'global.lua')),
                    '--install', wine_path(os.path.join(HERE, 'install.lua')),
                    '--uninstall', wine_path(os.path.join(HERE, 'uninstall.lua')),
                    '--payload-dir', wine_path(payload), '--skin-dir', wine_path(os.path.join(ROOT, 'resources', 'skin')),
                    '--payload-out', wine_path(payload_out)], check=True, stderr=subprocess.DEVNULL)


def pack_nsis(payload, out):
    if os.path.exists(out):
        return
    script = open(os.path.join(HERE, 'installer.nsi.in')).read()
    files = 'File /r "%s/*"' % payload if payload else ''
    nsi = out + '.nsi'
    open(nsi, 'w').write(script.replace('@OUT@', out).replace('@FILES@', files))
    subprocess.run(['makensis', '-V1', nsi], check=True)


def install(command, dest, skip):
    shutil.rmtree(dest, ignore_errors=True)
    os.makedirs(dest)
    os.environ['KW_BENCH_DEST'] = wine_path(dest)
    os.environ['KW_BENCH_SKIP'] = '1' if skip else '0'
    seconds, rss, _ = pb.timed(command)
    return seconds, rss


def shipped_waits():
    """Deliberate waits written into the shipped install script (Lua_Sleep and the like)."""
    path = os.path.join(ROOT, 'scripts', 'INSTSCRIPT.lua')
    text = open(path).read() if os.path.exists(path) else ''
    waits = re.findall(r'(Lua_\w*Sleep\w*|Sleep)\s*\(\s*(\d+)', text)
    return sum(int(ms) for _, ms in waits) / 1000.0, len(waits)


def bench(name, payload, work, engine, runs):
    ours_exe, ours_7z = os.path.join(work, name + '-ours.exe'), os.path.join(work, name + '-ours.7z')
    nsis_exe, nsis_empty = os.path.join(work, name + '-nsis.exe'), os.path.join(work, 'empty-nsis.exe')
    pack_ours(engine, payload, ours_exe, ours_7z)
    pack_nsis(payload, nsis_exe)
    pack_nsis(None, nsis_empty)
    dest_ours, dest_nsis = os.path.join(work, 'dest-ours'), os.path.join(work, 'dest-nsis')
    ours_cmd = [pb.WINE_RUN, ours_exe, '/InstallSlience', 'true']

    def nsis_cmd(dest):
        return [pb.WINE_RUN, nsis_exe, '/S', '/D=' + wine_path(dest)]

    figures = {key: [] for key in ('ours_full', 'ours_skip', 'nsis_full', 'nsis_skip', 'ours_rss', 'nsis_rss')}
    correct = True
    for run in range(runs):
        order = ['ours', 'nsis'] if run % 2 == 0 else ['nsis', 'ours']
        for skip in (False, True):
            for side in order:
                dest = dest_ours if side == 'ours' else dest_nsis
                seconds, rss = install(ours_cmd if side == 'ours' else nsis_cmd(dest), dest, skip)
                figures['%s_%s' % (side, 'skip' if skip else 'full')].append(seconds)
                if not skip:
                    figures[side + '_rss'].append(rss)
                    correct = correct and pb.same_trees(dest, payload)
    med = {key: statistics.median(values) for key, values in figures.items()}
    unpacked = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(payload) for f in fs)
    ours_size, nsis_size = os.path.getsize(ours_exe), os.path.getsize(nsis_exe)
    ours_payload = os.path.getsize(ours_7z)
    nsis_stub = os.path.getsize(nsis_empty)
    nsis_payload = nsis_size - nsis_stub
    rows = [
        ('whole silent install (s)', med['ours_full'], med['nsis_full']),
        ('extraction (s)', med['ours_full'] - med['ours_skip'], med['nsis_full'] - med['nsis_skip']),
        ('rest: start, scripts, exit (s)', med['ours_skip'], med['nsis_skip']),
        ('peak resident size (MB)', med['ours_rss'] / MB, med['nsis_rss'] / MB),
        ('installer size (MB)', ours_size / MB, nsis_size / MB),
        ('payload size (MB)', ours_payload / MB, nsis_payload / MB),
        ('stub overhead (MB)', (ours_size - ours_payload) / MB, nsis_stub / MB),
    ]
    print('\n%s payload: %.1f MB unpacked; medians of %d alternating runs each; extracted trees identical to the '
          'source: %s' % (name, unpacked / MB, runs, correct))
    print('  %-32s %12s %12s %8s' % ('', 'ours', 'NSIS', 'ours/NSIS'))
    for label, ours, theirs in rows:
        ratio = ours / theirs if theirs > 0 else float('nan')
        print('  %-32s %12.3f %12.3f %8.2f' % (label, ours, theirs, ratio))
    return rows


def main():
    args = sys.argv[1:]
    runs = 5
    if '--runs' in args:
        at = args.index('--runs')
        runs = int(args[at + 1])
        del args[at:at + 2]
    small = '--small' in args
    args = [a for a in args if a != '--small']
    for need in ('kwpack.exe', 'KWSweepSetup.exe'):
        if not os.path.exists(os.path.join(BIN, need)):
            sys.exit('build first: %s is missing' % need)
    if not shutil.which('makensis'):
        sys.exit('makensis missing: run tools/setup.sh')
    work = args[0] if args else tempfile.mkdtemp(prefix='nsis-bench-')
    os.makedirs(work, exist_ok=True)
    engine = os.path.join(work, 'engine.exe')
    subprocess.run(['i686-w64-mingw32-strip', '-o', engine, os.path.join(BIN, 'KWSweepSetup.exe')], check=True)
    subprocess.run([os.path.join(ROOT, 'tools', 'wine', 'up')], check=True)
    try:
        print('engine: %.2f MB stripped (%.2f MB as built, with debug information)'
              % (os.path.getsize(engine) / MB, os.path.getsize(os.path.join(BIN, 'KWSweepSetup.exe')) / MB))
        bench('demo', os.path.join(ROOT, 'resources', 'demo-product', 'data'), work, engine, runs)
        if not small:
            tree = os.path.join(work, 'tree')
            if not os.path.isdir(tree):
                os.makedirs(tree)
                pb.collect(tree)
            rows = bench('100MB', tree, work, engine, runs)
            print('\ntargets on the 100 MB payload: extraction ours/NSIS %.2f (at most 1.10); whole install '
                  'ours/NSIS %.2f (at most 1.00, deliberate waits apart)' % (rows[1][1] / rows[1][2], rows[0][1] / rows[0][2]))
        waits, count = shipped_waits()
        print('deliberate waits: none in these runs; the shipped install script adds %.1f s (%d waits) to a real '
              'install' % (waits, count))
        print('work folder:', work)
    finally:
        subprocess.run([os.path.join(ROOT, 'tools', 'wine', 'up'), 'down'])


if __name__ == '__main__':
    main()

#!/usr/bin/env python3
"""Payload benchmarks: ours against 7-Zip's own, on the same archives.

payload_bench.py [WORK_DIR] [--cases 100mb,1.5gb] [--keep] [--from-7zip]

WORK_DIR (default build/payload-bench) receives a folder per case, deleted at
the end unless --keep. Needs a build (tools/test.sh or cmake --build --preset
win32) and about 6 GB of free disk for the large case.

100mb: a payload of about 100 MB from real files of this machine (Windows
DLLs, C headers, documentation, fonts, message catalogs), packed solid with
LZMA2 by 7-Zip, then extracted twice: with 7-Zip's own extraction
(single-threaded decode, -mmt=1) and with our extractor under Wine
(bench/extract_bench.exe, which reads the archive in its stored form through
the same file window the installer reads its resource through). Prints MB/s
of both, the ratio, our peak memory and the budget (archive size + largest
folder + 32 MB). Then packs the same tree with kwpack twice, in its default
solid blocks of at most 64 MiB and in one solid block per kind
(--solid-block-mib 0), and prints what the bounded blocks cost in size (16 MiB
blocks too).

1.5gb: a generated tree of about 1.5 GB (copies of system binaries, text,
already-compressed data, many small files, a few large ones; the same tree on
the same machine every time). kwpack packs it into an installer, the
installer installs it silently under Wine, 7-Zip extracts the same archive;
each run's time and peak memory are printed, ours against the 200 MB bound,
and both outputs are compared with the tree. kwpack compresses at LZMA2
level 7 on one core, about 1 MB/s on slow machines: --from-7zip lets 7-Zip
make the archive (fast, same 64 MiB blocks) and kwpack take it with
--payload-7z, which measures the installer in a few minutes. Peak memory is the peak resident
size the Linux kernel accounts to the process (ru_maxrss of the waited-for
process: anonymous and file-backed pages, Wine's own included); under Wine
that is also what GetProcessMemoryInfo reports as PeakWorkingSetSize, which
extract_bench prints from inside the process as a cross-check."""
import argparse
import os
import random
import shutil
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..'))
BIN = os.path.join(ROOT, 'build', 'win32', 'bin')
BENCH_EXE = os.path.join(BIN, 'extract_bench.exe')
WINE_RUN = os.path.join(ROOT, 'tools', 'wine', 'run')
MB = 1 << 20
RUNS = 3

# (source folder, bytes to take): sorted file order, so every run packs the same.
SOURCES = [
    ('/usr/lib/i386-linux-gnu/wine/i386-windows', 40 * MB),
    ('/usr/include', 25 * MB),
    ('/usr/share/doc', 12 * MB),
    ('/usr/share/fonts', 13 * MB),
    ('/usr/share/locale', 10 * MB),
]


def fold_names(folded, path):
    """False when path or one of its folders differs from a known one only in case."""
    parts = path.split(os.sep)
    for end in range(1, len(parts) + 1):
        prefix = os.sep.join(parts[:end])
        known = folded.setdefault(prefix.lower(), prefix)
        if known != prefix:
            return False
    return True


def collect(tree, sources, taken_paths=None):
    """Copies files of each (folder, budget[, suffixes]) below tree/<index>."""
    taken_paths = set() if taken_paths is None else taken_paths
    folded = {}  # Windows names compare without regard to case
    total = 0
    for index, source in enumerate(sources):
        folder_root, budget = source[0], source[1]
        suffixes = source[2] if len(source) > 2 else None
        taken = 0
        for folder, dirs, files in sorted(os.walk(folder_root)):
            dirs.sort()
            for name in sorted(files):
                path = os.path.join(folder, name)
                if path in taken_paths or (suffixes and not name.endswith(suffixes)):
                    continue
                # Names Windows cannot hold would come back under other names.
                if any(c in '<>:"\\|?*' for c in os.path.relpath(path, folder_root)) or name[-1] in '. ':
                    continue
                if not os.path.isfile(path) or os.path.islink(path):
                    continue
                size = os.path.getsize(path)
                if size == 0 or taken + size > budget:
                    continue
                target = os.path.join(tree, str(index), os.path.relpath(path, folder_root))
                if not fold_names(folded, target):
                    continue
                os.makedirs(os.path.dirname(target), exist_ok=True)
                shutil.copyfile(path, target)
                taken_paths.add(path)
                taken += size
        total += taken
    return total


# Runs a command in a fresh Python process so the peak resident size it
# reports (the largest of its own children) belongs to that command alone.
MEASURE = """
import resource, subprocess, sys, time
start = time.perf_counter()
done = subprocess.run(sys.argv[1:], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
seconds = time.perf_counter() - start
sys.stdout.buffer.write(done.stdout)
sys.stderr.write('%d %f %d' % (done.returncode, seconds, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss))
"""


def timed(command, env=None, cwd=None):
    """Wall seconds, peak resident bytes and the output of one run."""
    done = subprocess.run([sys.executable, '-c', MEASURE, *command], stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, text=True, env=env, cwd=cwd)
    code, seconds, rss = done.stderr.split()[-3:]
    if int(code) != 0:
        sys.exit('failed: ' + ' '.join(command) + '\n' + done.stdout)
    return float(seconds), int(rss) * 1024, done.stdout


def same_trees(a, b):
    return subprocess.run(['diff', '-r', '-q', a, b], stdout=subprocess.DEVNULL).returncode == 0


def kwpack_command(tree, setup, archive):
    return [WINE_RUN, os.path.join(BIN, 'kwpack.exe'), '--engine', 'Z:' + os.path.join(BIN, 'KWSweepSetup.exe'),
               '--out', 'Z:' + setup, '--global', 'Z:' + os.path.join(ROOT, 'tests', 'scripts', 'test_global.lua'),
               '--install', 'Z:' + os.path.join(ROOT, 'tests', 'packer', 'packed_install.lua'),
               '--uninstall', 'Z:' + os.path.join(ROOT, 'tests', 'scripts', 'empty.lua'),
               '--skin-dir', 'Z:' + os.path.join(ROOT, 'resources', 'skin'),
               '--payload-dir', 'Z:' + tree, '--payload-out', 'Z:' + archive]


def packed_size(tree, work, block_option):
    """Size of the payload kwpack makes of tree with the given block option."""
    out = os.path.join(work, 'blocks-%s.7z' % (block_option or 'default'))
    setup = os.path.join(work, 'blocks-setup.exe')
    command = kwpack_command(tree, setup, out)
    if block_option:
        command += ['--solid-block-mib', block_option]
    seconds, peak, _ = timed(command)
    os.remove(setup)
    return os.path.getsize(out), seconds, peak


def small_case(work):
    os.makedirs(work, exist_ok=True)
    tree, archive = os.path.join(work, 'tree'), os.path.join(work, 'payload.7z')
    stored = os.path.join(work, 'payload.stored.7z')
    if not os.path.exists(stored):
        shutil.rmtree(tree, ignore_errors=True)
        os.makedirs(tree)
        collect(tree, SOURCES)
        subprocess.run(['7zz', 'a', '-t7z', '-m0=LZMA2', '-ms=on', '-bd', '-bso0', '-bsp0', archive, '.'],
                       cwd=tree, check=True)
        data = bytearray(open(archive, 'rb').read())
        data[0], data[1] = data[1], data[0]
        open(stored, 'wb').write(data)

    ours_out, theirs_out = os.path.join(work, 'out-ours'), os.path.join(work, 'out-7zz')
    # The machine may be shared: each side runs RUNS times, alternating, into
    # an empty folder each time, and its best run counts.
    theirs, ours = [], []
    for _ in range(RUNS):
        for out in (ours_out, theirs_out):
            shutil.rmtree(out, ignore_errors=True)
            os.makedirs(out)
        theirs.append(timed(['7zz', 'x', '-mmt=1', '-bd', '-bso0', '-bsp0', '-o' + theirs_out, archive]))
        ours.append(timed([WINE_RUN, BENCH_EXE, 'Z:' + stored, 'Z:' + ours_out]))
    theirs_seconds, theirs_rss, _ = min(theirs)
    reports = [dict(line.split(' ', 1) for line in run[2].split('\n') if ' ' in line) for run in ours]
    best = min(range(RUNS), key=lambda i: float(reports[i]['seconds']))
    figures, wall = reports[best], ours[best][0]
    seconds = float(figures['seconds'])
    unpacked = int(figures['unpacked_bytes'])
    archive_bytes = int(figures['archive_bytes'])
    largest = int(figures['largest_folder_bytes'])
    peak = max(int(figures['peak_working_set_bytes']), int(figures['peak_private_bytes']))
    budget = archive_bytes + largest + 32 * MB

    print('== 100 MB payload')
    print('payload: %.1f MB unpacked, %.1f MB packed (LZMA2, solid), largest folder %.1f MB'
          % (unpacked / MB, archive_bytes / MB, largest / MB))
    print('best of %d runs each' % RUNS)
    print('7-Zip (7zz x -mmt=1):   %.2f s  %.1f MB/s  peak RSS %.1f MB'
          % (theirs_seconds, unpacked / MB / theirs_seconds, theirs_rss / MB))
    print('ours (Wine, in process): %.2f s  %.1f MB/s  (decoding alone %.2f s; whole Wine run %.2f s)'
          % (seconds, unpacked / MB / seconds, float(figures['decode_seconds']), wall))
    print('ratio ours/7-Zip: %.3f (target <= 1.15)' % (seconds / theirs_seconds))
    print('our peak memory: %.1f MB (working set %.1f MB, private %.1f MB); budget %.1f MB'
          % (peak / MB, int(figures['peak_working_set_bytes']) / MB, int(figures['peak_private_bytes']) / MB,
             budget / MB))
    print('resident size of the whole Wine process (Linux view, Wine itself included): %.1f MB'
          % (ours[best][1] / MB))
    print('outputs identical:', same_trees(ours_out, theirs_out))
    if os.path.isdir(tree):
        whole, seconds, peak = packed_size(tree, work, '0')
        print('kwpack: one solid block per kind %.2f MB (%.1f s, peak %.1f MB)' % (whole / MB, seconds, peak / MB))
        # 16 MiB as well: in the 100 MB case neither kind reaches 64 MiB.
        for name, option in (('64 MiB (default)', None), ('16 MiB', '16')):
            bounded, seconds, peak = packed_size(tree, work, option)
            print('kwpack: %s solid blocks %.2f MB: %+.2f %% in size (%.1f s, peak %.1f MB)'
                  % (name, bounded / MB, 100.0 * (bounded - whole) / whole, seconds, peak / MB))


# The large case: system files of this machine, then generated files, in a
# fixed order from a fixed seed.
LARGE_TOTAL = 1536 * MB
LARGE_SOURCES = [
    ('/usr/lib/i386-linux-gnu', 300 * MB),
    ('/usr/lib/x86_64-linux-gnu', 250 * MB),
    ('/usr/bin', 100 * MB),
    ('/usr/include', 100 * MB),
    ('/usr/share/doc', 60 * MB),
    ('/usr/share/man', 40 * MB),
    ('/usr/share/locale', 50 * MB),
    ('/usr/share', 100 * MB, ('.gz', '.png', '.jpg', '.xz', '.bz2', '.zip', '.jar', '.woff', '.woff2')),
]
LARGE_BOUND = 200 * MB


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as out:
        out.write(data)
    return len(data)


class Generator:
    """Deterministic file contents of a few kinds."""

    def __init__(self, seed):
        self.rng = random.Random(seed)
        syllables = ['ka', 'lo', 'mi', 'ren', 'sta', 'po', 'ul', 'tex', 'vor', 'an', 'is', 'gre', 'du', 'ny', 'fe']
        self.words = [''.join(self.rng.choices(syllables, k=self.rng.randint(1, 4))) for _ in range(6000)]
        self.text_pool = self.text(64 * MB)

    def text(self, size):
        words = self.rng.choices(self.words, k=size // 5 + 16)
        for i in range(0, len(words), 13):
            words[i] = '\n' + words[i]
        return ' '.join(words).encode()[:size]

    def pooled_text(self, size):
        start = self.rng.randrange(0, len(self.text_pool) - size)
        return self.text_pool[start:start + size]

    def noise(self, size):  # like compressed media: incompressible
        return self.rng.randbytes(size)

    def log(self, size):
        parts, total, stamp = [], 0, 1700000000
        levels = ['INFO', 'INFO', 'INFO', 'WARN', 'DEBUG', 'ERROR']
        while total < size:
            stamp += self.rng.randint(0, 3)
            line = '%d.%03d %s [%s] %s id=%d\n' % (
                stamp, self.rng.randrange(1000), self.rng.choice(levels), self.rng.choice(self.words[:40]),
                ' '.join(self.rng.choices(self.words, k=self.rng.randint(3, 12))), self.rng.randrange(1 << 20))
            parts.append(line)
            total += len(line)
        return ''.join(parts).encode()[:size]

    def records(self, size):  # a database-like file: fixed records, numbers and names
        out = bytearray()
        serial = 0
        while len(out) < size:
            serial += 1
            name = self.rng.choice(self.words).encode()[:24].ljust(24, b'\0')
            out += serial.to_bytes(4, 'little') + self.rng.randbytes(8) + name + \
                self.rng.randrange(1 << 16).to_bytes(4, 'little')
        return bytes(out[:size])

    def mixed(self, size):
        kind = self.rng.randrange(4)
        if kind == 0:
            return self.noise(size)
        if kind == 1:
            return self.pooled_text(size)
        if kind == 2:
            return self.records(size)
        return self.noise(size // 3) + self.pooled_text(size - size // 3)


def generate_large(tree):
    """About 1.5 GB: returns (bytes, files)."""
    total = collect(os.path.join(tree, 'system'), LARGE_SOURCES)
    gen = Generator(1536)
    root = os.path.join(tree, 'product')
    # A few large files.
    total += write(os.path.join(root, 'media', 'intro.mp4'), gen.noise(96 * MB))
    total += write(os.path.join(root, 'data', 'catalog.db'), gen.records(64 * MB))
    total += write(os.path.join(root, 'logs', 'history.log'), gen.log(40 * MB))
    # Many small ones: settings, scripts, icons, translations.
    suffixes = ['.json', '.xml', '.lua', '.ini', '.png', '.ico', '.txt', '.dat']
    for i in range(24000):
        suffix = suffixes[i % len(suffixes)]
        size = gen.rng.randint(200, 8000)
        data = gen.noise(size) if suffix in ('.png', '.ico') else gen.pooled_text(size)
        total += write(os.path.join(root, 'res', 'r%03d' % (i // 100), 'item%05d%s' % (i, suffix)), data)
    # Medium files up to the total.
    index = 0
    while total < LARGE_TOTAL:
        size = min(gen.rng.randint(1 * MB, 6 * MB), LARGE_TOTAL - total)
        total += write(os.path.join(root, 'packs', 'p%02d' % (index // 50), 'pack%04d.bin' % index), gen.mixed(size))
        index += 1
    files = sum(len(names) for _, _, names in os.walk(tree))
    return total, files


def large_case(work, from_7zip=False):
    print('== 1.5 GB payload')
    shutil.rmtree(work, ignore_errors=True)
    tree = os.path.join(work, 'tree')
    unpacked, files = generate_large(tree)
    setup, archive = os.path.join(work, 'Setup.exe'), os.path.join(work, 'payload.7z')
    print('payload: %.1f MB unpacked in %d files' % (unpacked / MB, files))

    if from_7zip:
        # The compression left to 7-Zip (fast, both cores, the same 64 MiB
        # blocks): kwpack copies the ready archive into the installer.
        seconds, _, _ = timed(['7zz', 'a', '-t7z', '-m0=LZMA2', '-mx1', '-mf=off', '-ms=64m', '-mmt=2', '-bd', '-bso0',
                               '-bsp0', archive, '.'], cwd=tree)
        print('7-Zip (7zz a -mx1 -ms=64m) made the archive in %.1f s' % seconds)
        command = kwpack_command(tree, setup, archive)
        at = command.index('--payload-dir')
        command[at:at + 4] = ['--payload-7z', 'Z:' + archive]
    else:
        command = kwpack_command(tree, setup, archive)
    pack_seconds, pack_peak, _ = timed(command)
    print('kwpack%s (Wine): %.1f s, peak %.1f MB (bound %d MB); archive %.1f MB, installer %.1f MB'
          % (' --payload-7z' if from_7zip else '', pack_seconds, pack_peak / MB, LARGE_BOUND // MB,
             os.path.getsize(archive) / MB, os.path.getsize(setup) / MB))

    dest, events = os.path.join(work, 'out-installer'), os.path.join(work, 'events.txt')
    os.makedirs(dest)
    env = dict(os.environ, KW_TEST_EVENTS='Z:' + events, KW_TEST_DEST='Z:' + dest)
    install_seconds, install_peak, _ = timed([WINE_RUN, setup, '/InstallSlience', 'true'], env)
    extracted = 'extracted true' in open(events).read()
    same = extracted and same_trees(tree, dest)
    print('installer, silent (Wine): %.1f s, peak %.1f MB (bound %d MB); extracted %s, identical to the tree %s'
          % (install_seconds, install_peak / MB, LARGE_BOUND // MB, extracted, same))
    shutil.rmtree(dest)

    theirs = os.path.join(work, 'out-7zz')
    os.makedirs(theirs)
    theirs_seconds, theirs_peak, _ = timed(['7zz', 'x', '-mmt=1', '-bd', '-bso0', '-bsp0', '-o' + theirs, archive])
    print('7-Zip (7zz x -mmt=1) on the same archive: %.1f s, peak %.1f MB; identical to the tree %s'
          % (theirs_seconds, theirs_peak / MB, same_trees(tree, theirs)))
    shutil.rmtree(theirs)

    # The same extraction inside one process that reports its own figures.
    stored, out = os.path.join(work, 'payload.stored.7z'), os.path.join(work, 'out-bench')
    with open(archive, 'rb') as source, open(stored, 'wb') as target:
        first = bytearray(source.read(MB))
        first[0], first[1] = first[1], first[0]
        target.write(first)
        shutil.copyfileobj(source, target, 16 * MB)
    os.remove(archive)
    os.makedirs(out)
    wall, rss, report = timed([WINE_RUN, BENCH_EXE, 'Z:' + stored, 'Z:' + out])
    figures = dict(line.split(' ', 1) for line in report.split('\n') if ' ' in line)
    print('extract_bench (Wine, in process): %.1f s, largest folder %.1f MB, PeakWorkingSetSize %.1f MB, '
          'peak private %.1f MB; ru_maxrss of the same process %.1f MB'
          % (float(figures['seconds']), int(figures['largest_folder_bytes']) / MB,
             int(figures['peak_working_set_bytes']) / MB, int(figures['peak_private_bytes']) / MB, rss / MB))
    ok = pack_peak <= LARGE_BOUND and install_peak <= LARGE_BOUND and same
    print('within %d MB and byte-exact: %s' % (LARGE_BOUND // MB, ok))
    return ok


def main():
    parser = argparse.ArgumentParser(description='Payload benchmarks: ours against 7-Zip.')
    parser.add_argument('work', nargs='?', default=os.path.join(ROOT, 'build', 'payload-bench'))
    parser.add_argument('--cases', default='100mb,1.5gb')
    parser.add_argument('--keep', action='store_true', help='keep the generated trees and outputs')
    parser.add_argument('--from-7zip', action='store_true',
                        help='1.5gb: let 7-Zip compress (fast) and kwpack take the ready archive, for slow machines')
    args = parser.parse_args()
    if not os.path.exists(BENCH_EXE):
        sys.exit('build first: ' + BENCH_EXE + ' is missing')
    # A Wine prefix of the bench's own: the test suite stops the servers of
    # the project's prefixes, and with them any program still running there.
    os.environ.setdefault('KW_WINE_PREFIX_ROOT', os.path.join(ROOT, '.deps', 'wine-bench'))
    cases = args.cases.split(',')
    ok = True
    for name, run in (('100mb', small_case), ('1.5gb', lambda folder: large_case(folder, args.from_7zip))):
        if name not in cases:
            continue
        folder = os.path.join(os.path.abspath(args.work), name)
        try:
            ok = (run(folder) is not False) and ok
        finally:
            if not args.keep:
                shutil.rmtree(folder, ignore_errors=True)
    sys.exit(0 if ok else 1)


if __name__ == '__main__':
    main()

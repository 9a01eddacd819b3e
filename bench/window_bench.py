#!/usr/bin/env python3
"""The dialog's first paint against NSIS's Modern UI, under the same Wine.

window_bench.py [WORK_DIR] [--runs N] [--full]

Under Xvfb (xvfb-run -a -s "-screen 0 1280x800x24"), in a prefix of its own
with a warm wineserver: the time from process start until the window's first
painted frame shows on the screen (a block at the screen's centre, where
every window here is centred, stops being the black root; read straight from
the X server by bench/frame_probe.c every half millisecond), for the demo
installer, for an NSIS installer with a Modern UI welcome page and the same
payload, and for a bare Win32 window (bench/bare_window.c: what Wine itself
spends on starting a process and showing a window); medians of RUNS
(default 5), taken in turns. Ours also traces its first frame against its own
process creation time ("first frame N ms after the process started"); that
figure is printed beside. With --full also the whole windowed install of the
demo driven by mouse (start, install, completion view, start button, exit).
Needs a build, makensis, gcc and the X11 headers."""
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "dialog"))
from desktop import Prefix, Window, find_window, xdo  # noqa: E402

BIN = os.path.join(ROOT, "build", "win32", "bin")
PAYLOAD = os.path.join(ROOT, "build", "win32", "demo-product", "payload")
# A block at the screen's centre: a single pixel can fall on black text.
PROBE = (630, 390, 21, 21)
SETTLE_SECONDS = 1.0

NSI = r"""Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel user
!include MUI2.nsh
Name "KWSweep"
OutFile "@OUT@"
InstallDir "$TEMP\kwbench-nsis"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_LANGUAGE "SimpChinese"
Section
  SetOutPath "$INSTDIR"
  File /r "@PAYLOAD@/*"
SectionEnd
"""


def probe_painted():
    """Whether any pixel of the probe block is no longer the black root."""
    x, y, cx, cy = PROBE
    out = subprocess.run(["import", "-window", "root", "-crop", f"{cx}x{cy}+{x}+{y}", "-depth", "8", "rgb:-"],
                         capture_output=True).stdout
    return any(out)


def build_tools(work):
    """The screen probe (native, Xlib) and the bare window (Win32)."""
    probe = os.path.join(work, "frame_probe")
    bare = os.path.join(work, "bare_window.exe")
    subprocess.run(["gcc", "-O2", "-o", probe, os.path.join(HERE, "frame_probe.c"), "-lX11"], check=True)
    subprocess.run(["i686-w64-mingw32-gcc", "-O2", "-municode", "-mwindows", "-o", bare,
                    os.path.join(HERE, "bare_window.c")], check=True)
    return probe, bare


def first_paint(prefix, probe, exe, shot=None):
    """Seconds from start to the first frame on screen, and the start-up time
    the program traced itself (or None); the process is ended after."""
    assert not probe_painted(), "the screen's centre is not free"
    x, y, cx, cy = PROBE
    watcher = subprocess.Popen([probe, str(x), str(y), str(cx), str(cy), "20"], stdout=subprocess.PIPE, text=True)
    assert watcher.stdout.readline().strip() == "ready"
    with tempfile.TemporaryFile("w+") as err:
        started = time.monotonic()
        process = subprocess.Popen(["wine", exe], env=dict(prefix.env, WINEDEBUG="warn+seh"),
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=err)
        seen = watcher.stdout.readline().strip()
        watcher.wait()
        seconds = float(seen) - started if seen != "timeout" else None
        if shot and seconds is not None:
            subprocess.run(["import", "-window", "root", shot])
        # Every program gets a second to settle before it is ended: ending one in
        # the middle of its start leaves Wine work behind that slows the next
        # start by tens of milliseconds, whichever program that is.
        time.sleep(SETTLE_SECONDS)
        process.kill()
        process.wait()
        err.seek(0)
        traced = re.search(r"first frame (\d+) ms after the process started", err.read())
    while probe_painted():
        time.sleep(0.05)
    return seconds, traced and int(traced.group(1)) / 1000


def full_install(prefix, exe):
    started = time.perf_counter()
    process = prefix.start(exe)
    wid = find_window("安装")
    time.sleep(0.3)
    window = Window(wid, 1)
    window.click(300, 273)
    end = time.time() + 120
    # The completion view: the caption buttons come back; wait for the end
    # of the worker by the installed product's main program.
    main_exe = prefix.c_drive(r"C:\Program Files (x86)\KWSweep\KWSweep.exe")
    while time.time() < end and not os.path.exists(main_exe):
        time.sleep(0.1)
    # The main program is not the last file: the completion view (and its
    # start button) shows when the worker ends. Clicks on the install view
    # fall on nothing.
    while True:
        window.click(300, 407)
        try:
            process.wait(timeout=0.5)
            break
        except subprocess.TimeoutExpired:
            if time.time() > end:
                raise
    seconds = time.perf_counter() - started
    subprocess.run(["pkill", "-f", r"KWSweep\\KWSweep\.exe"])
    return seconds


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    runs = 5
    if "--runs" in sys.argv:
        runs = int(sys.argv[sys.argv.index("--runs") + 1])
        args = [a for a in args if a != str(runs)]
    work = os.path.abspath(args[0] if args else os.path.join(ROOT, "build", "window-bench"))
    os.makedirs(work, exist_ok=True)
    nsis = os.path.join(work, "kwsweep-nsis.exe")
    if not os.path.exists(nsis):
        script = os.path.join(work, "kwsweep-nsis.nsi")
        open(script, "w").write(NSI.replace("@OUT@", nsis).replace("@PAYLOAD@", PAYLOAD))
        subprocess.run(["makensis", "-V1", script], check=True)
    ours = os.path.join(BIN, "KWSweepSetup.exe")
    probe, bare = build_tools(work)
    programs = {"ours": ours, "nsis": nsis, "bare": bare}
    if os.environ.get("KW_BENCH_ONLY"):
        programs = {name: programs[name] for name in os.environ["KW_BENCH_ONLY"].split(",")}
    prefix = Prefix(os.path.join(work, "prefix"))
    try:
        for exe in programs.values():
            first_paint(prefix, probe, exe)  # warm the file cache and the wineserver
        times = {name: [] for name in programs}
        traced = []
        for run in range(runs):
            for name, exe in programs.items():
                shot = os.path.join(work, f"first-frame-{name}.png") if run == runs - 1 else None
                seconds, self_traced = first_paint(prefix, probe, exe, shot)
                times[name].append(seconds)
                if name == "ours":
                    traced.append(self_traced)
        medians = {}
        for name, values in times.items():
            painted = [v for v in values if v is not None]
            medians[name] = statistics.median(painted) if painted else None
            shown = f"{medians[name] * 1000:.0f} ms" if painted else "never"
            print(f"first paint {name:5}: median {shown}  runs {[v and round(v * 1000) for v in values]}")
        known = [t for t in traced if t is not None]
        if known:
            print(f"first frame as traced by ours (from its process creation): median "
                  f"{statistics.median(known) * 1000:.0f} ms  runs {[t and round(t * 1000) for t in traced]}")
        if medians.get("ours") and medians.get("nsis"):
            print(f"ratio ours/nsis: {medians['ours'] / medians['nsis']:.2f}")
        if medians.get("ours") and medians.get("bare"):
            print(f"ours above the bare window: {(medians['ours'] - medians['bare']) * 1000:.0f} ms")
        print(f"screenshots of the last run's first frames: {work}/first-frame-*.png")
        if "--full" in sys.argv:
            whole = []
            for _ in range(runs):
                whole.append(full_install(prefix, ours))
                prefix.wine("reg", "delete", r"HKLM\SOFTWARE\KWSweep", "/f", "/reg:32", check=False)
            print(f"whole windowed install: median {statistics.median(whole):.2f} s  runs {[round(v, 2) for v in whole]}")
    finally:
        prefix.stop()


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""The dialog's first paint against NSIS's Modern UI, under the same Wine.

window_bench.py [WORK_DIR] [--runs N] [--full]

Under Xvfb (xvfb-run -a -s "-screen 0 1280x800x24"), in a prefix of its own
with a warm wineserver: the time from process start until the window's first
painted frame shows on the screen (a block at the screen's centre, where
both installers centre their window, stops being the black root), for the demo
installer and for an NSIS installer with a Modern UI welcome page and the
same payload; medians of RUNS (default 5). With --full also the whole
windowed install of the demo driven by mouse (start, install, completion
view, start button, exit). Needs a build and makensis."""
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "dialog"))
from desktop import Prefix, Window, find_window, xdo  # noqa: E402

BIN = os.path.join(ROOT, "build", "win32", "bin")
PAYLOAD = os.path.join(ROOT, "build", "win32", "demo-product", "payload")
# A block at the screen's centre: a single pixel can fall on black text.
PROBE = (630, 390, 21, 21)

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


def first_paint(prefix, exe):
    """Seconds from start to the first frame on screen; the process is ended after."""
    assert not probe_painted(), "the screen's centre is not free"
    started = time.perf_counter()
    process = prefix.start(exe)
    seconds = None
    while time.perf_counter() - started < 20:
        if probe_painted():
            seconds = time.perf_counter() - started
            break
    process.kill()
    process.wait()
    while probe_painted():
        time.sleep(0.05)
    return seconds


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
    time.sleep(0.5)
    window.click(300, 407)
    process.wait(timeout=60)
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
    prefix = Prefix(os.path.join(work, "prefix"))
    try:
        first_paint(prefix, ours)  # warm the file cache and the wineserver
        first_paint(prefix, nsis)
        times = {"ours": [], "nsis": []}
        for _ in range(runs):
            times["ours"].append(first_paint(prefix, ours))
            times["nsis"].append(first_paint(prefix, nsis))
        medians = {}
        for name, values in times.items():
            painted = [v for v in values if v is not None]
            medians[name] = statistics.median(painted) if painted else None
            shown = f"{medians[name] * 1000:.0f} ms" if painted else "never"
            print(f"first paint {name:5}: median {shown}  runs {[v and round(v * 1000) for v in values]}")
        if medians["ours"] and medians["nsis"]:
            print(f"ratio ours/nsis: {medians['ours'] / medians['nsis']:.2f}")
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

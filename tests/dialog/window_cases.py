#!/usr/bin/env python3
"""The dialog's remaining cases, driven by a person in a fresh prefix, with
the shipped configuration and skin and install events that record themselves
(dialog_events.lua):
- folders picked in the real folder dialog follow the base-name rule;
- too little free space shows the required megabytes as the box says them,
  and the folder test leaves no folder behind;
- a worker that ends before the first tick still ends at 100, with the text
  of a normal end; the listen window hears of the end;
- with an application id other than 163 the install view keeps its
  background, with 163 it changes;
- closing from the completion view skips QRVSE_AfterComplete, the start
  button runs it.

window_cases.py SETUP_EXE LISTEN_EXE WORK_DIR"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from desktop import (Prefix, Shot, Window, clipboard, differing_fraction, find_window, geometry,  # noqa
                     patience, take_clipboard, wait_or_kill, where_wine_runs, window_gone, xdo)
from window_install import INSTALL_BUTTON, PATH_FIELD, TITLE, check, failures  # noqa

CLOSE_BUTTON = (571, 22)
SELECT_PATH_BUTTON = (531, 369)
START_BUTTON = (300, 407)
FOLDER_DIALOG = "Select Folder"
# Its Open button, from the dialog's bottom right corner (the dialog's width
# differs between prefixes).
FOLDER_DIALOG_OPEN = (114, 15)
PROGRESS_BAR = (55, 322, 490, 16)
PROGRESS_TEXT = (200, 338, 200, 24)
BACKGROUND = (0, 66, 600, 240)  # the install view above the bar, below the caption
SMALL_VOLUME_BYTES = 64 << 20


class Installer:
    """One run of the dialog installer, its events and its window."""

    def __init__(self, prefix, setup, work, name, *args, **env):
        self.events_path = os.path.join(work, f"events-{name}.txt")
        if os.path.exists(self.events_path):
            os.remove(self.events_path)
        env = {"KW_DIALOG_EVENTS": "Z:" + self.events_path.replace("/", "\\"), **env}
        self.process = prefix.start(setup, *args, env=env)
        self.id = find_window(TITLE)
        self.window = Window(self.id, 1) if self.id else None
        if self.id:
            time.sleep(1.5)
            x, y, _, _ = geometry(self.id)
            self.origin = (x, y)

    def events(self):
        if not os.path.exists(self.events_path):
            return []
        with open(self.events_path) as f:
            return [line.split()[0] for line in f if line.strip()]

    def region(self, shot, x, y, cx, cy):
        return shot.region(self.origin[0] + x, self.origin[1] + y, cx, cy)

    def field_text(self):
        self.window.click(*PATH_FIELD)
        self.window.keys("ctrl+a")
        self.window.keys("ctrl+c")
        # The copy lands a moment later on a loaded machine.
        end = time.time() + patience(5)
        text = clipboard()
        while not text and time.time() < end:
            time.sleep(0.2)
            text = clipboard()
        take_clipboard()
        return text

    def type_path(self, path):
        self.window.replace_text(*PATH_FIELD, path)

    def end(self, timeout=30):
        return wait_or_kill(self.process, timeout)

    def close_confirmed(self):
        self.window.click(*CLOSE_BUTTON)
        box = find_window("提醒", 10)
        if box:
            xdo("key", "--window", box, "Return")
        return self.end()


def pick_folders(prefix, setup, work):
    os.makedirs(prefix.c_drive(r"C:\Tools\KWSweep"), exist_ok=True)
    run = Installer(prefix, setup, work, "pick")
    check(run.id is not None, "the dialog shows")
    if not run.id:
        return
    # Picked folder -> the field's text (base name "KWSweep").
    cases = [(r"C:\Tools", r"C:\Tools\KWSweep"), (r"C:\Tools\KWSweep", r"C:\Tools\KWSweep"),
             ("C:\\", r"C:\KWSweep")]
    for picked, expected in cases:
        run.window.click(*SELECT_PATH_BUTTON)
        dialog = find_window(FOLDER_DIALOG, 15)
        check(dialog is not None, f"the folder dialog opens for {picked}")
        if not dialog:
            break
        time.sleep(1)
        xdo("type", "--delay", 30, picked)
        time.sleep(0.3)
        _, _, width, height = geometry(dialog)
        Window(dialog, 1).click(width - FOLDER_DIALOG_OPEN[0], height - FOLDER_DIALOG_OPEN[1])
        end = time.time() + patience(10)
        while time.time() < end and not window_gone(dialog):
            time.sleep(0.2)
        check(window_gone(dialog), f"the folder dialog takes {picked}")
        time.sleep(1)
        shown = run.field_text()
        check(shown == expected, f"picking {picked} puts {shown!r} in the field (expected {expected!r})")

    code = run.close_confirmed()
    check(code == 0, f"the confirmed close ends with 0 ({code})")


def too_little_space(prefix, setup, listen, work):
    """The shipped configuration asks for 111,142,715 bytes; drive S: is a
    volume of 64 MB."""
    if os.geteuid() != 0:
        print("skip: mounting a small volume needs root", flush=True)
        return
    volume = os.path.join(work, "small-volume")
    os.makedirs(volume, exist_ok=True)
    where_wine_runs("umount", volume, stderr=subprocess.DEVNULL)
    mounted = where_wine_runs("mount", "-t", "tmpfs", "-o", f"size={SMALL_VOLUME_BYTES}", "tmpfs", volume).returncode == 0
    check(mounted, "a 64 MB volume is mounted")
    if not mounted:
        return
    try:
        drive = os.path.join(prefix.path, "dosdevices", "s:")
        if os.path.lexists(drive):
            os.remove(drive)
        os.symlink(volume, drive)
        run = Installer(prefix, setup, work, "space")
        check(run.id is not None, "the dialog shows")
        if not run.id:
            return
        run.type_path("S:\\KWSpace\\KWSweep")
        run.window.click(*INSTALL_BUTTON)
        box = find_window("提示", 10)
        check(box is not None, "too little space shows the box captioned 提示")
        if box:
            time.sleep(0.5)
            Shot(os.path.join(work, "artefacts", "free-space-box.png"))
            # The box's own text, read from its window.
            out = os.path.join(work, "box-text.txt")
            prefix.start(listen, "--box-text", "提示", "Z:" + out.replace("/", "\\")).wait(timeout=patience(30))
            text = open(out, encoding="utf-8").read() if os.path.exists(out) else ""
            check("需要105.99MB的空间" in text, f"the box asks for 105.99 MB ({text!r})")
            xdo("key", "--window", box, "Return")
            time.sleep(0.5)
        check(run.process.poll() is None and not window_gone(run.id), "the dialog stays after the box")
        left = where_wine_runs("test", "-e", os.path.join(volume, "KWSpace")).returncode == 0
        check(not left, "the folder test left no folder behind")
        check(run.events() == ["BeforeInit"], f"nothing was installed ({run.events()})")
        code = run.close_confirmed()
        check(code == 0, f"the confirmed close ends with 0 ({code})")
    finally:
        where_wine_runs("umount", volume)


def progress_filled(run, shot):
    left, top, width, height = PROGRESS_BAR
    row = run.region(shot, left, top + height // 2, width, 1)[0]
    green = sum(1 for i in range(0, len(row), 3) if row[i + 1] > row[i] + 40)
    return green / width


def install_runs(prefix, setup, listen, work):
    """Returns the progress text's pixels at the end of each run."""
    texts = {}
    runs = [  # name, install seconds, application id, closed how
        ("fast", 0, 0, "close"),
        ("slow", 5, 0, "start"),
        ("animated", 5, 163, "close"),
    ]
    for name, seconds, app_id, closing in runs:
        log = os.path.join(work, f"listen-{name}.txt")
        if os.path.exists(log):
            os.remove(log)
        listener = prefix.start(listen, "Z:" + log.replace("/", "\\"), "3000")
        handle = None
        end = time.time() + patience(20)
        while time.time() < end and handle is None:
            if os.path.exists(log):
                for line in open(log):
                    if line.startswith("window "):
                        handle = line.split()[1]
            time.sleep(0.1)
        check(handle is not None, f"{name}: the listen window exists")
        if handle is None:
            listener.kill()
            continue
        run = Installer(prefix, setup, work, name, "/InstallListenWnd", handle,
                        KW_DIALOG_INSTALL_SECONDS=str(seconds), KW_DIALOG_APP_ID=str(app_id))
        check(run.id is not None, f"{name}: the dialog shows")
        if not run.id:
            listener.kill()
            continue
        run.type_path(f"C:\\KWCases\\{name}")
        run.window.click(*INSTALL_BUTTON)
        started = time.time()
        if seconds:
            time.sleep(0.6)
            early = Shot()
            time.sleep(max(0, started + 4.6 - time.time()))
            late = Shot(os.path.join(work, "artefacts", f"install-view-{name}.png"))
            changed = differing_fraction(run.region(early, *BACKGROUND), run.region(late, *BACKGROUND))
            if app_id == 163:
                check(changed > 0.005, f"{name}: with id 163 the background changes ({changed:.3f})")
            else:
                check(changed < 0.001, f"{name}: with id {app_id} the background stays ({changed:.3f})")
        finished = False
        end = time.time() + patience(30)
        while time.time() < end and not finished:
            finished = os.path.exists(log) and "finished" in open(log).read()
            time.sleep(0.05)
        check(finished, f"{name}: the listen window hears of the end")
        if finished:
            time.sleep(0.3)  # inside the listener's hold: the finished install view
            shot = Shot(os.path.join(work, "artefacts", f"finished-{name}.png"))
            filled = progress_filled(run, shot)
            check(filled > 0.97, f"{name}: the bar ends full ({filled:.2f})")
            texts[name] = run.region(shot, *PROGRESS_TEXT)
        # The completion view follows the hold.
        time.sleep(3.5)
        complete = Shot(os.path.join(work, "artefacts", f"complete-{name}.png"))
        check(progress_filled(run, complete) < 0.5, f"{name}: the completion view shows")
        if closing == "close":
            run.window.click(*CLOSE_BUTTON)
            code = run.end()
            check(code == 0 and find_window("提醒", 1) is None, f"{name}: the close button ends without asking ({code})")
            check("AfterComplete" not in run.events(), f"{name}: closing skips QRVSE_AfterComplete ({run.events()})")
        else:
            run.window.click(*START_BUTTON)
            code = run.end()
            check(code == 0, f"{name}: the start button ends the installer ({code})")
            check(run.events()[-1:] == ["AfterComplete"], f"{name}: starting runs QRVSE_AfterComplete ({run.events()})")
        listener.kill()
    return texts


def main():
    setup, listen, work = sys.argv[1:4]
    os.makedirs(os.path.join(work, "artefacts"), exist_ok=True)
    prefix = Prefix(os.path.join(work, "prefix-cases"))
    try:
        pick_folders(prefix, setup, work)
        too_little_space(prefix, setup, listen, work)
        texts = install_runs(prefix, setup, listen, work)
        if "fast" in texts and "slow" in texts:
            differ = differing_fraction(texts["fast"], texts["slow"])
            check(differ < 0.01, f"a worker done before the first tick ends with the text of a normal end ({differ:.3f})")
    finally:
        prefix.stop()


if __name__ == "__main__":
    main()
    print("FAILED:" if failures else "PASSED", *failures, sep="\n  ")
    sys.exit(1 if failures else 0)

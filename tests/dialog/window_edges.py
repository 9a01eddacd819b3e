#!/usr/bin/env python3
"""The dialog's guards, driven by a person in a fresh prefix: a relative
folder gets the invalid-folder box; the close button before the install asks
and Cancel keeps the window; a second installer brings this window to the
front and ends; Alt+F4 while the worker runs is refused and the install goes
on; the close button on the completion view ends the installer with 0.

window_edges.py SETUP_EXE WORK_DIR"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from desktop import Prefix, Shot, Window, differing_fraction, find_window, is_mapped, patience, wait_or_kill, window_gone, xdo  # noqa
from window_install import INSTALL_BUTTON, PATH_FIELD, TITLE, check, failures  # noqa

CLOSE_BUTTON = (571, 22)


def main():
    setup_exe, work = sys.argv[1], sys.argv[2]
    prefix = Prefix(os.path.join(work, "prefix-edges"))
    try:
        # Alt+F4 reaches the dialog: before an install it closes it.
        first = prefix.start(setup_exe)
        wid = find_window(TITLE)
        if wid:
            time.sleep(1.5)
            xdo("key", "--window", wid, "alt+F4")
        first_code = wait_or_kill(first, 30)
        check(first_code == 0, f"Alt+F4 in the initial view closes the dialog ({first_code})")

        setup = prefix.start(setup_exe)
        wid = find_window(TITLE)
        check(wid is not None, "the dialog shows")
        if not wid:
            return
        time.sleep(1.5)
        window = Window(wid, 1)

        # A relative folder: the invalid-folder box, then the initial view again.
        window.replace_text(*PATH_FIELD, "relative\\KWSweep")
        window.click(*INSTALL_BUTTON)
        box = find_window("错误", 10)
        check(box is not None, "a relative folder shows the box captioned 错误")
        if box:
            Shot(os.path.join(work, "artefacts", "invalid-folder-box.png"))
            xdo("key", "--window", box, "Return")
            time.sleep(0.5)
        check(setup.poll() is None and not window_gone(wid), "the dialog stays after the box")

        # The close button asks; Cancel keeps the window.
        window.click(*CLOSE_BUTTON)
        box = find_window("提醒", 10)
        check(box is not None, "the close button asks (提醒)")
        if box:
            xdo("key", "--window", box, "Escape")
            time.sleep(0.5)
        check(setup.poll() is None and not window_gone(wid), "Cancel keeps the dialog")

        # A second installer: this window comes to the front, the second ends.
        # (Without a window manager Xvfb cannot minimise or tell the active
        # window; the second installer must end and this window stay shown.)
        second = prefix.start(setup_exe)
        second_code = wait_or_kill(second, 60)
        check(second_code == 0, f"the second installer ends with 0 ({second_code})")
        time.sleep(0.5)
        check(is_mapped(wid), "the first dialog is shown again")
        check(len(xdo("search", "--onlyvisible", "--name", TITLE).split()) == 1, "one dialog only")

        # Alt+F4 while the worker runs is refused; the install goes on.
        window.replace_text(*PATH_FIELD, "C:\\KWEdges\\KWSweep")
        window.click(*INSTALL_BUTTON)
        time.sleep(0.3)
        xdo("windowactivate", wid)
        xdo("key", "--window", wid, "alt+F4")
        time.sleep(0.5)
        check(setup.poll() is None and not window_gone(wid), "Alt+F4 during the install leaves the dialog open")
        installing = Shot()
        end = time.time() + patience(120)
        complete = False
        while time.time() < end and not complete:
            time.sleep(0.5)
            complete = differing_fraction(installing.region(0, 0, 1280, 400), Shot().region(0, 0, 1280, 400)) > 0.05
        check(complete, "the install went on to the completion view")
        check(os.path.isfile(prefix.c_drive(r"C:\KWEdges\KWSweep\KWSweep.exe")), "the product was installed")

        # The close button of the completion view ends without asking.
        time.sleep(0.5)
        window.click(*CLOSE_BUTTON)
        code = wait_or_kill(setup, 30)
        check(code == 0, f"closing the completion view ends with 0 ({code})")
        check(find_window("提醒", 1) is None, "without asking")
    finally:
        prefix.stop()


if __name__ == "__main__":
    os.makedirs(os.path.join(sys.argv[2], "artefacts"), exist_ok=True)
    main()
    print("FAILED:" if failures else "PASSED", *failures, sep="\n  ")
    sys.exit(1 if failures else 0)

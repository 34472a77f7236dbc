#!/usr/bin/env python3
"""End-to-end check that quick key taps count once each in a slow window.

Runs the staged `kelvane` windowed at 1920 x 1080 (on a software rasterizer a
frame then takes several tick periods, so ticks pile up behind the frames) in
a fresh working directory on the X display in $DISPLAY, which must hold such a
window. Turns editor mode on, taps L quickly TAPS times with the pointer over
the window and saves the scene with Ctrl+S until the saves agree: the last
save's log line must count one lamp (an object and a point light) per tap.
Prints one line per check and "N passed, M failed".

Usage: e2e_taps.py <stage_dir>   (KELVANE_E2E_KEEP=1 keeps the working directory)
"""

import os
import shutil
import sys
import time

from e2e_program import (COOK_TIMEOUT, CHANGE_TIMEOUT, Checks, Program, check_no_leak, stage_fresh_directory, wait_for,
                         xdotool)

WINDOW_W, WINDOW_H = 1920, 1080
TAPS = 20
TAP_DELAY_MS = 60
# The built-in world: nine tiles, five props and one lamp, lit by that lamp.
WORLD_OBJECTS, WORLD_POINT_LIGHTS = 15, 1
# Between two saves; a save waits up to CHANGE_TIMEOUT for its log line.
SAVE_INTERVAL = 1.0
SAVE_TIMEOUT = 120


def save_lines(program):
    """The save lines of the log so far."""
    return [message for message in program.log() if message.startswith("Scene saved to ")]


def save(program):
    """Ctrl+S as a user types it, Ctrl held until the save is logged (the
    frames are slow); the save line, or None."""
    saves = len(save_lines(program))
    xdotool("keydown", "ctrl")
    try:
        xdotool("key", "s")
        logged = wait_for(lambda: save_lines(program)[saves:], CHANGE_TIMEOUT)
        return logged[0] if logged else None
    finally:
        xdotool("keyup", "ctrl")


def settled_save(program):
    """Saves until two saves in a row say the same, since presses taken faster
    than the ticks show one a tick: the last save line, or None. A save comes
    before the same tick's lamp, so while lamps are still to come no two saves
    agree."""
    previous = None
    deadline = time.monotonic() + SAVE_TIMEOUT
    while time.monotonic() < deadline:
        latest = save(program)
        if latest is None or latest == previous:
            return latest
        previous = latest
        time.sleep(SAVE_INTERVAL)
    return None


def tap_run(checks, directory):
    with open(os.path.join(directory, "game_config.ini"), "w") as config:
        config.write(f"[Display]\nMode=1\nWidth={WINDOW_W}\nHeight={WINDOW_H}\n[Game]\nFPS=60\n")
    program = Program.start(directory, COOK_TIMEOUT)
    try:
        if not checks.check("taps: the window opens and the main loop starts", program.looping()):
            return
        checks.check("taps: the window is 1920 x 1080", program.geometry() == (WINDOW_W, WINDOW_H),
                     str(program.geometry()))
        program.stable_shot()
        program.point(WINDOW_W / 2, WINDOW_H / 2)
        program.focus()
        xdotool("key", "F5")  # editor mode, where Ctrl+S saves
        xdotool("key", "--delay", TAP_DELAY_MS, *["l"] * TAPS)
        saved = settled_save(program)
        expected = (f"Scene saved to scenes/main.ini (objects: {WORLD_OBJECTS + TAPS}, "
                    f"point lights: {WORLD_POINT_LIGHTS + TAPS}).")
        checks.check(f"taps: {TAPS} quick taps of L add exactly {TAPS} lamps", saved == expected,
                     f"last save: {saved}")
        status = program.quit_with_escape()
        checks.check("taps: Escape ends the program with status 0", status == 0, f"status {status}")
    finally:
        program.stop()


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    checks = Checks()
    directory = stage_fresh_directory(os.path.abspath(sys.argv[1]))
    print(f"working directory: {directory}", flush=True)
    try:
        tap_run(checks, directory)
    except Exception as error:  # a broken run must still end in a counted failure
        checks.check("the taps scenario ran to its end", False, f"{type(error).__name__}: {error}")
    else:
        check_no_leak(checks, directory)
    finally:
        if checks.failed == 0 and not os.environ.get("KELVANE_E2E_KEEP"):
            shutil.rmtree(directory, ignore_errors=True)
    return checks.summary()


if __name__ == "__main__":
    sys.exit(main())

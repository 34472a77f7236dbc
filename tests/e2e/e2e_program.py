#!/usr/bin/env python3
"""End-to-end checks of the real program in a real window.

Runs the staged `kelvane` twice in one fresh working directory on the X display
in $DISPLAY: first with no configuration file (defaults written, caches cooked,
Escape quits with status 0, the log holds every start-up line), then windowed
at 800 x 600 (caches reused) while xdotool drives it like a user: a lamp under
the pointer, editor selection, dragging and raising, the debug views (the first
by a quick tap), the depth view, a key let go in another window and the arrow
keys. Results are read from screenshots by pixels that must change or keep
their colour. Prints one line per check and "N passed, M failed".

Usage: e2e_program.py <stage_dir>   (KELVANE_E2E_KEEP=1 keeps the working directory)
"""

import configparser
import os
import shutil
import subprocess
import sys
import tempfile
import time

WINDOW_NAME = "^Kelvane$"
COOK_TIMEOUT = 240  # the first run cooks every cache before the loop starts
START_TIMEOUT = 120
CHANGE_TIMEOUT = 45
STABLE_TIMEOUT = 90
EXIT_TIMEOUT = 60
POLL = 0.4

WINDOW_W, WINDOW_H = 800, 600
RENDER_FACTOR = WINDOW_H / 1080.0  # display pixels per internal picture pixel
HEIGHT_FACTOR = 0.61138  # screen pixels per unit of height
LAMP_HEIGHT = 300.0
BACKGROUND = (100, 100, 100)
MAGENTA = (255, 0, 255)
LAMP_MARKER = (255, 255, 204)  # the lamp light's colour (1.2, 1.0, 0.8) as drawn
FRAME_HALF_WIDTH = 2.5  # the selection frame is 5 display pixels thick
BOX_TOLERANCE = 6

EXPECTED_LOG = [
    "Allegro initialized.",
    "Keyboard Mapping initialized.",
    "Starting display setup.",
    "Set ALLEGRO_OPENGL flag",
    "Set Window Mode Display flags",
    "Display was created",
    "Shader Manager created succesfully",
    "Bitmap Manager created succesfully",
    "Set Display title",
    "Renderer added to the general list",
    "Display Created.",
    "Timer set-up",
    "Saved Configuration file",
    "Starting Game Scene.",
    "Lights created.",
    "Game Font loaded.",
    "Camera created",
    "Objects created",
    "Game Setup succesfully",
    "Timer Started and Delta Reset",
]


class Checks:
    """Counts and prints the outcome of every check."""

    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, name, ok, detail=""):
        if ok:
            self.passed += 1
            print(f"PASS: {name}" + (f" ({detail})" if detail else ""), flush=True)
        else:
            self.failed += 1
            print(f"FAIL: {name}" + (f" ({detail})" if detail else ""), flush=True)
        return ok

    def summary(self):
        print(f"{self.passed} passed, {self.failed} failed", flush=True)
        return 0 if self.failed == 0 and self.passed > 0 else 1


class Picture:
    """A screenshot as packed RGB bytes."""

    def __init__(self, ppm):
        tokens = []
        position = 0
        while len(tokens) < 4:
            end = ppm.index(b"\n", position)
            line = ppm[position:end].split(b"#")[0]
            tokens += line.split()
            position = end + 1
        if tokens[0] != b"P6" or tokens[3] != b"255":
            raise ValueError("not an 8-bit binary PPM")
        self.width, self.height = int(tokens[1]), int(tokens[2])
        self.data = ppm[position:position + self.width * self.height * 3]
        self.r, self.g, self.b = self.data[0::3], self.data[1::3], self.data[2::3]

    def rgb(self, x, y):
        i = y * self.width + x
        return self.r[i], self.g[i], self.b[i]

    def matching(self, colour, tolerance=3):
        """Positions (x, y) of the pixels within `tolerance` of `colour`."""
        cr, cg, cb = colour
        found = []
        for i, (r, g, b) in enumerate(zip(self.r, self.g, self.b)):
            if abs(r - cr) <= tolerance and abs(g - cg) <= tolerance and abs(b - cb) <= tolerance:
                found.append((i % self.width, i // self.width))
        return found

    def bounding_box(self, colour):
        points = self.matching(colour)
        if not points:
            return None
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        return min(xs), min(ys), max(xs), max(ys)

    def difference(self, other):
        """Fraction of pixels whose colour differs by more than a little."""
        changed = sum(1 for a, b in zip(self.data, other.data) if abs(a - b) > 8)
        return changed / max(1, len(self.data))

    def grey_fraction(self):
        grey = sum(1 for r, g, b in zip(self.r, self.g, self.b) if r == g == b)
        return grey / max(1, len(self.r))

    def grey_levels(self):
        return len({r for r, g, b in zip(self.r, self.g, self.b) if r == g == b})

    def mean_luma(self, points):
        total = 0
        for x, y in points:
            r, g, b = self.rgb(x, y)
            total += 0.3 * r + 0.59 * g + 0.11 * b
        return total / max(1, len(points))

    def blue_excess(self):
        """Mean of blue over the mean of red and green: normal maps are blue."""
        total = sum(b - (r + g) / 2 for r, g, b in zip(self.r, self.g, self.b))
        return total / max(1, len(self.r))

    def shift(self, later, axis, largest=250):
        """How far the picture moved toward the origin along axis 'x' or 'y':
        d such that later(p) best matches self(p + d)."""
        def luma(picture, x, y):
            r, g, b = picture.rgb(x, y)
            return 3 * r + 6 * g + b

        samples = [(x, y) for y in range(40, self.height - 40, 12) for x in range(40, self.width - 40, 12)]
        best, best_error = 0, None
        for d in range(-largest, largest + 1, 1):
            error = count = 0
            for x, y in samples:
                sx, sy = (x + d, y) if axis == "x" else (x, y + d)
                if 0 <= sx < self.width and 0 <= sy < self.height:
                    error += abs(luma(later, x, y) - luma(self, sx, sy))
                    count += 1
            if count > len(samples) // 3:
                error /= count
                if best_error is None or error < best_error:
                    best, best_error = d, error
        return best


class Object_Image:
    """An object folder's diffuse image size, pivot and a well-inside opaque pixel."""

    def __init__(self, folder):
        settings = configparser.ConfigParser()
        settings.read(os.path.join(folder, "settings.ini"))
        self.cx = float(settings["General"]["Center_X"])
        self.cy = float(settings["General"]["Center_Y"])
        diffuse = os.path.join(folder, "diffuse.png")
        size = subprocess.run(["identify", "-format", "%w %h", diffuse], capture_output=True, text=True, check=True)
        self.w, self.h = (int(v) for v in size.stdout.split())
        rgba = subprocess.run(["convert", diffuse, "-depth", "8", "rgba:-"], capture_output=True, check=True).stdout
        alpha = rgba[3::4]
        self.opaque = self._inner_opaque_pixel(alpha)

    def _inner_opaque_pixel(self, alpha, margin=3):
        best, best_distance = None, None
        for y in range(margin, self.h - margin):
            for x in range(margin, self.w - margin):
                if alpha[y * self.w + x] < 255:
                    continue
                if all(alpha[(y + dy) * self.w + x + dx] == 255
                       for dy in (-margin, 0, margin) for dx in (-margin, 0, margin)):
                    distance = (x - self.w / 2) ** 2 + (y - self.h / 2) ** 2
                    if best is None or distance < best_distance:
                        best, best_distance = (x, y), distance
        return best

    def pixel_from_pivot(self, ix, iy):
        """Display offset of image pixel (ix, iy) from the drawn pivot, at scale 1."""
        return (ix + 0.5 - self.cx) * RENDER_FACTOR, (iy + 0.5 - self.cy) * RENDER_FACTOR

    def box_from_pivot(self, pivot):
        """The selection frame's expected bounding box around a drawn pivot."""
        x0 = pivot[0] - self.cx * RENDER_FACTOR - FRAME_HALF_WIDTH
        y0 = pivot[1] - self.cy * RENDER_FACTOR - FRAME_HALF_WIDTH
        return (x0, y0, x0 + self.w * RENDER_FACTOR + 2 * FRAME_HALF_WIDTH,
                y0 + self.h * RENDER_FACTOR + 2 * FRAME_HALF_WIDTH)


def xdotool(*args):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True, timeout=30).stdout.strip()


def wait_for(condition, timeout):
    """Polls `condition` until it gives a true value or the time is up; returns its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(POLL)


def log_messages(path):
    try:
        with open(path) as log:
            return [line[4:].rstrip("\n") for line in log if line.startswith("--> ")]
    except OSError:
        return []


class Program:
    """One run of the program in a working directory, with its window."""

    def __init__(self, directory):
        self.directory = directory
        # Appended run after run, so the leak check at the end sees every run's report.
        self.output = open(os.path.join(directory, "stdout.txt"), "a")
        self.process = subprocess.Popen(["./kelvane"], cwd=directory, stdout=self.output, stderr=subprocess.STDOUT)
        self.window = None

    def running(self):
        return self.process.poll() is None

    def log(self):
        return log_messages(os.path.join(self.directory, "game.log"))

    @staticmethod
    def start(directory, timeout):
        """A run whose main loop started, or the failed one. Xvfb now and then
        refuses a connection made right after another: a run that found no
        display is started once more."""
        program = Program(directory)
        if program.wait_until_looping(timeout) or program.running() or not program.had_no_display():
            return program
        program.stop()
        time.sleep(1.0)
        program = Program(directory)
        program.wait_until_looping(timeout)
        return program

    def had_no_display(self):
        return any("Display couldn't be created" in message for message in self.log())

    def looping(self):
        return self.running() and self.window is not None and "Timer Started and Delta Reset" in self.log()

    def wait_until_looping(self, timeout):
        """True once the window exists and the main loop has started."""
        def ready():
            if not self.running():
                return "ended"
            if not self.window:
                self.window = xdotool("search", "--onlyvisible", "--name", WINDOW_NAME).split("\n")[0] or None
            return self.looping()
        return wait_for(ready, timeout) is True

    def geometry(self):
        for line in xdotool("getwindowgeometry", self.window).splitlines():
            if "Geometry:" in line:
                w, h = line.split()[-1].split("x")
                return int(w), int(h)
        return None

    def shot(self, attempts=3):
        for _ in range(attempts):
            if not self.running():
                raise RuntimeError(f"the program ended unexpectedly with status {self.process.returncode}")
            xwd = subprocess.run(["xwd", "-silent", "-id", self.window], capture_output=True)
            if xwd.returncode == 0:
                return Picture(subprocess.run(["convert", "xwd:-", "ppm:-"], input=xwd.stdout, capture_output=True,
                                              check=True).stdout)
            time.sleep(POLL)
        raise RuntimeError(f"no screenshot of window {self.window}: {xwd.stderr.decode().strip()}")

    def save_shot(self, name):
        subprocess.run(f"xwd -silent -id {self.window} | convert xwd:- '{os.path.join(self.directory, name)}'",
                       shell=True)

    def stable_shot(self):
        """A screenshot once two in a row are the same (the view has settled)."""
        previous = [self.shot()]

        def settled():
            time.sleep(0.6)
            current = self.shot()
            same = current.data == previous[0].data
            previous[0] = current
            return same
        wait_for(settled, STABLE_TIMEOUT)
        return previous[0]

    def focus(self):
        xdotool("windowfocus", "--sync", self.window)

    def point(self, x, y):
        xdotool("mousemove", "--window", self.window, round(x), round(y))
        time.sleep(0.3)

    def hold_until(self, down, up, condition, timeout=CHANGE_TIMEOUT):
        """Holds a key or button (xdotool `down` / `up` arguments) until the
        condition holds, as a user does who waits to see the effect."""
        self.focus()
        xdotool(*down)
        try:
            return wait_for(condition, timeout)
        finally:
            xdotool(*up)

    def hold_key_until(self, key, condition, timeout=CHANGE_TIMEOUT):
        return self.hold_until(("keydown", key), ("keyup", key), condition, timeout)

    def tap_key(self, key):
        """Down and up at once, most likely between two ticks."""
        self.focus()
        xdotool("key", "--delay", "0", key)

    def hold_key_for(self, key, seconds):
        self.hold_key_until(key, lambda: time.sleep(seconds) or True)

    def changed_from(self, before):
        return lambda: self.shot().difference(before) > 0.0005

    def quit_with_escape(self):
        """Holds Escape until the program ends; its exit status, or None."""
        ended = self.hold_key_until("Escape", lambda: not self.running(), EXIT_TIMEOUT)
        return self.process.returncode if ended else None

    def stop(self):
        if self.running():
            self.process.kill()
            self.process.wait()
        self.output.close()


def stage_fresh_directory(stage):
    directory = tempfile.mkdtemp(prefix="kelvane-e2e-")
    shutil.copytree(os.path.join(stage, "assets"), os.path.join(directory, "assets"))
    for name in ("b1.png", "b2.png", "kelvane"):
        shutil.copy2(os.path.join(stage, name), directory)
    # The stage may hold caches from an earlier run there: the first run must cook its own.
    for folder in object_folders(directory):
        for cache in ("normal_cooked.png", "shadow.png"):
            path = os.path.join(folder, cache)
            if os.path.exists(path):
                os.remove(path)
    return directory


# Staged for games, but not built by the demonstration, so never cooked by it.
NOT_IN_THE_DEMO = {"robot_wave"}


# The object folders the demonstration builds.
def object_folders(directory):
    root = os.path.join(directory, "assets", "objects")
    return sorted(os.path.join(root, name) for name in os.listdir(root)
                  if os.path.isdir(os.path.join(root, name)) and name not in NOT_IN_THE_DEMO)


def cache_times(directory):
    times = {}
    for folder in object_folders(directory):
        for cache in ("normal_cooked.png", "shadow.png"):
            path = os.path.join(folder, cache)
            if os.path.exists(path):
                times[path] = os.stat(path).st_mtime_ns
    return times


def near(box, expected, tolerance=BOX_TOLERANCE):
    return box is not None and all(abs(a - b) <= tolerance for a, b in zip(box, expected))


def describe_box(box):
    return "none" if box is None else "(" + ", ".join(f"{v:.0f}" for v in box) + ")"


def check_log(checks, program, run):
    messages = program.log()
    expected = [f"Run directory: {os.path.realpath(program.directory)}, the working directory."] + EXPECTED_LOG
    checks.check(f"{run}: game.log holds exactly the start-up and scene lines in order", messages == expected,
                 f"got {messages}" if messages != expected else "")


def first_run(checks, directory):
    """No configuration file: defaults written back, caches cooked, Escape quits."""
    program = Program.start(directory, COOK_TIMEOUT)
    try:
        if not checks.check("run 1: the window opens and the main loop starts", program.looping()):
            return False
        config = configparser.ConfigParser()
        config.optionxform = str
        config.read(os.path.join(directory, "game_config.ini"))
        written = {(section, key): config.get(section, key, fallback=None)
                   for section, key in (("Display", "Mode"), ("Display", "Height"), ("Display", "Width"),
                                        ("Game", "FPS"))}
        expected = {("Display", "Mode"): "2", ("Display", "Height"): "600", ("Display", "Width"): "800",
                    ("Game", "FPS"): "60"}
        checks.check("run 1: game_config.ini is written with every default", written == expected, str(written))
        missing = []
        for folder in object_folders(directory):
            name = os.path.basename(folder)
            if not os.path.exists(os.path.join(folder, "normal_cooked.png")):
                missing.append(name + "/normal_cooked.png")
            if os.path.exists(os.path.join(folder, "shadow.png")) != (name != "light"):
                missing.append(name + "/shadow.png " + ("unexpected" if name == "light" else "missing"))
        checks.check("run 1: every object folder got normal_cooked.png, all but light got shadow.png",
                     not missing and len(object_folders(directory)) >= 7, ", ".join(missing))
        picture = program.stable_shot()
        program.save_shot("run1.png")
        grey = len(picture.matching(BACKGROUND, 0))
        checks.check("run 1: the scene is drawn over the grey background",
                     0 < grey < picture.width * picture.height * 0.9, f"{grey} grey pixels")
        status = program.quit_with_escape()
        checks.check("run 1: Escape ends the program with status 0", status == 0, f"status {status}")
        check_log(checks, program, "run 1")
        return True
    finally:
        program.stop()


def second_run(checks, directory, cooked):
    """Windowed at 800 x 600 with the caches of the first run: the controls."""
    with open(os.path.join(directory, "game_config.ini"), "w") as config:
        config.write(f"[Display]\nMode=1\nWidth={WINDOW_W}\nHeight={WINDOW_H}\n[Game]\nFPS=60\n")
    program = Program.start(directory, START_TIMEOUT)
    try:
        if not checks.check("run 2: the window opens and the main loop starts", program.looping()):
            return
        checks.check("run 2: the caches of run 1 are reused, not written again", cache_times(directory) == cooked)
        checks.check("run 2: the window is 800 x 600", program.geometry() == (WINDOW_W, WINDOW_H),
                     str(program.geometry()))
        still = program.stable_shot()
        time.sleep(1.5)
        checks.check("run 2: the picture keeps still without input", program.shot().data == still.data)
        lamp = Object_Image(os.path.join(directory, "assets", "objects", "light"))
        if not checks.check("run 2: the lamp image has an opaque area to point at", lamp.opaque is not None):
            return
        check_lamp_and_editor(checks, program, lamp, still)
        check_debug_views(checks, program)
        check_focus_change(checks, program)
        check_arrows(checks, program)
        status = program.quit_with_escape()
        checks.check("run 2: Escape ends the program with status 0", status == 0, f"status {status}")
        check_log(checks, program, "run 2")
    finally:
        program.stop()


def lamp_pointer(lamp, picture):
    """A pointer position over the floor (no background under or around it)
    such that a lamp added there is drawn wholly inside the window; the one
    nearest the window's middle, or None."""
    background = set(picture.matching(BACKGROUND, 0))
    best, best_distance = None, None
    for y in range(30, WINDOW_H - 30, 20):
        for x in range(40, WINDOW_W - 40, 20):
            x0, y0, x1, y1 = lamp.box_from_pivot(lamp_pivot((x, y)))
            if x0 < 10 or y0 < 10 or x1 > WINDOW_W - 10 or y1 > WINDOW_H - 10:
                continue
            if any((px, py) in background for px, py in floor_patch((x, y))):
                continue
            distance = (x - WINDOW_W / 2) ** 2 + (y - WINDOW_H / 2) ** 2
            if best is None or distance < best_distance:
                best, best_distance = (x, y), distance
    return best


def floor_patch(pointer, half_w=30, half_h=20):
    """The pixels around the pointer whose light the new lamp changes."""
    return [(x, y) for y in range(pointer[1] - half_h, pointer[1] + half_h)
            for x in range(pointer[0] - half_w, pointer[0] + half_w)]


def lamp_pivot(pointer):
    """Where a lamp whose floor point lies under the pointer has its pivot drawn."""
    return pointer[0], pointer[1] - LAMP_HEIGHT * HEIGHT_FACTOR * RENDER_FACTOR


def check_lamp_and_editor(checks, program, lamp, before):
    pointer = lamp_pointer(lamp, before)
    if not checks.check("L: there is floor in view to put a lamp on", pointer is not None):
        return
    program.point(*pointer)
    program.hold_key_until("l", program.changed_from(before))
    after = program.stable_shot()
    program.save_shot("lamp.png")
    lit_before, lit_after = before.mean_luma(floor_patch(pointer)), after.mean_luma(floor_patch(pointer))
    checks.check("L: the floor around the pointer brightens under the new lamp", lit_after > lit_before + 3,
                 f"mean luma {lit_before:.1f} -> {lit_after:.1f}")

    pivot = lamp_pivot(pointer)
    offset = lamp.pixel_from_pivot(*lamp.opaque)
    grab = (pivot[0] + offset[0], pivot[1] + offset[1])
    checks.check("L: the new lamp is drawn above the pointer's floor point",
                 after.difference(before) > 0 and after.rgb(round(grab[0]), round(grab[1])) !=
                 before.rgb(round(grab[0]), round(grab[1])))

    program.point(*grab)
    program.hold_key_until("F5", program.changed_from(after))
    hovered = program.stable_shot()
    checks.check("F5: editor mode marks the lamp under the pointer, no selection yet",
                 hovered.difference(after) > 0 and not hovered.matching(MAGENTA))

    program.hold_until(("mousedown", 2), ("mouseup", 2), lambda: program.shot().matching(MAGENTA))
    selected = program.stable_shot()
    program.save_shot("selected.png")
    box = selected.bounding_box(MAGENTA)
    expected = lamp.box_from_pivot(pivot)
    checks.check("middle click: a magenta frame surrounds the lamp", near(box, expected),
                 f"frame {describe_box(box)}, expected {describe_box(expected)}")

    target = (pointer[0] - 150, pointer[1] + 40)
    program.hold_until(("mousedown", 1), ("mouseup", 1), lambda: drag_to(program, grab, target))
    dragged = program.stable_shot()
    program.save_shot("dragged.png")
    box = dragged.bounding_box(MAGENTA)
    expected = lamp.box_from_pivot(lamp_pivot(target))
    checks.check("button 1 drag: the lamp's floor point follows the pointer, the frame with it",
                 near(box, expected), f"frame {describe_box(box)}, expected {describe_box(expected)}")

    program.hold_until(("mousedown", 3), ("mouseup", 3), lambda: raise_pointer(program, dragged))
    raised = program.stable_shot()
    program.save_shot("raised.png")
    moved = raised.bounding_box(MAGENTA)
    checks.check("button 2 drag upward: the lamp rises, its frame moves straight up",
                 box is not None and moved is not None and moved[1] < box[1] - 15 and abs(moved[0] - box[0]) <= 3
                 and abs((moved[3] - moved[1]) - (box[3] - box[1])) <= 3,
                 f"frame {describe_box(box)} -> {describe_box(moved)}")

    program.hold_key_until("F5", lambda: not program.shot().matching(MAGENTA))
    checks.check("F5 again: editor mode off hides the frame", not program.stable_shot().matching(MAGENTA))


def drag_to(program, start, target, steps=6):
    """Moves the pointer in steps while button 1 is down; done once it got there."""
    for i in range(1, steps + 1):
        program.point(start[0] + (target[0] - start[0]) * i / steps, start[1] + (target[1] - start[1]) * i / steps)
    time.sleep(1.0)
    return True


def raise_pointer(program, before, distance=80):
    """Moves the pointer up while button 2 is down; done once the picture changed."""
    xdotool("mousemove_relative", "--", 0, -distance)
    return wait_for(program.changed_from(before), CHANGE_TIMEOUT)


def check_debug_views(checks, program):
    plain = program.stable_shot()
    check_markers_and_normals(checks, program, plain)
    check_depth_view(checks, program, plain)


def check_markers_and_normals(checks, program, plain):
    markers_before = len(plain.matching(LAMP_MARKER))
    program.tap_key("F1")
    checks.check("F1 tapped quickly: the tap is not lost between two ticks",
                 wait_for(program.changed_from(plain), CHANGE_TIMEOUT))
    marked = program.stable_shot()
    program.save_shot("lights.png")
    markers = len(marked.matching(LAMP_MARKER))
    checks.check("F1: light markers appear in the lamps' colour", markers > markers_before + 30,
                 f"{markers_before} -> {markers} marker pixels")
    program.hold_key_until("F1", program.changed_from(marked))
    checks.check("F1 again: the markers go", program.stable_shot().difference(plain) < 0.001)

    program.hold_key_until("F3", program.changed_from(plain))
    normals = program.stable_shot()
    program.save_shot("normals.png")
    checks.check("F3: objects show their normal maps (the picture turns blue)",
                 normals.blue_excess() > plain.blue_excess() + 15,
                 f"blue excess {plain.blue_excess():.1f} -> {normals.blue_excess():.1f}")
    program.hold_key_until("F3", program.changed_from(normals))
    checks.check("F3 again: the lit picture comes back", program.stable_shot().difference(plain) < 0.001)


def depth_shown(program):
    """The picture, when it shows the depth buffer; else None."""
    picture = program.shot()
    return picture if picture.grey_fraction() > 0.99 else None


def check_depth_view(checks, program, plain):
    depth = program.hold_key_until("d", lambda: depth_shown(program))
    if depth:
        program.save_shot("depth.png")
    checks.check("D held: the whole picture shows the depth buffer in grey levels",
                 depth is not None and depth.grey_levels() >= 8,
                 f"{depth.grey_levels()} grey levels" if depth else "no grey picture")
    released = wait_for(lambda: program.shot().difference(plain) < 0.001, CHANGE_TIMEOUT)
    checks.check("D released: the coloured picture comes back", released)


def check_arrows(checks, program):
    for key, axis in (("Right", "x"), ("Down", "y")):
        before = program.stable_shot()
        # At full tick rate a second pans about half the window: well within what shift() searches.
        program.hold_key_for(key, 1.0)
        after = program.stable_shot()
        program.save_shot(f"arrow_{key}.png")
        moved = before.shift(after, axis)
        checks.check(f"{key} arrow: the view moves {key.lower()} (the picture shifts the other way)", moved >= 5,
                     f"picture shifted {moved} px")


def check_focus_change(checks, program):
    """D held, focus to another window, D let go there, focus back: the depth
    view must go; pressing D again shows it again."""
    other = subprocess.Popen(["xmessage", "-geometry", "-0-0", "another window"], stderr=subprocess.DEVNULL)
    try:
        window = wait_for(lambda: xdotool("search", "--onlyvisible", "--name", "^xmessage$").split("\n")[0],
                          START_TIMEOUT)
        plain = program.stable_shot()
        program.focus()
        xdotool("keydown", "d")
        shown = wait_for(lambda: depth_shown(program), CHANGE_TIMEOUT)
        xdotool("windowfocus", "--sync", window)
        xdotool("keyup", "d")
        program.focus()
        checks.check("focus: D let go in another window, the depth view goes when focus returns",
                     window and shown and wait_for(lambda: program.shot().difference(plain) < 0.001, CHANGE_TIMEOUT))
        checks.check("focus: D pressed again shows the depth view",
                     program.hold_key_until("d", lambda: depth_shown(program)) is not None)
    finally:
        other.kill()
        other.wait()


def check_no_leak(checks, directory):
    """A sanitizer build reports leaks at exit; one with a root of its own is the program's."""
    with open(os.path.join(directory, "stdout.txt"), errors="replace") as output:
        checks.check("no run leaked a block the GL driver does not own", "Direct leak of" not in output.read())


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    stage = os.path.abspath(sys.argv[1])
    checks = Checks()
    directory = stage_fresh_directory(stage)
    print(f"working directory: {directory}", flush=True)
    try:
        if first_run(checks, directory):
            second_run(checks, directory, cache_times(directory))
    except Exception as error:  # a broken run must still end in a counted failure
        checks.check("the scenario ran to its end", False, f"{type(error).__name__}: {error}")
    else:
        check_no_leak(checks, directory)
    finally:
        # Kept on failure, or with KELVANE_E2E_KEEP set, for its screenshots and logs.
        if checks.failed == 0 and not os.environ.get("KELVANE_E2E_KEEP"):
            shutil.rmtree(directory, ignore_errors=True)
    return checks.summary()


if __name__ == "__main__":
    sys.exit(main())

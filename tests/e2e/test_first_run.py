"""A first run on a 1920x1080 screen: greeting, full-screen-sized window, clear colour, the
two UI windows, a close request that is ignored, and Escape that ends the program cleanly.

The program runs in a folder without its data files, and none is installed beside it: it says so
once, no model, texture or shader loads, so no scene is drawn and the clear colour shows everywhere
but under the UI. The shell does not depend on them."""

import os
import sys
import time

# Run from the source tree: keep the helper module's bytecode out of it.
sys.dont_write_bytecode = True

from tarnwick_e2e import (CLEAR_COLOUR, FPS_BOX, Program, empty_folder, VirtualDisplay, check, fps_changes,
                          is_bright, near, run_test)

SCREEN = (1920, 1080)
GREETING = "Tarnwick starting..."

# Where the Controls window is, in window coordinates: placed and sized exactly.
CONTROLS_BOX = (5, 400, 245, 537)
CONTROLS_LINES = ["Controls", "Move the camera", "Forward/Backwards: W/S", "Left/Right: A/D",
                  "Throw a ball: Left Mouse Button"]
# ImGui's built-in font is monospaced with this advance; a line of n characters is about
# n times as wide.
GLYPH_ADVANCE = 7


def inside(x, y, box, margin=0):
    x0, y0, x1, y1 = box
    return x0 - margin <= x < x1 + margin and y0 - margin <= y < y1 + margin


def check_clear_colour(shot, origin, label):
    """Sample a grid over the whole window, away from the UI, for the clear colour."""
    ox, oy = origin
    wrong = []
    samples = 0
    for y in range(7, SCREEN[1], 97):
        for x in range(11, SCREEN[0], 101):
            if inside(x, y, FPS_BOX, 8) or inside(x, y, CONTROLS_BOX, 8):
                continue
            samples += 1
            colour = shot.pixel(ox + x, oy + y)
            if not near(colour, CLEAR_COLOUR):
                wrong.append(((x, y), colour))
    check(samples > 150, f"only {samples} sample points")
    check(not wrong, f"{label}: {len(wrong)} of {samples} points away from the UI are not the "
                     f"clear colour {CLEAR_COLOUR}, e.g. {wrong[:5]} ({shot.path})")


def text_lines(shot, origin, box):
    """Bright pixels in ``box`` grouped into runs of rows: [(top, bottom, left, right)]."""
    ox, oy = origin
    x0, y0, x1, y1 = box
    rows = {}
    for x, y, colour in shot.region(ox + x0, oy + y0, ox + x1, oy + y1):
        if is_bright(colour):
            left, right = rows.get(y, (x, x))
            rows[y] = (min(left, x), max(right, x))
    lines = []
    for y in sorted(rows):
        left, right = rows[y]
        if lines and lines[-1][1] == y - 1:
            top, _, l0, r0 = lines[-1]
            lines[-1] = (top, y, min(l0, left), max(r0, right))
        else:
            lines.append((y, y, left, right))
    return lines


def check_controls_window(shot, origin, label):
    ox, oy = origin
    pixels = [colour for _, _, colour in shot.region(ox + CONTROLS_BOX[0], oy + CONTROLS_BOX[1],
                                                     ox + CONTROLS_BOX[2], oy + CONTROLS_BOX[3])]
    dark = sum(1 for c in pixels if max(c) < 45) / len(pixels)
    clear = sum(1 for c in pixels if near(c, CLEAR_COLOUR)) / len(pixels)
    bright = sum(1 for c in pixels if is_bright(c))
    check(dark > 0.75, f"{label}: only {dark:.0%} of the Controls window area "
                       f"{CONTROLS_BOX} is dark; its background is missing ({shot.path})")
    check(clear < 0.02, f"{label}: {clear:.0%} of the Controls window area shows the clear "
                        f"colour through it ({shot.path})")
    check(bright > 200, f"{label}: only {bright} bright text pixels in the Controls window "
                        f"({shot.path})")

    # The window's edges: the clear colour a few pixels outside each side.
    for x, y in [(CONTROLS_BOX[0] - 3, 470), (CONTROLS_BOX[2] + 3, 470),
                 (120, CONTROLS_BOX[1] - 4), (120, CONTROLS_BOX[3] + 4)]:
        colour = shot.pixel(ox + x, oy + y)
        check(near(colour, CLEAR_COLOUR),
              f"{label}: ({x}, {y}) just outside the Controls window is {colour}, not the "
              f"clear colour; the window is not at {CONTROLS_BOX} ({shot.path})")

    # Its text: five lines, top to bottom, each about as wide as its string.
    lines = text_lines(shot, origin, CONTROLS_BOX)
    check(len(lines) == len(CONTROLS_LINES),
          f"{label}: {len(lines)} lines of text in the Controls window, expected "
          f"{len(CONTROLS_LINES)} ({CONTROLS_LINES}); rows found: {lines} ({shot.path})")
    for (top, bottom, left, right), text in zip(lines, CONTROLS_LINES):
        width = right - left + 1
        expected = len(text) * GLYPH_ADVANCE
        check(abs(width - expected) <= GLYPH_ADVANCE,
              f"{label}: the text line at y {top - oy}..{bottom - oy} is {width} px wide, "
              f"expected about {expected} for {text!r} ({shot.path})")
        check(left - ox < CONTROLS_BOX[0] + 20,
              f"{label}: {text!r} starts at x {left - ox}, not at the window's left edge")


def check_fps_readout(shot, origin, label):
    ox, oy = origin
    pixels = [c for _, _, c in shot.region(ox + FPS_BOX[0], oy + FPS_BOX[1],
                                           ox + FPS_BOX[2], oy + FPS_BOX[3])]
    bright = sum(1 for c in pixels if is_bright(c))
    clear = sum(1 for c in pixels if near(c, CLEAR_COLOUR)) / len(pixels)
    check(bright > 20, f"{label}: no FPS read-out text in the top-left corner ({shot.path})")
    # The read-out draws no background: around its text the scene shows through.
    check(clear > 0.8, f"{label}: only {clear:.0%} of the top-left corner is the clear "
                       f"colour; the FPS read-out has a background ({shot.path})")


def first_run(ctx):
    display = ctx.enter(VirtualDisplay(*SCREEN))
    started_in = empty_folder(ctx)
    program = ctx.enter(Program(ctx.program_path, display, cwd=started_in))

    out = program.wait_for_output(GREETING)
    check(out.splitlines()[0] == GREETING,
          f"the first line on stdout is {out.splitlines()[0]!r}, not {GREETING!r}")

    window = program.wait_for_window()
    check(window.size == SCREEN,
          f"the window is {window.size[0]}x{window.size[1]}, not the screen's "
          f"{SCREEN[0]}x{SCREEN[1]}")
    origin = window.position
    check(origin == (0, 0), f"the window is at {origin}, not at the screen's corner")

    time.sleep(2)
    shot = display.screenshot("running")
    check_clear_colour(shot, origin, "2 s after start")
    check_controls_window(shot, origin, "2 s after start")
    check_fps_readout(shot, origin, "2 s after start")

    window.request_close()
    time.sleep(1.5)
    check(program.alive(), f"a close request ended the program ({program.describe_exit()}); "
                           "only Escape may end it")
    check(window.exists() and window.is_viewable(),
          "the window was destroyed or unmapped by a close request")
    check(window.title == "Vorlane", f"after a close request the window is titled "
                                     f"{window.title!r}")
    later = fps_changes(display, origin, "after-close")
    check(later is not None, "after a close request the FPS read-out no longer changes: the "
                             "program stopped drawing frames")
    check_clear_colour(later, origin, "after a close request")
    check_controls_window(later, origin, "after a close request")

    # Without the data a thrown ball has no model to draw and the cabin no surfaces to hit: the
    # program carries on regardless.
    program.click(1, hold=0.2)
    time.sleep(1.0)
    check(program.alive(), f"throwing a ball without the data files ended the program "
                           f"({program.describe_exit()})")
    check(fps_changes(display, origin, "after-throw") is not None,
          "after a ball was thrown without the data files the program stopped drawing frames")

    # Every missing file is named on stderr, each once however often it was asked for (beside the
    # physics library's own errors about the shapes left without a mesh).
    lines = [line for line in program.stderr().splitlines() if line.startswith(("Assets/", "Settings/"))]
    check(len(lines) == len(set(lines)), f"a problem was said more than once: {lines!r}")
    for path in ("Settings/Collisionlayers.json", "Assets/Shaders/DefaultVS.glsl", "Assets/Models/CabinWall.fbx",
                 "Assets/Models/UVSphere.fbx", "Assets/Textures/CabinWallTexture.png"):
        check(sum(line.startswith(f"{path}: not found") for line in lines) == 1,
              f"{path} is not named once as not found; stderr: {lines!r}")

    # The missing data folder is said once, with both places looked in: the working directory and
    # the data folder installed beside the program.
    installed = os.path.normpath(os.path.join(os.path.dirname(ctx.program_path), "..", "share", "tarnwick"))
    said = [line for line in program.stderr().splitlines() if "no data folder" in line]
    check(said == [f"Tarnwick: no data folder (Assets/ and Settings/) in {started_in} (the working directory) "
                   f"or {installed} (installed with the program); every model, texture, shader and setting "
                   f"will be missing"], f"the missing data folder is not said once as expected: {said!r}")

    code = program.quit(5)
    check(code is not None, "the program was still running 5 s after Escape")
    check(code == 0, f"after Escape the program ended with {program.describe_exit()}, not 0")
    check(not display.windows_named("Vorlane"), "a 'Vorlane' window is left after the exit")


if __name__ == "__main__":
    run_test(first_run)

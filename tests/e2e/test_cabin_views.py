"""The demo scene as a user first meets it and after flying out: inside the cabin the planks fill
the view above the shadowed floor; from outside the whole cabin stands on a white floor under the
sky, with its shadow cast beside it.

With TARNWICK_UPDATE_DOCS=1 the two screenshots are also written, scaled to 960x540, to
docs/cabin-inside.png and docs/cabin-outside.png, the pictures the README shows.
"""

import os
import subprocess
import sys
import time

# Run from the source tree: keep the helper module's bytecode out of it.
sys.dont_write_bytecode = True

from cabin_driving import (REPORT_ENV, Pilot, is_grey, is_lit_floor, is_sky, is_wood, luminance,
                           wait_for_reports)
from tarnwick_e2e import Program, VirtualDisplay, check, run_test, wait_until

SCREEN = (1280, 720)
DOCS = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir, "docs")
DOCS_SIZE = "960x540"
FPS_BOX = (0, 0, 120, 40)
CONTROLS_BOX = (5, 400, 245, 537)
# Sampling every few pixels is plenty for shapes this size and keeps the checks quick.
STEP = 4


def in_ui(x, y, margin=6):
    return any(x0 - margin <= x < x1 + margin and y0 - margin <= y < y1 + margin
               for x0, y0, x1, y1 in (FPS_BOX, CONTROLS_BOX))


def samples(shot, x0, y0, x1, y1):
    """Colours on a grid over a rectangle, leaving out the UI windows."""
    return [(x, y, shot.pixel(x, y)) for y in range(max(y0, 0), min(y1, shot.height), STEP)
            for x in range(max(x0, 0), min(x1, shot.width), STEP) if not in_ui(x, y)]


def share(points, predicate):
    return sum(1 for _, _, c in points if predicate(c)) / max(len(points), 1)


def save_for_docs(shot, name):
    if not os.environ.get("TARNWICK_UPDATE_DOCS"):
        return
    target = os.path.normpath(os.path.join(DOCS, name))
    os.makedirs(os.path.dirname(target), exist_ok=True)
    # Without metadata the file stays the same for the same pixels.
    subprocess.run(["convert", shot.path, "-resize", f"{DOCS_SIZE}!", "-strip",
                    "-define", "png:exclude-chunks=date,time", target],
                   check=True, capture_output=True, timeout=60)
    print(f"wrote {target}")


def check_inside(shot):
    width, height = shot.width, shot.height
    upper = samples(shot, 0, 0, width, height // 2)
    wood = share(upper, is_wood)
    check(wood > 0.85, f"inside: only {wood:.0%} of the upper half is wood-coloured; the wall at "
                       f"z = 35 should fill it ({shot.path})")
    # The floor inside lies in the roof's shadow: neutral grey, far from white, not the sky.
    lower = samples(shot, 0, height * 3 // 4, width, height)
    floor = share(lower, lambda c: is_grey(c) and 30 <= luminance(c) <= 160)
    check(floor > 0.9, f"inside: only {floor:.0%} of the bottom quarter is the shadowed grey "
                       f"floor ({shot.path})")
    sky = share(upper + lower, is_sky)
    check(sky < 0.01, f"inside: {sky:.0%} of the view is the sky colour, through closed walls "
                      f"({shot.path})")


def check_outside(shot):
    width, height = shot.width, shot.height
    points = samples(shot, 0, 0, width, height)
    wood = [(x, y) for x, y, c in points if is_wood(c)]
    share_wood = len(wood) / len(points)
    check(0.05 < share_wood < 0.5,
          f"outside: {share_wood:.0%} of the view is wood-coloured; the whole cabin should be in "
          f"view and not fill it ({shot.path})")
    left, right = min(x for x, _ in wood), max(x for x, _ in wood)
    top, bottom = min(y for _, y in wood), max(y for _, y in wood)
    check(left > STEP and right < width - 2 * STEP and top > STEP and bottom < height - 2 * STEP,
          f"outside: the cabin's wood reaches the edge of the view ({left}..{right} x "
          f"{top}..{bottom}); it is not wholly in view ({shot.path})")

    # Column by column across the middle of the cabin: sky at the top, then the silhouette's
    # wood, and under the lowest plank the floor (lit, or in the cabin's own shadow).
    columns = range(left + (right - left) // 5, right - (right - left) // 5, 16)
    for x in columns:
        column = [shot.pixel(x, y) for y in range(0, height)]
        first_wood = next(y for y, c in enumerate(column) if is_wood(c) or y == height - 1)
        last_wood = max(y for y, c in enumerate(column) if is_wood(c) or y == 0)
        check(first_wood < height - 1 and last_wood > 0,
              f"outside: no wood in column x = {x} through the cabin ({shot.path})")
        above = column[:max(first_wood - 3, 0)]
        sky_above = sum(1 for c in above if is_sky(c)) / max(len(above), 1)
        check(is_sky(column[0]) and sky_above > 0.5,
              f"outside: in column x = {x} above the cabin (rows 0..{first_wood}) only "
              f"{sky_above:.0%} is sky; top pixel {column[0]} ({shot.path})")
        below = [c for y, c in enumerate(column[last_wood + 3:], last_wood + 3)
                 if not in_ui(x, y)]
        floor_below = sum(1 for c in below if is_grey(c)) / max(len(below), 1)
        check(below and floor_below > 0.9,
              f"outside: in column x = {x} below the cabin (rows {last_wood}..) only "
              f"{floor_below:.0%} is floor ({shot.path})")

    # The floor in front of the cabin, the bottom rows, is lit and near white.
    front = samples(shot, 0, max(bottom + 8, height * 7 // 8), width, height)
    check(front, f"outside: the cabin reaches the bottom of the view ({shot.path})")
    lit = share(front, is_lit_floor)
    check(lit > 0.6, f"outside: only {lit:.0%} of the floor in front of the cabin is the lit "
                     f"white floor ({shot.path})")

    # Its shadow: neutral floor pixels clearly darker than the lit floor, a sizeable patch of
    # them, lying to the side the sun (shining towards +x and +z) throws it, which from this
    # viewpoint is the right.
    horizon = max(y for x, y, c in points if is_sky(c))
    floor = [(x, y, c) for x, y, c in points if y > horizon and is_grey(c)]
    lit_floor = [luminance(c) for _, _, c in floor if is_lit_floor(c)]
    shadow = [(x, y, luminance(c)) for x, y, c in floor if 30 <= luminance(c) <= 160]
    check(lit_floor and len(shadow) > 0.02 * len(points),
          f"outside: {len(shadow)} shadow samples on the floor of {len(points)}; no cabin shadow "
          f"({shot.path})")
    lit_mean = sum(lit_floor) / len(lit_floor)
    shadow_mean = sum(s for _, _, s in shadow) / len(shadow)
    check(shadow_mean < 0.6 * lit_mean,
          f"outside: the shadow (mean luminance {shadow_mean:.0f}) is not much darker than the lit "
          f"floor ({lit_mean:.0f}) ({shot.path})")
    shadow_x = sum(x for x, _, _ in shadow) / len(shadow)
    cabin_x = sum(x for x, _ in wood) / len(wood)
    check(shadow_x > cabin_x,
          f"outside: the shadow's centre x {shadow_x:.0f} is left of the cabin's {cabin_x:.0f}; "
          f"the sun shines towards +x ({shot.path})")
    print(f"outside: wood {share_wood:.0%} of the view in {left}..{right} x {top}..{bottom}, "
          f"lit floor {lit_mean:.0f}, shadow {shadow_mean:.0f} over {len(shadow)} samples")


def cabin_views(ctx):
    display = ctx.enter(VirtualDisplay(*SCREEN))
    program = ctx.enter(Program(ctx.program_path, display, env=REPORT_ENV))
    program.wait_for_window()
    # Two game seconds: the scene is built and drawn, and the frames go on.
    wait_for_reports(program, 2)

    def drawn():
        shot = display.screenshot("inside")
        upper = samples(shot, 0, 0, shot.width, shot.height // 2)
        return shot if share(upper, is_wood) > 0.85 else None

    inside = wait_until(drawn, 10.0, interval=0.5) or display.screenshot("inside")
    check_inside(inside)
    save_for_docs(inside, "cabin-inside.png")

    # Out through the corner at +x, -z: turn left towards it, back away facing the cabin, rise,
    # and look down a little.
    pilot = Pilot(program, display)
    pilot.turn(-45)
    pilot.fly("s", 1, boost=True)
    pilot.fly("space", 2)
    pilot.turn(0, -15)
    time.sleep(0.5)
    outside = display.screenshot("outside")
    check_outside(outside)
    save_for_docs(outside, "cabin-outside.png")

    code = program.quit(10)
    check(code == 0, f"after Escape the program ended with {program.describe_exit()}, not 0")


if __name__ == "__main__":
    run_test(cabin_views)

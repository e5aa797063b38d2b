"""Throwing balls at the cabin from inside, as a user does: each case starts the program afresh at
the start position (the origin, looking along +z at the wall at z = 35).

- one click: one ball, a round hole where it met the wall with the outside showing through it,
  the rest of the view unchanged, and the ball on the floor outside;
- the left button held throws one ball, not one per frame; a second press throws a second, and
  turned a little, it makes a second hole beside the first and goes through it too;
- a ball thrown at the floor rolls into the wall and still makes a hole, at the wall's foot;
- a ball thrown up at a roof slab makes a hole in the roof with the sky above it, goes out through
  it and comes down outside the cabin.

The ball positions come from the program's ball report (TARNWICK_REPORT_BALLS).
"""

import sys
import time

# Run from the source tree: keep the helper module's bytecode out of it.
sys.dont_write_bytecode = True

from cabin_driving import (Session, format_report, is_grey, is_sky, is_wood, read_reports,
                           wait_for_report, wait_for_reports)
from tarnwick_e2e import VirtualDisplay, check, run_test

SCREEN = (960, 540)
CENTRE = (SCREEN[0] // 2, SCREEN[1] // 2)
FPS_BOX = (0, 0, 120, 40)
CONTROLS_BOX = (5, 400, 245, 537)
# The wall at z = 35 is beyond this, so a ball past it has gone through.
BEYOND_WALL = 40.0
# A ball resting on the floor (its top at y = -2.5) has its centre near y = 2.5.
ON_FLOOR = 5.0
# A ball at 1500 units/s reaches the wall within a frame or two; this covers slow frames and
# the ball's roll to a stop on the far side.
SETTLE_TIMEOUT = 30.0


def in_ui(x, y, margin=6):
    return any(x0 - margin <= x < x1 + margin and y0 - margin <= y < y1 + margin
               for x0, y0, x1, y1 in (FPS_BOX, CONTROLS_BOX))


def is_ball(colour):
    """The red ball, lit or in the cabin's shadow (then a dark red)."""
    r, g, b = colour
    return r >= 40 and g <= 0.35 * r and b <= 0.35 * r


def is_outside(colour):
    """What a hole may show: the sky, the floor beyond (lit or shadowed), or the ball itself."""
    return is_sky(colour) or is_grey(colour) or is_ball(colour)


def box_share(shot, box, predicate, step=2):
    x0, y0, x1, y1 = box
    colours = [shot.pixel(x, y) for y in range(y0, y1, step) for x in range(x0, x1, step)
               if not in_ui(x, y)]
    return sum(1 for c in colours if predicate(c)) / max(len(colours), 1)


def changed_share(before, after, box, tolerance=6, step=2):
    """Share of pixels in ``box`` whose colour moved by more than ``tolerance`` in any channel."""
    x0, y0, x1, y1 = box
    points = [(x, y) for y in range(y0, y1, step) for x in range(x0, x1, step) if not in_ui(x, y)]
    moved = sum(1 for x, y in points
                if max(abs(a - b) for a, b in zip(before.pixel(x, y), after.pixel(x, y))) > tolerance)
    return moved / max(len(points), 1)


def beyond_wall_on_floor(report, balls, holes):
    return (report.balls == balls and report.holes == holes
            and all(z > BEYOND_WALL and y < ON_FLOOR for _, y, z in report.positions))


def one_click_one_hole(ctx, display):
    s = Session(ctx, display, "hole")
    before = s.shot("before")
    s.pilot.throw()
    report = wait_for_report(s.program, lambda r: beyond_wall_on_floor(r, 1, 1), SETTLE_TIMEOUT,
                             "one ball, one hole, the ball on the floor beyond the wall "
                             f"(z > {BEYOND_WALL}, y < {ON_FLOOR})")
    print(f"one click: {format_report(report)}")
    # Just beyond the wall the ball fills much of the hole; it rolls on away from the wall, and
    # from twice the wall's distance it covers only the hole's lower middle.
    wait_for_report(s.program, lambda r: r.balls == 1 and r.positions[0][2] > 2 * BEYOND_WALL,
                    SETTLE_TIMEOUT, "the ball rolling away beyond the hole")
    after = s.shot("after")

    # Around the centre, where the ball met the wall: planks before, the outside after. The box
    # stays above the wall's foot, which is a little below the centre.
    cx, cy = CENTRE
    hole = (cx - 50, cy - 60, cx + 50, cy + 25)
    wood = box_share(before, hole, is_wood)
    check(wood > 0.9, f"before the throw only {wood:.0%} of the centre {hole} is wall "
                      f"({before.path})")
    outside = box_share(after, hole, is_outside)
    check(outside > 0.9,
          f"after the hole only {outside:.0%} of the centre {hole} shows the outside; "
          f"{box_share(after, hole, is_wood):.0%} is still wood ({after.path})")
    # Its upper part, above the horizon and the ball, is sky.
    upper = (cx - 40, cy - 90, cx + 40, cy - 60)
    sky = box_share(after, upper, is_sky)
    check(sky > 0.9, f"the upper part of the hole {upper} shows only {sky:.0%} sky "
                     f"({after.path})")

    # Away from the hole the view is what it was: the upper left and right thirds (wall) and
    # the floor at the lower right.
    w, h = SCREEN
    for name, box in [("upper left", (0, 0, w // 3, h // 2)),
                      ("upper right", (2 * w // 3, 0, w, h // 2)),
                      ("lower right", (2 * w // 3, 2 * h // 3, w, h))]:
        moved = changed_share(before, after, box)
        check(moved < 0.005, f"the {name} of the view {box}, far from the hole, changed in "
                             f"{moved:.1%} of its pixels ({before.path} -> {after.path})")
    s.quit()


def held_button_and_second_hole(ctx, display):
    s = Session(ctx, display, "held")
    s.display.xdotool("mousedown", "1")
    try:
        # Two whole game seconds with the button down: one ball, whatever the frame count.
        wait_for_reports(s.program, 3)
    finally:
        s.display.xdotool("mouseup", "1")
    held = read_reports(s.program)[-2:]
    check(all(r.balls == 1 for r in held),
          "holding the left button threw other than one ball: "
          + " | ".join(format_report(r) for r in held))
    wait_for_report(s.program, lambda r: beyond_wall_on_floor(r, 1, 1), SETTLE_TIMEOUT,
                    "the held button's ball through its hole")

    # Turned right, the first hole moves to the left of the view and the centre is wall again.
    s.pilot.turn(25)
    cx, cy = CENTRE
    centre = (cx - 40, cy - 50, cx + 40, cy + 20)
    # Left of the second hole's place (about 100 pixels wide around the centre).
    left_half = (0, 0, cx - 110, cy + 20)
    turned = s.shot("turned")
    check(box_share(turned, centre, is_wood) > 0.9,
          f"after turning 25 degrees the centre {centre} is not wall ({turned.path})")
    first_hole_sky = box_share(turned, left_half, is_sky)
    check(first_hole_sky > 0.05, f"after turning 25 degrees right the first hole is not in the "
                                 f"left of the view: {first_hole_sky:.1%} sky ({turned.path})")

    s.pilot.throw()
    report = wait_for_report(s.program, lambda r: beyond_wall_on_floor(r, 2, 2), SETTLE_TIMEOUT,
                             "a second ball from a second press, a second hole, and both balls "
                             "beyond the wall")
    print(f"held, then pressed again: {format_report(report)}")
    after = s.shot("after")
    outside = box_share(after, centre, is_outside)
    check(outside > 0.9 and box_share(after, centre, is_sky) > 0.3,
          f"the second hole does not show the outside at the centre {centre}: {outside:.0%} "
          f"({after.path})")
    still = box_share(after, left_half, is_sky)
    # The first ball, rolling away beyond the first hole, may cover a little more or less of it.
    check(still > 0.8 * first_hole_sky,
          f"the first hole changed with the second: {first_hole_sky:.1%} sky in {left_half} "
          f"before, {still:.1%} after ({turned.path} -> {after.path})")
    s.quit()


def rolled_into_the_wall(ctx, display):
    s = Session(ctx, display, "floor")
    # 30 degrees down the view ray meets the floor a few units ahead: no wall on it.
    s.pilot.turn(0, -30)
    before = s.shot("before")
    s.pilot.throw()
    report = wait_for_report(s.program, lambda r: beyond_wall_on_floor(r, 1, 1), SETTLE_TIMEOUT,
                             "the rolled ball's hole and the ball beyond the wall")
    print(f"thrown at the floor: {format_report(report)}")
    after = s.shot("after")
    # The wall's foot is the strip at the top of this view; the hole opens there.
    cx = CENTRE[0]
    foot = (cx - 40, 4, cx + 40, 30)
    check(box_share(before, foot, is_wood) > 0.9,
          f"looking down 30 degrees, the top strip {foot} is not the wall's foot ({before.path})")
    outside = box_share(after, foot, is_outside)
    check(outside > 0.9, f"no hole at the wall's foot {foot}: {outside:.0%} shows the outside "
                         f"({after.path})")
    s.quit()


def roof_hole(ctx, display):
    s = Session(ctx, display, "roof")
    # The walls stand about 44 units tall, so 45 degrees up towards +x still meets the wall at
    # x = 35; 60 degrees meets the roof slab on that side, well above the eaves.
    s.pilot.turn(90, 60)
    before = s.shot("before")
    s.pilot.throw()
    report = wait_for_report(s.program, lambda r: r.balls == 1 and r.holes == 1, SETTLE_TIMEOUT,
                             "one ball and one hole in the roof")
    # Out through the roof, the ball comes down outside the cabin, out of this view, so that only
    # the hole differs.
    wait_for_report(s.program, lambda r: (r.balls == 1 and r.positions[0][1] < ON_FLOOR
                                          and abs(r.positions[0][0]) > BEYOND_WALL),
                    SETTLE_TIMEOUT, "the ball on the floor outside the cabin")
    print(f"thrown at the roof: {format_report(report)}; later "
          f"{format_report(read_reports(s.program)[-1])}")
    after = s.shot("after")
    cx, cy = CENTRE
    hole = (cx - 40, cy - 40, cx + 40, cy + 40)
    check(box_share(before, hole, is_wood) > 0.9,
          f"looking up at the roof, the centre {hole} is not wood ({before.path})")
    sky = box_share(after, hole, is_sky)
    check(sky > 0.9, f"the roof hole shows only {sky:.0%} sky at the centre {hole} ({after.path})")
    w, h = SCREEN
    for name, box in [("upper left", (0, 0, w // 4, h // 3)),
                      ("lower right", (3 * w // 4, 2 * h // 3, w, h))]:
        moved = changed_share(before, after, box)
        check(moved < 0.005, f"the {name} of the view {box}, far from the roof hole, changed in "
                             f"{moved:.1%} of its pixels ({before.path} -> {after.path})")
    s.quit()


def ball_holes(ctx):
    display = ctx.enter(VirtualDisplay(*SCREEN))
    for case in (one_click_one_hole, held_button_and_second_hole, rolled_into_the_wall,
                 roof_hole):
        started = time.monotonic()
        case(ctx, display)
        print(f"{case.__name__}: passed in {time.monotonic() - started:.1f} s")


if __name__ == "__main__":
    run_test(ball_holes)

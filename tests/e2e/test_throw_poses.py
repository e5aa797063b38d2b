"""Throws from many camera poses in the real program, at its own frame rate, as a user makes them:
turned right and left, raised, at a roof slab, from outside; and where the cabin's surfaces meet or
end: at an eave from above, from right against a wall, at a gable just under its apex, at a corner
from far away. Every ball makes its hole and ends beyond the surface it met: outside the cabin when
thrown from inside, inside it when thrown from outside. Turning, flying and clicking go through the
mouse and keyboard, each held for longer than a frame.

The ball positions come from the program's ball report (TARNWICK_REPORT_BALLS), once per game
second.
"""

import sys
import time

# Run from the source tree: keep the helper module's bytecode out of it.
sys.dont_write_bytecode = True

from cabin_driving import Session, format_report, wait_for_report, wait_for_reports
from tarnwick_e2e import VirtualDisplay, check, run_test

SCREEN = (960, 540)
# The walls' inner faces are at 32.5 from the middle and their outer faces at 37.5; the roof slabs
# rest on the walls' tops, about 40 units up.
INNER_FACE = 32.5
OUTER_FACE = 37.5
WALL_TOP = 40.0
# A ball at 1500 units/s is through its hole within a frame or two; this covers slow frames, the
# ball's fall back to the floor after a throw through the roof, and its roll to a stop.
SETTLE_TIMEOUT = 40.0
# Once it has come to its side, the ball stays there for this many more reports.
STAYS_FOR = 3


# The roof slabs' outer faces: 56.7 units up 19.5 units from the middle, falling 0.818 per unit out.
ROOF_POINT = (19.5, 56.7)
ROOF_FALL = 0.818


def outside(position):
    """Beyond a wall's outer face, or above the roof."""
    x, y, z = position
    roof = ROOF_POINT[1] - ROOF_FALL * (abs(x) - ROOF_POINT[0])
    return abs(x) > OUTER_FACE + 2 or abs(z) > OUTER_FACE + 2 or y > roof


def inside(position):
    x, y, z = position
    return abs(x) < INNER_FACE and abs(z) < INNER_FACE and y < WALL_TOP


class ThrowingSession(Session):
    """A session that counts its throws and follows each ball to the side it must end on."""

    def __init__(self, ctx, display, label):
        super().__init__(ctx, display, label)
        self.throws = 0

    def throw_and_expect(self, what, side, name):
        """Throws one ball and waits for it, and one more hole, to be on ``side``, and to stay."""
        self.throws += 1
        self.pilot.throw_until_seen(self.throws)
        index = self.throws - 1

        def settled(report):
            return (report.balls == self.throws and report.holes == self.throws
                    and side(report.positions[index]))

        report = wait_for_report(self.program, settled, SETTLE_TIMEOUT,
                                 f"{self.label}: {what}: ball {index} {name} with its hole")
        later = wait_for_reports(self.program, STAYS_FOR)[-STAYS_FOR:]
        check(all(settled(r) for r in later),
              f"{self.label}: {what}: ball {index} did not stay {name}: "
              + " | ".join(format_report(r) for r in later))
        print(f"{self.label}: {what}: {format_report(report)}")


def from_inside(ctx, display):
    s = ThrowingSession(ctx, display, "inside")
    s.pilot.turn(30)
    s.throw_and_expect("turned 30 degrees right, at the wall ahead", outside, "outside the cabin")
    s.pilot.turn(-65)
    s.throw_and_expect("turned 35 degrees left", outside, "outside the cabin")
    # Facing +x and looking up: the roof slab on that side, well above the eaves.
    s.pilot.turn(125, 60)
    s.throw_and_expect("up at the roof slab", outside, "outside the cabin")
    s.quit()


def raised(ctx, display):
    s = ThrowingSession(ctx, display, "raised")
    # One game second up at the camera's speed: about 25 units above the floor.
    s.pilot.fly("space", 1)
    s.throw_and_expect("raised, at the wall ahead", outside, "outside the cabin")
    s.pilot.turn(-100, -10)
    s.throw_and_expect("raised, turned left and down a little", outside, "outside the cabin")
    s.quit()


def from_outside(ctx, display):
    s = ThrowingSession(ctx, display, "outside")
    # Backwards out through the wall behind (there is no collision for the camera), and up, so the
    # holes are above the floor a ball rolls on.
    s.pilot.fly("s", 1, boost=True)
    s.pilot.fly("space", 1)
    s.throw_and_expect("from outside, at the back wall", inside, "inside the cabin")
    s.pilot.turn(12)
    s.throw_and_expect("from outside, turned 12 degrees right", inside, "inside the cabin")
    s.quit()


def eave_from_above(ctx, display):
    s = ThrowingSession(ctx, display, "eave")
    # Facing +x, straight up through the roof to 75 units, above the ridge, and out over the eave on
    # that side to x = 50.
    s.pilot.turn(90)
    s.pilot.fly("space", 3)
    s.pilot.fly("w", 2)
    # Turned back and looking steeply down: the roof slab just inside the wall's line, where the eave
    # begins.
    s.pilot.turn(180, -60)
    s.throw_and_expect("from above, at the eave", inside, "inside the cabin")
    s.quit()


def gable_apex_then_corner_from_afar(ctx, display):
    s = ThrowingSession(ctx, display, "apex and corner")
    # Backwards out through the wall behind to z = -125, up to 50 units, and aimed up, for the ball's
    # fall on the way: at the gable 5 units under its apex, where the hole reaches into both roof
    # slabs.
    s.pilot.fly("s", 1, boost=True)
    s.pilot.fly("space", 2)
    s.pilot.turn(0, 11)
    s.throw_and_expect("from outside, at the gable just under the ridge", inside, "inside the cabin")
    # Level again, further back to z = -375 and down to 25 units; then turned towards the wall at
    # z = -35 a few units in from its corner with the wall at x = 35, 340 units away, and aimed up
    # for the ball's fall of about 25 units on the way.
    s.pilot.turn(0, -11)
    s.pilot.fly("s", 2, boost=True)
    s.pilot.fly("c", 1)
    s.pilot.turn(5.2, 3.4)
    s.throw_and_expect("from 340 units out, at the corner", inside, "inside the cabin")
    s.quit()


def close_to_a_wall(ctx, display):
    s = ThrowingSession(ctx, display, "close")
    # Up to 25 units, forward a game second at speed and two slowly: 2.5 units from the wall's inner
    # face, so the ball starts pressed into it.
    s.pilot.fly("space", 1)
    s.pilot.fly("w", 1)
    s.pilot.fly("w", 2, slow=True)
    s.throw_and_expect("from right against the wall ahead", outside, "outside the cabin")
    s.pilot.turn(-25)
    s.throw_and_expect("from against the wall, turned 25 degrees left", outside, "outside the cabin")
    s.quit()


def throw_poses(ctx):
    display = ctx.enter(VirtualDisplay(*SCREEN))
    for case in (from_inside, raised, from_outside, eave_from_above, close_to_a_wall,
                 gable_apex_then_corner_from_afar):
        started = time.monotonic()
        case(ctx, display)
        print(f"{case.__name__}: passed in {time.monotonic() - started:.1f} s")


if __name__ == "__main__":
    run_test(throw_poses)

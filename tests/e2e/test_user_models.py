"""A model of the user's own in the real program (Tarnwick --model FILE --at X,Z), at its own frame
rate: a thin wall exported by Blender stands on the floor behind the cabin, off to one side; flown out
of the cabin and turned towards it, a person throws a ball at its sunlit face, which makes one hole in
the wall and ends on its far side.
A file that is not a model and a folder, given as models as well, are each named once on standard
error, and the program runs on with the wall. Flying, turning and clicking go through the mouse and
keyboard, each held for longer than a frame.
"""

import os
import subprocess
import sys

# Run from the source tree: keep the helper module's bytecode out of it.
sys.dont_write_bytecode = True

from cabin_driving import Session, format_report, wait_for_report, wait_for_reports
from tarnwick_e2e import VirtualDisplay, check, run_test

SCREEN = (960, 540)
# Blender's wall (tests/Assets/BlenderFiles): 200 units wide, 150 tall and 5 thick, its faces to the
# front and the back. Stood with its middle at x -130, z -60, it reaches from x -230 to -30 behind
# the cabin, its faces at z -62.5 (in the sun) and -57.5.
WALL = "tests/Assets/BlenderFiles/thin_wall.fbx"
WALL_AT = "-130,-60"
WALL_FAR_FACE = -57.5
BALL_RADIUS = 5.0
# From 100 units behind the cabin's middle and 25 up, turned this far left, the way ahead meets the
# wall 15 units in from its end.
TURN_LEFT = 50
# A ball at 1500 units/s is through the wall within a frame or two; it then lands and rolls on.
SETTLE_TIMEOUT = 40.0
# Once beyond the wall, the ball stays there for this many more reports.
STAYS_FOR = 3
# With TARNWICK_UPDATE_DOCS set, the last view is written to the README's pictures at this size.
DOCS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs", "user-model.png")
DOCS_SIZE = "960x540"


def save_for_docs(shot):
    if not os.environ.get("TARNWICK_UPDATE_DOCS"):
        return
    target = os.path.normpath(DOCS)
    # Without metadata the file stays the same for the same pixels.
    subprocess.run(["convert", shot.path, "-resize", f"{DOCS_SIZE}!", "-strip",
                    "-define", "png:exclude-chunks=date,time", target],
                   check=True, capture_output=True, timeout=60)
    print(f"wrote {target}")


def user_models(ctx):
    display = ctx.enter(VirtualDisplay(*SCREEN))
    broken = os.path.join(ctx.workdir, "broken.fbx")
    with open(broken, "wb") as f:
        f.write(b"Kaydara FBX Binary  \x00\x1a\x00" + b"\xff" * 64)
    folder = os.path.join(ctx.workdir, "models.fbx")
    os.mkdir(folder)

    s = Session(ctx, display, "user-model",
                args=["--model", broken, "--model", folder, "--model", WALL, "--at", WALL_AT])
    lines = [line for line in s.program.stderr().splitlines() if line.strip()]
    for path in (broken, folder):
        said = [line for line in lines if line.startswith(path + ": ")]
        check(len(said) == 1, f"{path}: expected one line naming it; stderr: {lines!r}")
    check(len(lines) == 2, f"{len(lines)} lines on stderr, not one per unusable model: {lines!r}")
    print("unusable models: " + " | ".join(lines))

    # Out of the cabin backwards through its wall, four game seconds at 25 units a second to z -100;
    # one up, to 25 units above the floor; then turned left towards the wall's sunlit face.
    s.pilot.fly("s", 4)
    s.pilot.fly("space", 1)
    s.pilot.turn(-TURN_LEFT)
    s.pilot.throw_until_seen(1)

    def beyond(report):
        return (report.balls == 1 and report.holes == 1
                and report.positions[0][2] > WALL_FAR_FACE + BALL_RADIUS)

    report = wait_for_report(s.program, beyond, SETTLE_TIMEOUT,
                             "the ball beyond the wall, with its one hole")
    later = wait_for_reports(s.program, STAYS_FOR)[-STAYS_FOR:]
    check(all(beyond(r) for r in later),
          "the ball did not stay beyond the wall: " + " | ".join(format_report(r) for r in later))
    print(f"through the model: {format_report(report)}")
    save_for_docs(s.shot("holed-wall"))
    s.quit()


if __name__ == "__main__":
    run_test(user_models)

"""300 balls thrown from inside the cabin, a click every few frames, with the camera sweeping round
and up and down between throws so that they hit walls, gables, roof and floor in many places. The
program keeps running and drawing, its ball report keeps coming, Escape still ends it with 0, no
sanitizer reports anything, and its resident memory grows by a bounded amount per ball.

Runs on a small screen: every frame is drawn in software, and the frames must stay quick for 300
throws to fit in the time allowed.
"""

import sys
import time

# Run from the source tree: keep the helper module's bytecode out of it.
sys.dont_write_bytecode = True

from cabin_driving import REPORT_ENV, format_report, read_reports, wait_for_reports
from tarnwick_e2e import Program, VirtualDisplay, check, run_test

SCREEN = (480, 270)
BALLS = 300
# The memory baseline is taken once the first balls and holes have brought in the sphere and
# cylinder models and warmed the allocators, so the growth after it is the per-ball cost.
BASELINE_BALLS = 20
MIB = 1024 * 1024
# A ball is a game object with a renderer, a body and a collider, and a material that compiles and
# links a GL program of its own (with Mesa's software driver that includes the program's compiled
# machine code); a hole another object with a renderer and a cooked mesh collider. A leak that grows with
# frames rather than balls, or a copy of a model or texture per ball, would exceed this bound.
MAX_GROWTH_PER_BALL = 4 * MIB
# Capped game step per frame: the report's interval in real seconds tells how long frames take.
MAX_STEP = 0.0333
# Pixels the pointer moves between throws with the right button held: 1.2 degrees of turn, and
# a slow nod between looking a little down and well up (roof and gables).
YAW_STEP = 12
PITCH_RANGE = (-200, 550)
PITCH_STEP = 9
SANITIZER_MARKERS = ("AddressSanitizer", "LeakSanitizer", "UndefinedBehaviorSanitizer",
                     "runtime error:")


def resident_bytes(program):
    with open(f"/proc/{program.process.pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) * 1024
    raise RuntimeError("no VmRSS in /proc/PID/status")


def report_interval(program):
    """Real seconds between two ball reports, i.e. per game second."""
    wait_for_reports(program, 1)
    start = time.monotonic()
    wait_for_reports(program, 1)
    return time.monotonic() - start


class Sweep:
    """The right button held throughout; the pointer walks right and nods up and down, and is
    put back at the left edge (with the button up, so that move does not turn) when it runs out
    of screen."""

    def __init__(self, display):
        self.display = display
        self.x, self.y = 40, SCREEN[1] // 2
        self.pitch = 0
        self.direction = 1
        self.display.xdotool("mousemove", str(self.x), str(self.y))
        time.sleep(0.3)
        self.display.xdotool("mousedown", "3")

    def step(self):
        dy = PITCH_STEP * self.direction
        if not PITCH_RANGE[0] <= self.pitch + dy <= PITCH_RANGE[1]:
            self.direction = -self.direction
            dy = -dy
        self.pitch += dy
        if self.x + YAW_STEP > SCREEN[0] - 20 or not 20 <= self.y - dy <= SCREEN[1] - 20:
            self.display.xdotool("mouseup", "3")
            self.x, self.y = 40, SCREEN[1] // 2
            self.display.xdotool("mousemove", str(self.x), str(self.y))
            # A frame must see the pointer put back before the button is down again.
            time.sleep(0.3)
            self.display.xdotool("mousedown", "3")
        self.x += YAW_STEP
        self.y -= dy  # up on the screen is a smaller y and looks up
        self.display.xdotool("mousemove", str(self.x), str(self.y))

    def release(self):
        self.display.xdotool("mouseup", "3")


def soak(ctx):
    display = ctx.enter(VirtualDisplay(*SCREEN))
    program = ctx.enter(Program(ctx.program_path, display, env=REPORT_ENV))
    program.wait_for_window()
    wait_for_reports(program, 2)

    started = time.monotonic()
    frame = MAX_STEP * max(1.0, report_interval(program))
    sweep = Sweep(display)
    baseline = None
    shots = [display.screenshot("start")]
    thrown = 0
    try:
        while thrown < BALLS:
            # A press held longer than a frame is seen once; the release as long again.
            hold = max(0.05, 1.5 * frame)
            for _ in range(min(20, BALLS - thrown)):
                sweep.step()
                display.xdotool("mousedown", "1")
                time.sleep(hold)
                display.xdotool("mouseup", "1")
                time.sleep(hold)
            check(program.alive(), f"the program ended ({program.describe_exit()}) after about "
                                   f"{thrown} balls; stderr: {program.stderr()[-3000:]!r}")
            # The report's count, not the clicks, says how many were thrown: a press the frames
            # missed is made up in the next batch.
            wait_for_reports(program, 1)
            thrown = read_reports(program)[-1].balls
            if baseline is None and thrown >= BASELINE_BALLS:
                baseline = (thrown, resident_bytes(program))
            if len(shots) <= thrown // 100:
                shots.append(display.screenshot(f"{thrown}-balls"))
                frame = MAX_STEP * max(1.0, report_interval(program))
                print(f"{thrown} balls after {time.monotonic() - started:.0f} s, "
                      f"about {frame * 1000:.0f} ms a frame")
    finally:
        sweep.release()

    check(thrown == BALLS, f"{thrown} balls in the report, {BALLS} thrown one click at a time")
    # Still running its frames: the report goes on, and the picture follows a turn of the camera
    # (with the balls at rest and frames slower than the capped step, nothing else need change).
    display.xdotool("mousedown", "3")
    time.sleep(max(0.2, 3 * frame))
    display.xdotool("mousemove_relative", "--", "120", "0")
    reports = wait_for_reports(program, 2)
    display.xdotool("mouseup", "3")
    final = reports[-1]
    check(final.balls == BALLS, f"the last report says {format_report(final)[:200]}")
    last = display.screenshot("end")
    for earlier in shots:
        check(earlier.crop_bytes(0, 0, *SCREEN) != last.crop_bytes(0, 0, *SCREEN),
              f"the screen did not change between {earlier.path} and {last.path}")
    end_rss = resident_bytes(program)

    code = program.quit(30)
    check(code == 0, f"after Escape with {BALLS} balls the program ended with "
                     f"{program.describe_exit()}, not 0")
    findings = [marker for marker in SANITIZER_MARKERS if marker in program.stderr()]
    check(not findings, f"sanitizer findings on stderr ({findings}): {program.stderr()[-3000:]}")

    check(baseline is not None, "no memory baseline was taken")
    base_balls, base_rss = baseline
    per_ball = (end_rss - base_rss) / (final.balls - base_balls)
    print(f"holes {final.holes} for {final.balls} balls in {time.monotonic() - started:.0f} s; "
          f"VmRSS {base_rss / MIB:.1f} MiB at {base_balls} balls, {end_rss / MIB:.1f} MiB at "
          f"{final.balls}: {per_ball / 1024:.1f} KiB per ball")
    check(per_ball < MAX_GROWTH_PER_BALL,
          f"resident memory grew by {per_ball / MIB:.2f} MiB per ball from {base_balls} to "
          f"{final.balls} balls ({base_rss / MIB:.1f} -> {end_rss / MIB:.1f} MiB)")


if __name__ == "__main__":
    run_test(soak)

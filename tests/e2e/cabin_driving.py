"""Flying the camera, throwing balls and reading the ball report, for the tests that play in the
demo scene (the cabin on its floor).

The program runs its game time at a capped step per frame, and on a software renderer a frame can
take longer than that step, so wall-clock time says little about how far the camera has flown. The
ball report (TARNWICK_REPORT_BALLS) is printed once per game second, which makes it the clock these
helpers fly by: a key held from one report to the next moves the camera for one game second,
however slow the frames are.

- read_reports(program): every complete report block so far, as Report(balls, holes, positions).
- Pilot(program, display): turn(yaw_degrees, pitch_degrees) with the right button held and the
  mouse dragged (0.1 degree per pixel), fly(key, game_seconds, boost, slow) along the camera's axes,
  throw() one left click, throw_until_seen(balls) one held until the ball report shows the ball.
- Session(ctx, display, label): one run of the program with the ball report on, at the start
  position, with a Pilot; shot(name) and quit() (Escape, and exit status 0).
- Colour classes of the scene: is_wood, is_sky, is_lit_floor, is_grey.
"""

from __future__ import annotations

import re
import time
from typing import NamedTuple, Sequence

from tarnwick_e2e import CLEAR_COLOUR, Program, VirtualDisplay, check, near, wait_until

REPORT_ENV = {"TARNWICK_REPORT_BALLS": "1"}
DEGREES_PER_PIXEL = 0.1
# Unboosted camera speed in units per game second; Shift multiplies it (Ctrl divides it by 10).
CAMERA_SPEED = 25.0
BOOST = 5.0
# Real seconds a throw may take to reach the ball report: a few game seconds of slow frames.
THROW_TIMEOUT = 30.0

_HEADER = re.compile(r"^balls (\d+) holes (\d+)$")
_BALL = re.compile(r"^ball (\d+) at (\S+) (\S+) (\S+)$")


class Report(NamedTuple):
    balls: int
    holes: int
    positions: list  # [(x, y, z)] in the order the program lists the balls


def read_reports(program: Program) -> list[Report]:
    """Every complete report block on the program's stdout, oldest first.

    The program flushes once per block, but a long block can reach the file in pieces, so a block
    whose ball lines are not all there yet is left out.
    """
    reports = []
    lines = program.stdout().split("\n")
    # The last element is an unterminated line (or ""): never part of a complete block.
    lines = lines[:-1]
    i = 0
    while i < len(lines):
        header = _HEADER.match(lines[i])
        if header is None:
            i += 1
            continue
        balls, holes = int(header.group(1)), int(header.group(2))
        body = lines[i + 1:i + 1 + balls]
        matches = [_BALL.match(line) for line in body]
        if len(body) < balls or not all(matches):
            break
        check([int(m.group(1)) for m in matches] == list(range(balls)),
              f"ball lines out of order after {lines[i]!r}: {body}")
        reports.append(Report(balls, holes, [tuple(float(m.group(k)) for k in (2, 3, 4))
                                             for m in matches]))
        i += 1 + balls
    return reports


def wait_for_reports(program: Program, count: int, timeout: float = 60.0) -> list[Report]:
    """Wait until at least ``count`` more report blocks have appeared than there are now."""
    start = len(read_reports(program))
    found = wait_until(lambda: len(read_reports(program)) >= start + count or not program.alive(),
                       timeout, interval=0.02)
    reports = read_reports(program)
    check(program.alive(), f"the program ended ({program.describe_exit()}) while waiting for the "
                           f"ball report; stderr: {program.stderr()[-2000:]!r}")
    check(found and len(reports) >= start + count,
          f"only {len(reports) - start} of {count} ball reports in {timeout} s; the program "
          "stopped running its frames or the report is missing")
    return reports


def wait_for_report(program: Program, predicate, timeout: float, what: str) -> Report:
    """Wait for a report block that satisfies ``predicate``; fail with the last one seen."""
    found = wait_until(lambda: next((r for r in reversed(read_reports(program)) if predicate(r)),
                                    None) or (not program.alive() and "exited"),
                       timeout, interval=0.05)
    check(found != "exited", f"the program ended ({program.describe_exit()}) while waiting for "
                             f"{what}; stderr: {program.stderr()[-2000:]!r}")
    reports = read_reports(program)
    last = reports[-1] if reports else None
    check(found is not None, f"no ball report showed {what} within {timeout} s; the last was "
                             f"{format_report(last)}")
    return found


def format_report(report: Report | None) -> str:
    if report is None:
        return "(no report)"
    lines = [f"balls {report.balls} holes {report.holes}"]
    lines += [f"ball {i} at {x:.2f} {y:.2f} {z:.2f}" for i, (x, y, z) in enumerate(report.positions)]
    return "; ".join(lines)


class Pilot:
    """Turns, flies and throws through the mouse and keyboard, as a user does."""

    def __init__(self, program: Program, display: VirtualDisplay):
        self.program = program
        self.display = display

    def _settle(self) -> None:
        # The program samples the cursor and the buttons once per frame: let at least one frame
        # pass between a move that must not count and a press that makes moves count. Two report
        # blocks would be certain but slow; a frame is far shorter than this on the screens the
        # tests use.
        time.sleep(0.3)

    def turn(self, yaw: float, pitch: float = 0.0) -> None:
        """Drag with the right button held: ``yaw`` degrees to the right, ``pitch`` degrees up."""
        dx = round(yaw / DEGREES_PER_PIXEL)
        dy = -round(pitch / DEGREES_PER_PIXEL)  # up on the screen is a smaller y
        # The pointer stops at the screen's edges, so a long drag goes in pieces, each started
        # from where the whole piece fits, with the button up while the pointer is put back.
        span_x, span_y = self.display.width - 40, self.display.height - 40
        while dx or dy:
            step_x = max(-span_x, min(span_x, dx))
            step_y = max(-span_y, min(span_y, dy))
            start_x = self.display.width // 2 - step_x // 2
            start_y = self.display.height // 2 - step_y // 2
            self.display.xdotool("mousemove", str(start_x), str(start_y))
            self._settle()
            self.display.xdotool("mousedown", "3")
            try:
                self._settle()
                # In a few moves, as a hand drags; any split gives the same total.
                pieces = 4
                done_x = done_y = 0
                for k in range(1, pieces + 1):
                    to_x, to_y = step_x * k // pieces, step_y * k // pieces
                    self.display.xdotool("mousemove_relative", "--", str(to_x - done_x),
                                         str(to_y - done_y))
                    done_x, done_y = to_x, to_y
                    time.sleep(0.05)
                self._settle()
            finally:
                self.display.xdotool("mouseup", "3")
            dx -= step_x
            dy -= step_y
        self._settle()

    def fly(self, key: str, game_seconds: int, boost: bool = False, slow: bool = False) -> None:
        """Hold ``key`` (w, s, a, d, space, c) with the right button for whole game seconds, with
        Shift (``boost``, five times faster) or Ctrl (``slow``, ten times slower) held as well.

        The key goes down just after one report and up when the ``game_seconds``-th next report
        appears, so the camera moves about ``game_seconds`` times its speed whatever the frame rate.
        """
        modifier = "shift" if boost else "ctrl" if slow else None
        self.display.xdotool("mousedown", "3")
        try:
            if modifier:
                self.display.xdotool("keydown", modifier)
            try:
                wait_for_reports(self.program, 1)
                self.display.xdotool("keydown", key)
                try:
                    wait_for_reports(self.program, game_seconds)
                finally:
                    self.display.xdotool("keyup", key)
            finally:
                if modifier:
                    self.display.xdotool("keyup", modifier)
            self._settle()
        finally:
            self.display.xdotool("mouseup", "3")
        self._settle()

    def throw(self) -> None:
        """One left click, the button held until the ball report shows the ball, as a person holds
        it until the ball flies: however slow the frames, one of them sees the button down."""
        reports = read_reports(self.program)
        thrown = reports[-1].balls if reports else 0
        self.display.xdotool("mousedown", "1")
        try:
            wait_for_report(self.program, lambda r: r.balls > thrown, THROW_TIMEOUT, "the thrown ball")
        finally:
            self.display.xdotool("mouseup", "1")
        self._settle()

    def throw_until_seen(self, balls: int) -> None:
        """A left click held until the ball report counts ``balls`` balls, as a person holds the
        button until the ball flies: however slow the frames are (a close view of the wood on a
        software renderer can take a quarter of a second each), one of them sees it down. Holding
        it longer throws no more balls."""
        self.display.xdotool("mousedown", "1")
        try:
            wait_for_report(self.program, lambda report: report.balls >= balls, 60.0,
                            f"ball {balls - 1} thrown")
        finally:
            self.display.xdotool("mouseup", "1")


class Session:
    """One run of the program on the shared display, started at the start position (the origin,
    looking along +z), with its ball report on, and with ``args`` on its command line."""

    def __init__(self, ctx, display: VirtualDisplay, label: str, args: list[str] | None = None):
        self.ctx, self.display, self.label = ctx, display, label
        self.program = ctx.enter(Program(ctx.program_path, display, env=REPORT_ENV, args=args))
        self.program.wait_for_window()
        # The scene is built and a few frames drawn before anything is done.
        wait_for_reports(self.program, 2)
        self.pilot = Pilot(self.program, display)

    def shot(self, name: str):
        return self.display.screenshot(f"{self.label}-{name}")

    def quit(self) -> None:
        code = self.program.quit(15)
        check(code == 0, f"{self.label}: after Escape the program ended with "
                         f"{self.program.describe_exit()}, not 0")


# -- the scene's colours --------------------------------------------------------------------

def is_wood(colour: Sequence[int]) -> bool:
    """The cabin's planks, lit or in shadow: brown, red above green above blue, not bright."""
    r, g, b = colour
    return r > g > b and r - b >= 6 and r < 230


def is_sky(colour: Sequence[int]) -> bool:
    return near(colour, CLEAR_COLOUR, 4)


def is_grey(colour: Sequence[int], spread: int = 6) -> bool:
    """Neutral: the white floor, lit or in shadow, has no tint."""
    return max(colour) - min(colour) <= spread


def is_lit_floor(colour: Sequence[int]) -> bool:
    return is_grey(colour) and min(colour) >= 200


def luminance(colour: Sequence[int]) -> float:
    r, g, b = colour
    return 0.299 * r + 0.587 * g + 0.114 * b

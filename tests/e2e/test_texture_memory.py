"""The program with default images of 1024 x 1024 pixels, as a user's own may be. Every renderer and
every thrown ball shows the one texture of each image, so:

- starting costs the three images once: the program's peak memory exceeds that of a run with the
  shipped 4 x 4 images by little more than the images' own textures;
- throwing 50 balls adds no more than what the balls themselves cost (bodies, renderers, their
  programs), never a copy of the images per ball.

Once, each renderer and each ball decoded and uploaded its own copies: five textures of several
megabytes per ball, and hundreds of megabytes at start."""

import os
import shutil
import struct
import sys
import time
import zlib

# Run from the source tree: keep the helper module's bytecode out of it.
sys.dont_write_bytecode = True

from cabin_driving import REPORT_ENV, read_reports, wait_for_reports
from tarnwick_e2e import Program, VirtualDisplay, check, run_test

DEFAULT_IMAGES = ("Assets/Textures/T_Default_C.png", "Assets/Textures/T_Default_N.png",
                  "Assets/Textures/T_Default_M.png")
SIDE = 1024
BALLS = 50
MIB = 1024 * 1024
# Three RGB images of 1024 x 1024 with their mipmaps, as the driver keeps them (four bytes a pixel):
# 17 MiB, and room for the decoders' buffers and allocator slack.
START_ALLOWANCE = 64 * MIB
# What a ball may cost without its images: the soak test's bound per ball. A copy of the images per
# ball is about 28 MiB.
PER_BALL_ALLOWANCE = 4 * MIB
SCREEN = (640, 360)


def png(side: int, seed: int) -> bytes:
    """An RGB PNG of side x side pixels whose rows differ, compressed quickly."""
    rows = b"".join(b"\x00" + bytes((x + y + seed) & 255 for x in range(side * 3)) for y in range(side))

    def chunk(kind: bytes, data: bytes) -> bytes:
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", side, side, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 1))
            + chunk(b"IEND", b""))


def data_copy(ctx, name: str) -> str:
    """A copy of the program's data files (Assets/, Settings/) in a folder of the test's own."""
    folder = os.path.join(ctx.workdir, name)
    for part in ("Assets", "Settings"):
        shutil.copytree(part, os.path.join(folder, part))
    return folder


def memory_kilobytes(program: Program, field: str) -> int:
    with open(f"/proc/{program.process.pid}/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith(field + ":"))


def started(ctx, display, folder: str) -> Program:
    program = ctx.enter(Program(ctx.program_path, display, cwd=folder, env=REPORT_ENV))
    program.wait_for_window()
    wait_for_reports(program, 2)
    return program


def quit_program(program: Program) -> None:
    code = program.quit(30)
    check(code == 0, f"after Escape the program ended with {program.describe_exit()}, not 0")


def texture_memory(ctx):
    display = ctx.enter(VirtualDisplay(*SCREEN))

    ordinary = started(ctx, display, data_copy(ctx, "ordinary"))
    ordinary_peak = memory_kilobytes(ordinary, "VmHWM") * 1024
    quit_program(ordinary)

    folder = data_copy(ctx, "large-images")
    for seed, image in enumerate(DEFAULT_IMAGES):
        with open(os.path.join(folder, image), "wb") as f:
            f.write(png(SIDE, seed))
    program = started(ctx, display, folder)
    start_peak = memory_kilobytes(program, "VmHWM") * 1024
    print(f"peak at start: {start_peak / MIB:.0f} MiB with {SIDE} x {SIDE} default images, "
          f"{ordinary_peak / MIB:.0f} MiB with the shipped ones")
    check(start_peak < ordinary_peak + START_ALLOWANCE,
          f"peak memory at start {start_peak / MIB:.0f} MiB with the large default images, "
          f"{ordinary_peak / MIB:.0f} MiB with the shipped ones")

    resident_before = memory_kilobytes(program, "VmRSS") * 1024
    program.move_mouse(SCREEN[0] // 2, SCREEN[1] // 2)
    thrown = 0
    deadline = time.monotonic() + 180
    while thrown < BALLS and time.monotonic() < deadline:
        # A press held longer than a frame is seen once; the release as long again.
        for _ in range(min(10, BALLS - thrown)):
            program.click(1, hold=0.15)
            time.sleep(0.15)
        wait_for_reports(program, 1)
        thrown = read_reports(program)[-1].balls
    check(thrown == BALLS, f"{thrown} balls in the report after {BALLS} clicks and more")
    wait_for_reports(program, 1)
    resident_after = memory_kilobytes(program, "VmRSS") * 1024
    growth = resident_after - resident_before
    print(f"resident {resident_before / MIB:.0f} MiB with no ball, {resident_after / MIB:.0f} MiB "
          f"with {BALLS}: {growth / BALLS / 1024:.0f} KiB per ball")
    check(growth < BALLS * PER_BALL_ALLOWANCE,
          f"resident memory grew by {growth / MIB:.0f} MiB for {BALLS} balls "
          f"({resident_before / MIB:.0f} -> {resident_after / MIB:.0f} MiB)")
    check(program.stderr() == "", f"stderr: {program.stderr()[-2000:]!r}")
    quit_program(program)


if __name__ == "__main__":
    run_test(texture_memory)

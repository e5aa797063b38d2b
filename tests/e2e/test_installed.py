"""The program as a user installs it (cmake --install into a prefix of the test's own), started from
a folder that has nothing to do with it: it finds its data installed beside it, names no file as
missing, draws the cabin, and keeps the UI's window settings (imgui.ini) in the folder it was started
in, not in the installed data."""

import os
import subprocess
import sys

# Run from the source tree: keep the helper module's bytecode out of it.
sys.dont_write_bytecode = True

from cabin_driving import REPORT_ENV, is_wood, wait_for_reports
from tarnwick_e2e import Program, VirtualDisplay, check, empty_folder, run_test

SCREEN = (1280, 720)
# The start view looks at the wall ahead from inside the cabin: its planks fill the upper half.
STEP = 8
FPS_BOX = (0, 0, 120, 40)


def install(ctx) -> str:
    """The program's build, installed into the test's work folder; returns the prefix."""
    build = os.path.dirname(ctx.program_path)
    prefix = os.path.join(ctx.workdir, "prefix")
    cmake = os.environ.get("CMAKE", "cmake")
    result = subprocess.run([cmake, "--install", build, "--prefix", prefix],
                            capture_output=True, text=True, timeout=120)
    check(result.returncode == 0, f"cmake --install failed: {result.stdout} {result.stderr}")
    return prefix


def installed(ctx):
    prefix = install(ctx)
    program_path = os.path.join(prefix, "bin", "Tarnwick")
    elsewhere = empty_folder(ctx)
    display = ctx.enter(VirtualDisplay(*SCREEN))
    program = ctx.enter(Program(program_path, display, cwd=elsewhere, env=REPORT_ENV))
    window = program.wait_for_window()
    # Two game seconds of frames: the first ones are long drawn by then.
    wait_for_reports(program, 2)

    shot = display.screenshot("installed")
    ox, oy = window.position
    upper = [shot.pixel(ox + x, oy + y) for y in range(0, SCREEN[1] // 2, STEP)
             for x in range(0, SCREEN[0], STEP)
             if not (x < FPS_BOX[2] + 8 and y < FPS_BOX[3] + 8)]
    wood = sum(1 for colour in upper if is_wood(colour)) / len(upper)
    check(wood > 0.85, f"only {wood:.0%} of the upper half is the cabin's wall: the installed "
                       f"program did not draw its scene ({shot.path})")

    code = program.quit(10)
    check(code == 0, f"after Escape the program ended with {program.describe_exit()}, not 0")
    problems = [line for line in program.stderr().splitlines() if line.strip()]
    check(not problems, f"the installed program said on stderr: {problems!r}")

    # The UI writes its settings where the user started the program; the data stays as installed.
    check(os.path.isfile(os.path.join(elsewhere, "imgui.ini")),
          f"no imgui.ini in the folder the program was started in ({os.listdir(elsewhere)})")
    data = os.path.join(prefix, "share", "tarnwick")
    check(sorted(os.listdir(data)) == ["Assets", "Settings"],
          f"the installed data folder holds {sorted(os.listdir(data))} after a run")


if __name__ == "__main__":
    run_test(installed)

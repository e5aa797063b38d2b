"""On a 2560x1440 screen the window takes the screen's size, not a built-in one, and its
content is drawn out to the far corner."""

import sys

# Run from the source tree: keep the helper module's bytecode out of it.
sys.dont_write_bytecode = True

from tarnwick_e2e import CLEAR_COLOUR, Program, empty_folder, VirtualDisplay, check, near, run_test

SCREEN = (2560, 1440)


def large_screen(ctx):
    display = ctx.enter(VirtualDisplay(*SCREEN))
    program = ctx.enter(Program(ctx.program_path, display, cwd=empty_folder(ctx)))

    window = program.wait_for_window()
    check(window.size == SCREEN,
          f"the window is {window.size[0]}x{window.size[1]}, not the screen's "
          f"{SCREEN[0]}x{SCREEN[1]}")

    # Beyond 1920x1080 too: a window or framebuffer of a fixed size would leave these
    # corners black.
    ox, oy = window.position
    points = [(SCREEN[0] - 3, SCREEN[1] - 3), (SCREEN[0] - 3, 300), (1000, SCREEN[1] - 3),
              (SCREEN[0] // 2, SCREEN[1] // 2)]

    def drawn(shot):
        return all(near(shot.pixel(ox + x, oy + y), CLEAR_COLOUR) for x, y in points)

    # The first frames may still be on their way; give them a moment.
    shot = display.screenshot("large")
    for _ in range(10):
        if drawn(shot):
            break
        shot = display.screenshot("large")
    check(drawn(shot), "not the clear colour at " + ", ".join(
        f"{p}: {shot.pixel(ox + p[0], oy + p[1])}" for p in points) + f" ({shot.path})")

    code = program.quit(5)
    check(code is not None, "the program was still running 5 s after Escape")
    check(code == 0, f"after Escape the program ended with {program.describe_exit()}, not 0")


if __name__ == "__main__":
    run_test(large_screen)

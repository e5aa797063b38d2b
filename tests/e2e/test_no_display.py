"""Without an X display, unset or naming one where no server runs, the program gives up at
once with a failure code and says why, instead of hanging or crashing."""

import os
import sys
import time

# Run from the source tree: keep the helper module's bytecode out of it.
sys.dont_write_bytecode = True

from tarnwick_e2e import Program, check, run_test

GREETING = "Tarnwick starting..."
LIMIT = 10.0


def unused_display():
    """A display name that no server answers on, far from the numbers Xvfb hands out."""
    for number in range(4100, 4200):
        if not (os.path.exists(f"/tmp/.X11-unix/X{number}")
                or os.path.exists(f"/tmp/.X{number}-lock")):
            return f":{number}"
    raise RuntimeError("no free display number in 4100..4199")


def run_without_display(ctx, display, label):
    program = ctx.enter(Program(ctx.program_path, display))
    code = program.wait_exit(LIMIT)
    elapsed = time.monotonic() - program.started_at
    check(code is not None, f"{label}: still running after {LIMIT} s")
    check(code > 0, f"{label}: the program ended with {program.describe_exit()}, "
                    "expected a non-zero exit code")
    check(program.stdout().startswith(GREETING),
          f"{label}: stdout does not start with {GREETING!r}: {program.stdout()!r}")
    # It says why, after GLFW's own words.
    err = program.stderr()
    check("Tarnwick cannot start: GLFW could not be initialised" in err and "GLFW error " in err,
          f"{label}: stderr does not say why the program cannot start: {err!r}")
    print(f"{label}: {program.describe_exit()} after {elapsed:.2f} s")


def no_display(ctx):
    run_without_display(ctx, unused_display(), "DISPLAY names no server")
    run_without_display(ctx, None, "DISPLAY unset")


if __name__ == "__main__":
    run_test(no_display)

"""On a working display whose OpenGL stops at 4.5 (llvmpipe without the version overrides),
the program greets, then fails with a failure code and says why, instead of hanging or crashing."""

import sys
import time

# Run from the source tree: keep the helper module's bytecode out of it.
sys.dont_write_bytecode = True

from tarnwick_e2e import Program, VirtualDisplay, check, run_test

GREETING = "Tarnwick starting..."
LIMIT = 10.0


def no_gl46(ctx):
    display = ctx.enter(VirtualDisplay(1280, 720))
    # Without the overrides, whatever the caller's environment says: the harness drops them.
    program = ctx.enter(Program(ctx.program_path, display, gl46=False))

    code = program.wait_exit(LIMIT)
    elapsed = time.monotonic() - program.started_at
    check(code is not None, f"still running {LIMIT} s after start without OpenGL 4.6")
    check(code > 0, f"without OpenGL 4.6 the program ended with {program.describe_exit()}, "
                    "expected a non-zero exit code")
    check(program.stdout().startswith(GREETING),
          f"stdout does not start with {GREETING!r}: {program.stdout()!r}")
    check(not display.windows_named("Vorlane"), "a 'Vorlane' window is left after the failure")
    # It says why, after GLFW's own words.
    err = program.stderr()
    check("Tarnwick cannot start: no window with an OpenGL 4.6 core context could be made" in err and "GLFW error " in err,
          f"stderr does not say why the program cannot start: {err!r}")
    print(f"{program.describe_exit()} after {elapsed:.2f} s")


if __name__ == "__main__":
    run_test(no_gl46)

"""Drive the real Tarnwick program under a private Xvfb, as a user meets it.

Typical use::

    from tarnwick_e2e import CLEAR_COLOUR, Program, VirtualDisplay, check, near, run_test

    def test(ctx):
        display = ctx.enter(VirtualDisplay(1920, 1080))
        program = ctx.enter(Program(ctx.program_path, display))
        window = program.wait_for_window()          # the "Vorlane" window
        check(window.size == (1920, 1080), f"window is {window.size}")
        shot = display.screenshot("first")           # PNG kept for a failed run
        check(near(shot.pixel(960, 540), CLEAR_COLOUR), "...")
        check(program.quit(5) == 0, "...")

    if __name__ == "__main__":
        run_test(test)

- VirtualDisplay(width, height): an Xvfb of its own on a free display (``-displayfd``), so
  tests can run side by side. ``screenshot()`` grabs the root window with ``import``.
- Program(path, display, gl46=True, env=None): the program with its output captured to files
  in the test's work folder. ``gl46=False`` leaves out the Mesa version overrides; ``display``
  may be a display name string (e.g. one with no server) or None for no DISPLAY at all.
  ``wait_for_output()``, ``wait_for_window()``, ``wait_exit(timeout)``, ``describe_exit()``.
  ``press()``, ``hold()``, ``key_down()``/``key_up()``, ``move_mouse()`` and ``click()`` go
  through XTEST (``xdotool``), the way a real keyboard's and mouse's events arrive.
- Window: the program's top-level X window: ``size``, ``position``, ``exists()``,
  ``is_viewable()``, ``request_close()`` (a WM_DELETE_WINDOW message, as a window manager's
  close button sends it).
- Screenshot: ``pixel(x, y)``, ``region(x0, y0, x1, y1)`` (end exclusive) and the colour
  helpers ``near()`` / ``is_bright()``.
- check(condition, message): a failing check raises TestFailure with the message.
- run_test(fn): parses ``--program``, gives ``fn`` a TestContext, and whatever happens kills
  every process the test started. A failed run keeps its work folder (screenshots, program
  output, Xvfb log) and prints where it is.

Every child process is started with a parent-death signal, so even a harness killed by a
time-out does not leave an Xvfb or a spinning program behind.
"""

from __future__ import annotations

import argparse
import contextlib
import ctypes
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback
from typing import Callable, Iterable, Iterator, Sequence

try:
    from Xlib import X, display as xdisplay, error as xerror, protocol
except ImportError:  # pragma: no cover - reported to the person running the tests
    sys.stderr.write(
        f"{sys.executable} cannot import Xlib: install Debian's python3-xlib and run the tests "
        "with the system python3\n")
    raise

WINDOW_TITLE = "Vorlane"
# The clear colour (0.2, 0.3, 0.5) as 8-bit channels; 0.5 lands on 127 or 128 depending on
# the rounding of the driver.
CLEAR_COLOUR = (51, 76, 128)
GL46_OVERRIDES = {"MESA_GL_VERSION_OVERRIDE": "4.6", "MESA_GLSL_VERSION_OVERRIDE": "460"}
# Variables that could make the program find another display or another GL than the test's.
_FOREIGN_VARIABLES = ("DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY",
                      *GL46_OVERRIDES, "MESA_SHADER_CACHE_DISABLE")

_PR_SET_PDEATHSIG = 1


class TestFailure(AssertionError):
    """A check of the program's behaviour did not hold."""


def check(condition: object, message: str) -> None:
    """Fail the test with ``message`` unless ``condition`` holds (survives ``python -O``)."""
    if not condition:
        raise TestFailure(message)


def wait_until(predicate: Callable[[], object], timeout: float, interval: float = 0.05):
    """Poll ``predicate`` until it returns something truthy; return that, or None on time-out."""
    deadline = time.monotonic() + timeout
    while True:
        result = predicate()
        if result:
            return result
        if time.monotonic() >= deadline:
            return None
        time.sleep(interval)


def _die_with_parent() -> None:
    # Runs in the child between fork and exec: SIGKILL it if the harness goes away first.
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL, 0, 0, 0)


def _require_tool(name: str) -> str:
    path = shutil.which(name)
    if path is None:
        raise RuntimeError(f"'{name}' is not on PATH; tools/setup.sh installs it")
    return path


def _stop(process: subprocess.Popen, grace: float = 3.0) -> None:
    if process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(grace)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


class TestContext:
    """What a test function gets: the program's path, a work folder and an exit stack."""

    def __init__(self, program_path: str, workdir: str, stack: contextlib.ExitStack):
        self.program_path = program_path
        self.workdir = workdir
        self._stack = stack
        self.programs: list[Program] = []

    def enter(self, resource):
        """Start ``resource`` (a VirtualDisplay or Program) and stop it when the test ends."""
        if isinstance(resource, Program):
            self.programs.append(resource)
        return self._stack.enter_context(resource)


_current_workdir: str | None = None


def _workdir() -> str:
    global _current_workdir
    if _current_workdir is None:
        _current_workdir = tempfile.mkdtemp(prefix="tarnwick-e2e-")
    return _current_workdir


def empty_folder(ctx: "TestContext") -> str:
    """A fresh folder with nothing in it, to run the program without its data files."""
    path = tempfile.mkdtemp(prefix="empty-", dir=ctx.workdir)
    return path


# Where the FPS read-out is, in window coordinates. It has no fixed size, so the box is generous.
FPS_BOX = (0, 0, 120, 40)


def fps_changes(display: "VirtualDisplay", origin: tuple[int, int], label: str, attempts: int = 6):
    """Whether the FPS read-out shows different text in later screenshots, i.e. frames go on: the
    later screenshot, or None."""
    ox, oy = origin
    box = (ox + FPS_BOX[0], oy + FPS_BOX[1], ox + FPS_BOX[2], oy + FPS_BOX[3])
    first = display.screenshot(f"{label}-fps")
    for _ in range(attempts):
        time.sleep(0.3)
        later = display.screenshot(f"{label}-fps")
        if later.crop_bytes(*box) != first.crop_bytes(*box):
            return later
    return None


class Screenshot:
    """Decoded RGB pixels of one screenshot, with the PNG it came from."""

    def __init__(self, path: str, width: int, height: int, rgb: bytes):
        self.path = path
        self.width = width
        self.height = height
        self._rgb = rgb

    @classmethod
    def load(cls, path: str) -> "Screenshot":
        size = subprocess.run(["identify", "-format", "%w %h", path], capture_output=True,
                              text=True, check=True, timeout=30).stdout.split()
        width, height = int(size[0]), int(size[1])
        rgb = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True,
                             check=True, timeout=60).stdout
        if len(rgb) != width * height * 3:
            raise RuntimeError(f"{path}: decoded {len(rgb)} bytes for {width}x{height} pixels")
        return cls(path, width, height, rgb)

    def pixel(self, x: int, y: int) -> tuple[int, int, int]:
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise IndexError(f"({x}, {y}) is outside the {self.width}x{self.height} screenshot")
        i = (y * self.width + x) * 3
        return self._rgb[i], self._rgb[i + 1], self._rgb[i + 2]

    def region(self, x0: int, y0: int, x1: int, y1: int) -> Iterator[tuple[int, int, tuple]]:
        """Yield (x, y, rgb) for x0 <= x < x1, y0 <= y < y1, clipped to the screenshot."""
        for y in range(max(y0, 0), min(y1, self.height)):
            for x in range(max(x0, 0), min(x1, self.width)):
                yield x, y, self.pixel(x, y)

    def crop_bytes(self, x0: int, y0: int, x1: int, y1: int) -> bytes:
        """The raw RGB bytes of a rectangle, for comparing one area across screenshots."""
        rows = []
        for y in range(max(y0, 0), min(y1, self.height)):
            start = (y * self.width + max(x0, 0)) * 3
            rows.append(self._rgb[start:(y * self.width + min(x1, self.width)) * 3])
        return b"".join(rows)


def near(colour: Sequence[int], expected: Sequence[int], tolerance: int = 3) -> bool:
    """Whether every channel of ``colour`` is within ``tolerance`` of ``expected``."""
    return all(abs(a - b) <= tolerance for a, b in zip(colour, expected))


def is_bright(colour: Sequence[int], threshold: int = 160) -> bool:
    """Whether ``colour`` is light enough to be UI text on a dark background."""
    return min(colour) >= threshold


class VirtualDisplay:
    """A private Xvfb with one screen of the given size, on the first free display number."""

    def __init__(self, width: int = 1920, height: int = 1080, depth: int = 24,
                 start_timeout: float = 15.0):
        self.width, self.height, self.depth = width, height, depth
        self.start_timeout = start_timeout
        self.number: int | None = None
        self.process: subprocess.Popen | None = None
        self._xlib: xdisplay.Display | None = None
        self._shots = 0

    @property
    def name(self) -> str:
        return f":{self.number}"

    def __enter__(self) -> "VirtualDisplay":
        xvfb = _require_tool("Xvfb")
        read_end, write_end = os.pipe()
        log = open(os.path.join(_workdir(), "xvfb.log"), "ab")
        try:
            self.process = subprocess.Popen(
                [xvfb, "-displayfd", str(write_end), "-screen", "0",
                 f"{self.width}x{self.height}x{self.depth}", "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                preexec_fn=_die_with_parent)
        finally:
            os.close(write_end)
            log.close()
        try:
            self.number = self._read_display_number(read_end)
            self._xlib = xdisplay.Display(self.name)
        except BaseException:
            os.close(read_end)
            _stop(self.process)
            raise
        os.close(read_end)
        return self

    def _read_display_number(self, fd: int) -> int:
        # Xvfb writes the number it chose, then a newline, once it accepts clients.
        text = b""
        deadline = time.monotonic() + self.start_timeout
        while not text.endswith(b"\n"):
            remaining = deadline - time.monotonic()
            if remaining <= 0 or not select.select([fd], [], [], remaining)[0]:
                raise RuntimeError(f"Xvfb did not report a display within {self.start_timeout} s")
            chunk = os.read(fd, 64)
            if not chunk:
                raise RuntimeError(f"Xvfb exited with {self.process.wait()} before it was ready; "
                                   f"see {os.path.join(_workdir(), 'xvfb.log')}")
            text += chunk
        return int(text.strip())

    def __exit__(self, *exc_info) -> None:
        if self._xlib is not None:
            with contextlib.suppress(Exception):
                self._xlib.close()
            self._xlib = None
        if self.process is not None:
            _stop(self.process)

    @property
    def xlib(self) -> xdisplay.Display:
        """A python-xlib connection to this display."""
        if self._xlib is None:
            raise RuntimeError("the display is not running")
        return self._xlib

    def env(self) -> dict[str, str]:
        """The environment for a client of this display (xdotool, import, the program)."""
        env = {k: v for k, v in os.environ.items() if k not in _FOREIGN_VARIABLES}
        env["DISPLAY"] = self.name
        return env

    def xdotool(self, *args: str, timeout: float = 10.0) -> str:
        result = subprocess.run([_require_tool("xdotool"), *args], env=self.env(),
                                capture_output=True, text=True, timeout=timeout)
        if result.returncode != 0:
            raise RuntimeError(f"xdotool {' '.join(args)} failed ({result.returncode}): "
                               f"{result.stderr.strip()}")
        return result.stdout

    def screenshot(self, label: str | None = None) -> Screenshot:
        """Grab the whole screen as a user sees it; the PNG stays in the work folder."""
        self._shots += 1
        name = f"{self._shots:02d}-{label or 'screen'}-{self.number}.png"
        path = os.path.join(_workdir(), name)
        subprocess.run([_require_tool("import"), "-display", self.name, "-window", "root", path],
                       env=self.env(), check=True, capture_output=True, timeout=30)
        return Screenshot.load(path)

    def windows_named(self, title: str) -> list[int]:
        """Ids of the mapped-or-not top-level windows whose name is exactly ``title``."""
        found = []
        try:
            for child in self.xlib.screen().root.query_tree().children:
                with contextlib.suppress(xerror.XError):
                    if child.get_wm_name() == title:
                        found.append(child.id)
        except xerror.XError:
            pass
        return found


class Window:
    """One top-level X window of the program."""

    def __init__(self, display: VirtualDisplay, window_id: int):
        self.display = display
        self.id = window_id
        self._resource = display.xlib.create_resource_object("window", window_id)

    @property
    def title(self) -> str:
        return self._resource.get_wm_name()

    @property
    def size(self) -> tuple[int, int]:
        geometry = self._resource.get_geometry()
        return geometry.width, geometry.height

    @property
    def position(self) -> tuple[int, int]:
        """Top-left corner in screen coordinates."""
        root = self.display.xlib.screen().root
        origin = self._resource.translate_coords(root, 0, 0)
        # translate_coords(root, 0, 0) gives where the root's origin is inside the window.
        return -origin.x, -origin.y

    def exists(self) -> bool:
        try:
            self._resource.get_geometry()
            return True
        except xerror.XError:
            return False

    def is_viewable(self) -> bool:
        try:
            return self._resource.get_attributes().map_state == X.IsViewable
        except xerror.XError:
            return False

    def request_close(self) -> None:
        """Ask the window to close the way a window manager's close button does."""
        xlib = self.display.xlib
        wm_protocols = xlib.intern_atom("WM_PROTOCOLS")
        wm_delete = xlib.intern_atom("WM_DELETE_WINDOW")
        advertised = self._resource.get_wm_protocols() or []
        # A window manager only sends the message to a window that takes part in the
        # protocol; any other it would have to kill.
        check(wm_delete in advertised,
              f"window 0x{self.id:x} does not list WM_DELETE_WINDOW in WM_PROTOCOLS "
              f"({list(advertised)}), so a window manager would kill it on close")
        event = protocol.event.ClientMessage(
            window=self._resource, client_type=wm_protocols,
            data=(32, [wm_delete, X.CurrentTime, 0, 0, 0]))
        self._resource.send_event(event, event_mask=X.NoEventMask)
        xlib.flush()


class Program:
    """The program under test, started with its output captured to files."""

    def __init__(self, path: str, display: VirtualDisplay | str | None, gl46: bool = True,
                 env: dict[str, str] | None = None, cwd: str | None = None,
                 args: list[str] | None = None):
        self.path = path
        self.args = list(args or [])
        self.display = display if isinstance(display, VirtualDisplay) else None
        self._display_name = display.name if isinstance(display, VirtualDisplay) else display
        self.gl46 = gl46
        self.extra_env = env or {}
        self.cwd = cwd or os.getcwd()
        self.process: subprocess.Popen | None = None
        self.started_at = 0.0
        self.exited_at: float | None = None
        stem = os.path.join(_workdir(), f"program-{os.getpid()}-{id(self):x}")
        self.stdout_path, self.stderr_path = stem + ".stdout", stem + ".stderr"

    def environment(self) -> dict[str, str]:
        env = {k: v for k, v in os.environ.items() if k not in _FOREIGN_VARIABLES}
        if self._display_name is not None:
            env["DISPLAY"] = self._display_name
        if self.gl46:
            env.update(GL46_OVERRIDES)
        # A shader cache shared by tests running side by side only adds disk traffic and
        # cross-talk; every run compiles its own.
        env["MESA_SHADER_CACHE_DISABLE"] = "true"
        env.update(self.extra_env)
        return env

    def __enter__(self) -> "Program":
        with open(self.stdout_path, "wb") as out, open(self.stderr_path, "wb") as err:
            self.started_at = time.monotonic()
            self.process = subprocess.Popen(
                [self.path, *self.args], cwd=self.cwd, env=self.environment(), stdin=subprocess.DEVNULL,
                stdout=out, stderr=err, preexec_fn=_die_with_parent)
        return self

    def __exit__(self, *exc_info) -> None:
        if self.process is not None:
            _stop(self.process)

    # -- process state and output -------------------------------------------------------

    def alive(self) -> bool:
        return self.process is not None and self.process.poll() is None

    @property
    def returncode(self) -> int | None:
        return None if self.process is None else self.process.poll()

    def stdout(self) -> str:
        with open(self.stdout_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def stderr(self) -> str:
        with open(self.stderr_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def describe_exit(self) -> str:
        code = self.returncode
        if code is None:
            return "still running"
        if code < 0:
            with contextlib.suppress(ValueError):
                return f"killed by {signal.Signals(-code).name}"
            return f"killed by signal {-code}"
        return f"exit code {code}"

    def wait_for_output(self, text: str, timeout: float = 10.0) -> str:
        """Wait until ``text`` appears on stdout; return all of stdout so far."""
        wait_until(lambda: text in self.stdout() or not self.alive(), timeout)
        out = self.stdout()
        check(text in out, f"{text!r} not on stdout after {timeout} s ({self.describe_exit()}); "
                           f"stdout was {out!r}")
        return out

    def wait_exit(self, timeout: float) -> int | None:
        """Wait up to ``timeout`` s for the program to end; its exit code, or None if running."""
        try:
            code = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None
        if self.exited_at is None:
            self.exited_at = time.monotonic()
        return code

    # -- the window ------------------------------------------------------------------

    def wait_for_window(self, title: str = WINDOW_TITLE, timeout: float = 20.0) -> Window:
        """Wait for the program's viewable top-level window called ``title``."""
        display = self._require_display()

        def find():
            if not self.alive():
                return "exited"
            for window_id in display.windows_named(title):
                window = Window(display, window_id)
                if window.is_viewable():
                    return window
            return None

        found = wait_until(find, timeout)
        check(found is not None, f"no viewable {title!r} window after {timeout} s")
        check(found != "exited", f"the program ended ({self.describe_exit()}) before a "
                                 f"{title!r} window appeared")
        return found

    # -- input, through XTEST like a real keyboard and mouse ---------------------------

    def press(self, *keys: str, hold: float = 0.1) -> None:
        """Tap each key in turn (xdotool key names: "Escape", "w", "ctrl+q").

        Each key stays down for ``hold`` seconds, about as long as a person's tap: the
        program reads a press once per frame and does not see one that is released again
        within the same frame.
        """
        for key in keys:
            self.hold(key, hold)
            time.sleep(hold)

    def quit(self, timeout: float) -> int | None:
        """Hold Escape until the program ends, as a person holds it until the window goes, up to
        ``timeout`` s; the exit code, or None if it is still running. However slow a frame is, the
        key is down when the program next reads it."""
        self.key_down("Escape")
        try:
            return self.wait_exit(timeout)
        finally:
            # Released even when the window is gone: a key left down on the display would be down
            # already for the next program there, which then never sees it pressed.
            self.key_up("Escape")

    def key_down(self, key: str) -> None:
        self._require_display().xdotool("keydown", key)

    def key_up(self, key: str) -> None:
        self._require_display().xdotool("keyup", key)

    def hold(self, key: str, seconds: float) -> None:
        """Keep ``key`` pressed for ``seconds``, releasing it even if something fails."""
        self.key_down(key)
        try:
            time.sleep(seconds)
        finally:
            self.key_up(key)

    def move_mouse(self, x: int, y: int) -> None:
        self._require_display().xdotool("mousemove", str(x), str(y))

    def click(self, button: int = 1, hold: float = 0.1) -> None:
        """Press a mouse button (1 left, 2 middle, 3 right) for ``hold`` s, like ``press``."""
        display = self._require_display()
        display.xdotool("mousedown", str(button))
        try:
            time.sleep(hold)
        finally:
            display.xdotool("mouseup", str(button))

    def _require_display(self) -> VirtualDisplay:
        if self.display is None:
            raise RuntimeError("this program was not started on a VirtualDisplay")
        return self.display


def run_test(test: Callable[[TestContext], None], argv: Iterable[str] | None = None) -> None:
    """Run one end-to-end test function and exit 0 on success, 1 on a failed check."""
    global _current_workdir
    parser = argparse.ArgumentParser(description=test.__doc__)
    parser.add_argument("--program", required=True, help="path of the Tarnwick executable")
    parser.add_argument("--keep", action="store_true",
                        help="keep the work folder (screenshots, output) even on success")
    args = parser.parse_args(list(argv) if argv is not None else None)

    # ctest ends a timed-out test with SIGTERM: unwind so that every process is stopped.
    signal.signal(signal.SIGTERM, lambda signum, frame: sys.exit(f"stopped by signal {signum}"))

    _current_workdir = None
    workdir = _workdir()
    name = getattr(test, "__name__", "test")
    failed = True
    try:
        with contextlib.ExitStack() as stack:
            context = TestContext(os.path.abspath(args.program), workdir, stack)
            try:
                test(context)
                failed = False
            except TestFailure as failure:
                print(f"FAIL {name}: {failure}", file=sys.stderr)
            except Exception:  # a harness or tool error fails the test too, with its traceback
                print(f"ERROR {name}:", file=sys.stderr)
                traceback.print_exc()
            finally:
                if failed:
                    _report_programs(context)
    except Exception:  # stopping a process went wrong
        failed = True
        print(f"ERROR {name} while cleaning up:", file=sys.stderr)
        traceback.print_exc()
    finally:
        if failed or args.keep:
            print(f"work folder kept: {workdir}", file=sys.stderr)
        else:
            shutil.rmtree(workdir, ignore_errors=True)
    if failed:
        sys.exit(1)
    print(f"PASS {name}")


def _report_programs(context: TestContext | None) -> None:
    if context is None:
        return
    for program in context.programs:
        with contextlib.suppress(OSError):
            print(f"--- program ({program.describe_exit()}) stdout:\n{program.stdout()}"
                  f"--- stderr:\n{program.stderr()}---", file=sys.stderr)

"""The program with four of its files broken at once, as a user's edits or a bad copy leave them:
collision settings that are not valid JSON, a folder where the ball's model should be, a wall
texture that is not an image, and a gable collider model with a vertex that is not a number. It
starts, draws frames, throws balls, says one line on the console for each problem (however often
the file is asked for, and naming the file: not the physics library's anonymous errors), and Escape
ends it with 0.

It also stays within a memory and time bound on the hostile settings file of old: nested 200,000
levels deep, which once overflowed the parser's stack at start."""

import math
import os
import shutil
import struct
import sys
import time

# Run from the source tree: keep the helper module's bytecode out of it.
sys.dont_write_bytecode = True

from cabin_driving import REPORT_ENV, Pilot, wait_for_report, wait_for_reports
from tarnwick_e2e import Program, VirtualDisplay, check, run_test

SETTINGS = "Settings/Collisionlayers.json"
BALL_MODEL = "Assets/Models/UVSphere.fbx"
WALL_TEXTURE = "Assets/Textures/CabinWallTexture.png"
GABLE_COLLIDER = "Assets/Models/TriangleCollider.fbx"
# The settings file cut off before its closing brace: offset 21, its end, is where it should be.
TRUNCATED_SETTINGS = '{"Layer":[17,0,0,0,1]'
DEEP_LEVELS = 200_000
START_LIMIT = 20.0
# What the nested settings file may add to the program's peak memory: a few megabytes of parsed
# arrays, where parsing once took the whole stack.
NESTING_ALLOWANCE_KB = 128 * 1024


def fbx_node(name: str, values: list, children: list | None, offset: int) -> bytes:
    """One record of a binary FBX 7.4 file starting at `offset`: scalars as L (int) or D (float),
    strings as S, lists of floats or ints as uncompressed d or i arrays."""
    props = b""
    for v in values:
        if isinstance(v, str):
            props += b"S" + struct.pack("<I", len(v)) + v.encode()
        elif isinstance(v, int):
            props += b"L" + struct.pack("<q", v)
        elif isinstance(v, float):
            props += b"D" + struct.pack("<d", v)
        elif all(isinstance(x, int) for x in v):
            props += b"i" + struct.pack("<III", len(v), 0, 4 * len(v)) + struct.pack(f"<{len(v)}i", *v)
        else:
            props += b"d" + struct.pack("<III", len(v), 0, 8 * len(v)) + struct.pack(f"<{len(v)}d", *v)
    head = 13 + len(name) + len(props)
    body = b""
    if children is not None:
        for child in children:
            body += child(offset + head + len(body))
        body += bytes(13)
    end = offset + head + len(body)
    return struct.pack("<IIIB", end, len(values), len(props), len(name)) + name.encode() + props + body


def node(name: str, *values, children: list | None = None):
    return lambda offset: fbx_node(name, list(values), children, offset)


def triangle_with_a_nan() -> bytes:
    """A binary FBX file of one mesh, two triangles with normals and UVs, one of whose corners has a
    y that is not a number."""
    layer = lambda kind, data_name, data: node(kind, 0, children=[
        node("MappingInformationType", "ByPolygonVertex"), node("ReferenceInformationType", "Direct"),
        node(data_name, data)])
    objects = node("Objects", children=[
        node("Geometry", 1002, "Geometry::Prism", "Mesh", children=[
            node("Vertices", [0.0, 0.0, 0.0, 100.0, 0.0, 0.0, 0.0, 100.0, 0.0, 0.0, math.nan, 100.0]),
            node("PolygonVertexIndex", [0, 1, -3, 0, 2, -4]),
            layer("LayerElementNormal", "Normals", [0.0, 0.0, 1.0] * 6),
            layer("LayerElementUV", "UV", [0.0, 0.0, 1.0, 0.0, 0.0, 1.0] * 2)]),
        node("Model", 1001, "Model::Prism", "Mesh", children=[])])
    connections = node("Connections", children=[node("C", "OO", 1002, 1001), node("C", "OO", 1001, 0)])
    out = b"Kaydara FBX Binary  \x00\x1a\x00" + struct.pack("<I", 7400)
    for top in (node("FBXHeaderExtension", children=[node("FBXVersion", 7400)]), objects, connections):
        out += top(len(out))
    return out + bytes(13)


def data_copy(ctx, name: str) -> str:
    """A copy of the program's data files (Assets/, Settings/) in a folder of the test's own."""
    folder = os.path.join(ctx.workdir, name)
    for part in ("Assets", "Settings"):
        shutil.copytree(part, os.path.join(folder, part))
    return folder


def write(folder: str, path: str, data: bytes) -> None:
    with open(os.path.join(folder, path), "wb") as f:
        f.write(data)


def peak_kilobytes(program: Program) -> int:
    """The most memory the running program has held at once."""
    with open(f"/proc/{program.process.pid}/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmHWM:"))


def problem_lines(program: Program) -> list[str]:
    return [line for line in program.stderr().splitlines() if line.strip()]


def three_broken_files(ctx, display):
    folder = data_copy(ctx, "broken")
    write(folder, SETTINGS, TRUNCATED_SETTINGS.encode())
    os.remove(os.path.join(folder, BALL_MODEL))
    os.mkdir(os.path.join(folder, BALL_MODEL))
    write(folder, WALL_TEXTURE, b"\x89PNG\r\n\x1a\n but not an image after all")
    write(folder, GABLE_COLLIDER, triangle_with_a_nan())

    # The ball report, once per game second, shows that frames go on.
    program = ctx.enter(Program(ctx.program_path, display, cwd=folder, env=REPORT_ENV))
    window = program.wait_for_window(timeout=START_LIMIT)
    wait_for_reports(program, 2)

    # The ball's model is asked for at every throw; it is said once.
    program.move_mouse(window.position[0] + window.size[0] // 2, window.position[1] + window.size[1] // 2)
    pilot = Pilot(program, display)
    for _ in range(3):
        pilot.throw()
    wait_for_reports(program, 2)

    lines = problem_lines(program)
    expected = {
        SETTINGS: f"{SETTINGS}: invalid JSON at offset 21: ",
        BALL_MODEL: f"{BALL_MODEL}: cannot be read: ",
        WALL_TEXTURE: f"{WALL_TEXTURE}: is not an image that can be decoded (",
        GABLE_COLLIDER: f"{GABLE_COLLIDER}: has a vertex whose position is not a finite number; "
                        "its mesh colliders have no shape",
    }
    check(len(lines) == len(expected),
          f"{len(lines)} lines on stderr, not one per problem ({len(expected)}): {lines!r}")
    for path, start in expected.items():
        said = [line for line in lines if line.startswith(start)]
        check(len(said) == 1, f"{path}: expected one line starting {start!r}; stderr: {lines!r}")

    peak_kb = peak_kilobytes(program)
    code = program.quit(10)
    check(code == 0, f"after Escape the program ended with {program.describe_exit()}, not 0")
    print("broken files: " + " | ".join(lines))
    return peak_kb


def deeply_nested_settings(ctx, display, ordinary_peak_kb: int):
    folder = data_copy(ctx, "deep")
    write(folder, SETTINGS, ("[" * DEEP_LEVELS + "]" * DEEP_LEVELS).encode())
    program = ctx.enter(Program(ctx.program_path, display, cwd=folder, env=REPORT_ENV))
    started = time.monotonic()
    program.wait_for_window(timeout=START_LIMIT)
    elapsed = time.monotonic() - started
    wait_for_reports(program, 2)
    lines = problem_lines(program)
    check(lines == [f"{SETTINGS}: the root is not a JSON object; every collision mask is 0, so nothing collides"],
          f"stderr: {lines!r}")
    # Against a run with an ordinary settings file: the sanitizer build holds several times more.
    peak_kb = peak_kilobytes(program)
    check(peak_kb < ordinary_peak_kb + NESTING_ALLOWANCE_KB,
          f"peak memory {peak_kb} kB with the nested settings file, {ordinary_peak_kb} kB without")
    code = program.quit(10)
    check(code == 0, f"after Escape the program ended with {program.describe_exit()}, not 0")
    print(f"deep settings: window after {elapsed:.1f} s, peak {peak_kb // 1024} MB "
          f"({ordinary_peak_kb // 1024} MB with the ordinary file)")


def broken_files(ctx):
    display = ctx.enter(VirtualDisplay(1280, 720))
    ordinary_peak_kb = three_broken_files(ctx, display)
    deeply_nested_settings(ctx, display, ordinary_peak_kb)


if __name__ == "__main__":
    run_test(broken_files)

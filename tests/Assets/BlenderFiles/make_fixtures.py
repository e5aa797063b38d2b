# Makes the Blender fixtures of the import tests and records what Blender itself reports for each
# file. Run from this folder with Debian's Blender 3.4 (not needed by the test command, which reads
# the committed files):
#
#     blender -b --factory-startup --python make_fixtures.py [-- NAME...]
#
# Each scene is built from Blender's own primitives and written with the FBX exporter's default
# settings (metres kept in the geometry, the scale of 100 and the turn from Blender's z-up axes on
# each object's node). pivots.fbx is a default export whose Model properties are then edited with the
# FBX tools that come with Blender (fbx2json and json2fbx), since the exporter never writes pivots.
#
# Blender's figures: every file is read back with Blender's own importer into an empty scene, and
# blender_figures.json records, per mesh object, the box of its vertices in the world (Blender's axes,
# z up, metres), its vertex and face counts, and for the skinned file the bones' heads and tails and
# the socket's place.
import json
import math
import os
import sys

import bpy
from mathutils import Matrix, Vector

HERE = os.path.dirname(os.path.abspath(__file__))


def empty_scene():
    bpy.ops.wm.read_factory_settings(use_empty=True)


def active():
    return bpy.context.view_layer.objects.active


def export(name):
    path = os.path.join(HERE, name + ".fbx")
    bpy.ops.export_scene.fbx(filepath=path)
    return path


def cube():
    empty_scene()
    bpy.ops.mesh.primitive_cube_add(size=2)
    active().name = "Cube"
    return export("cube")


def axis_parts():
    # A core with one distinct part along each of Blender's axes.
    empty_scene()
    bpy.ops.mesh.primitive_cube_add(size=1)
    active().name = "Core"
    bpy.ops.mesh.primitive_cone_add(vertices=8, radius1=0.5, depth=1, location=(3, 0, 0))
    active().name = "PlusX"
    bpy.ops.mesh.primitive_uv_sphere_add(segments=12, ring_count=6, radius=0.5, location=(0, 3, 0))
    active().name = "PlusY"
    bpy.ops.mesh.primitive_cylinder_add(vertices=10, radius=0.5, depth=1, location=(0, 0, 3))
    active().name = "PlusZ"
    return export("axis_parts")


def slab(name, size, location=(0, 0, 0)):
    # A box of unequal sides kept in the mesh, so that its node carries only what is asked of it.
    bpy.ops.mesh.primitive_cube_add(size=1, location=location)
    obj = active()
    obj.name = name
    obj.data.transform(Matrix.Diagonal((*size, 1)))
    return obj


def moved_rotated():
    empty_scene()
    obj = slab("Slab", (2.0, 1.0, 0.5))
    obj.location = (3.0, -2.0, 1.5)
    obj.rotation_euler = (math.radians(30), math.radians(-20), math.radians(45))
    # Another turned in Blender's ZXY order.
    other = slab("Turned", (1.0, 0.4, 0.2), location=(-2.0, 1.0, 0.5))
    other.rotation_mode = "ZXY"
    other.rotation_euler = (math.radians(60), math.radians(15), math.radians(-40))
    return export("moved_rotated")


def parent_child():
    # The parent is stretched along its x and turned; the child, turned itself, inherits both (the
    # exporter writes the child's inherit type as RSrs, which keeps the shear this makes).
    empty_scene()
    parent = slab("Parent", (1.0, 1.0, 1.0))
    parent.location = (2.0, 0.0, 1.0)
    parent.rotation_euler = (0, 0, math.radians(90))
    parent.scale = (2.0, 1.0, 1.0)
    child = slab("Child", (1.0, 0.5, 0.25))
    child.parent = parent
    child.location = (1.5, 0.0, 0.5)
    child.rotation_euler = (0, 0, math.radians(45))
    return export("parent_child")


def thin_wall():
    # A wall 2 m wide, 1.5 m tall and 5 cm thick standing on Blender's ground with its faces towards
    # the front and back views, moved away from the origin: brought into the scene, it is a target a
    # ball goes through.
    empty_scene()
    obj = slab("ThinWall", (2.0, 0.05, 1.5))
    obj.location = (1.0, 0.5, 0.75)
    return export("thin_wall")


def three_parts():
    # Three meshes of three shapes side by side along x, each on a node of its own.
    empty_scene()
    slab("Block", (0.6, 0.6, 1.0), location=(-1.2, 0.0, 0.5))
    bpy.ops.mesh.primitive_uv_sphere_add(segments=16, ring_count=8, radius=0.4, location=(0.0, 0.0, 0.4))
    active().name = "Ball"
    bpy.ops.mesh.primitive_cone_add(vertices=12, radius1=0.4, depth=1.2, location=(1.2, 0.0, 0.6))
    active().name = "Cone"
    return export("three_parts")


def negative_scale():
    # A cone whose tip leans to +x, mirrored in x: it leans to -x, its faces still facing out.
    empty_scene()
    bpy.ops.mesh.primitive_cone_add(vertices=12, radius1=0.5, depth=2)
    obj = active()
    obj.name = "Mirrored"
    tip = max(obj.data.vertices, key=lambda v: v.co.z)
    tip.co.x += 1.0
    obj.location = (2.0, 1.0, 0.0)
    obj.scale = (-1.0, 1.0, 1.0)
    return export("negative_scale")


def skinned_cylinder():
    # A cylinder on two bones, weighted by height, under an armature that is moved and turned; an empty
    # named as a socket hangs from the upper bone.
    empty_scene()
    bpy.ops.object.armature_add(location=(0, 0, 0))
    armature = active()
    armature.name = "Rig"
    bpy.ops.object.mode_set(mode="EDIT")
    bones = armature.data.edit_bones
    lower = bones[0]
    lower.name = "Lower"
    lower.head, lower.tail = (0, 0, 0), (0, 0, 1)
    upper = bones.new("Upper")
    upper.head, upper.tail = (0, 0, 1), (0, 0, 2)
    upper.parent = lower
    bpy.ops.object.mode_set(mode="OBJECT")
    armature.location = (1.0, 2.0, 0.5)
    armature.rotation_euler = (0, math.radians(20), 0)

    bpy.ops.mesh.primitive_cylinder_add(vertices=12, radius=0.3, depth=2, location=(0, 0, 1))
    body = active()
    body.name = "Body"
    body.data.transform(Matrix.Translation((0, 0, 1)))
    body.location = (0, 0, 0)
    lower_group = body.vertex_groups.new(name="Lower")
    upper_group = body.vertex_groups.new(name="Upper")
    for v in body.data.vertices:
        weight = min(max(v.co.z / 2.0, 0.0), 1.0)
        lower_group.add([v.index], 1.0 - weight, "REPLACE")
        upper_group.add([v.index], weight, "REPLACE")
    body.parent = armature
    body.matrix_parent_inverse = Matrix.Identity(4)
    body.location = (0, 0, 0)
    body.rotation_euler = (0, 0, 0)
    modifier = body.modifiers.new("Armature", "ARMATURE")
    modifier.object = armature

    bpy.ops.object.empty_add(location=(0, 0, 0))
    socket = active()
    socket.name = "Hand_socket"
    socket.parent = armature
    socket.parent_type = "BONE"
    socket.parent_bone = "Upper"
    # A bone child hangs from the bone's tail: this is 0.25 beyond it, along the bone.
    socket.matrix_parent_inverse = Matrix.Identity(4)
    socket.location = (0, 0.25, 0)
    return export("skinned_cylinder")


def head():
    # Suzanne-like: a head facing Blender's front (-y), with a four-sided nose to the right of its
    # middle and above it. Seen from the front the nose's sides show; from behind, a flat face.
    empty_scene()
    slab("Head", (1.0, 0.8, 1.2))
    bpy.ops.mesh.primitive_cone_add(vertices=4, radius1=0.2, depth=0.4, location=(0.2, -0.6, 0.2),
                                    rotation=(math.radians(90), 0, 0))
    bpy.ops.object.select_all(action="SELECT")
    bpy.context.view_layer.objects.active = bpy.data.objects["Head"]
    bpy.ops.object.join()
    return export("head")


def pivots():
    # A default export of a slab, given what only other tools write: rotation and scaling pivots and
    # offsets, a pre-rotation, a rotation order, and a geometric transform. Blender's importer honours
    # them all; its pre-rotation and geometric rotation follow the rotation order, so each of those
    # turns about one axis only, where the order makes no difference.
    empty_scene()
    slab("Pivoted", (1.0, 0.6, 0.3))
    path = export("pivots")
    import io_scene_fbx

    sys.path.insert(0, os.path.dirname(io_scene_fbx.__file__))
    import fbx2json
    import json2fbx

    fbx2json.fbx2json(path)
    json_path = path[:-4] + ".json"
    with open(json_path) as f:
        document = json.load(f)
    edits = {
        "RotationActive": ("bool", "", "", 1),
        "RotationOrder": ("enum", "", "", 4),  # ZXY
        "Lcl Rotation": ("Lcl Rotation", "", "A", -70.0, 25.0, 40.0),
        "Lcl Translation": ("Lcl Translation", "", "A", 30.0, -10.0, 20.0),
        "RotationPivot": ("Vector3D", "Vector", "", 40.0, 10.0, -20.0),
        "RotationOffset": ("Vector3D", "Vector", "", 5.0, 0.0, 10.0),
        "ScalingPivot": ("Vector3D", "Vector", "", -0.3, 0.2, 0.05),
        "ScalingOffset": ("Vector3D", "Vector", "", 0.0, 15.0, 0.0),
        "PreRotation": ("Vector3D", "Vector", "", 0.0, 0.0, 30.0),
        "GeometricTranslation": ("Vector3D", "Vector", "", 0.2, 0.1, -0.3),
        "GeometricRotation": ("Vector3D", "Vector", "", 0.0, 45.0, 0.0),
        "GeometricScaling": ("Vector3D", "Vector", "", 1.5, 1.0, 0.5),
    }

    def edit_model(element):
        name, values, types, children = element
        if name == "Model" and values[1].startswith("Pivoted"):
            for child in children:
                if child[0] != "Properties70":
                    continue
                lines = [p for p in child[3] if p[1][0] not in edits]
                for key, value in edits.items():
                    kind = "".join("S" if isinstance(v, str) else ("I" if isinstance(v, int) else "D")
                                   for v in (key,) + value)
                    lines.append(["P", [key, *value], kind, []])
                child[3][:] = lines
        for child in children:
            edit_model(child)

    for element in document:
        edit_model(element)
    with open(json_path, "w") as f:
        json.dump(document, f)
    json2fbx.json2fbx(json_path)
    os.remove(json_path)
    return path


def world_box(obj, depsgraph):
    evaluated = obj.evaluated_get(depsgraph)
    mesh = evaluated.to_mesh()
    points = [obj.matrix_world @ v.co for v in mesh.vertices]
    figures = {
        "min": [min(p[k] for p in points) for k in range(3)],
        "max": [max(p[k] for p in points) for k in range(3)],
        "vertices": len(mesh.vertices),
        "faces": len(mesh.polygons),
    }
    evaluated.to_mesh_clear()
    return figures


def read_back(path):
    # What Blender's own importer makes of the file.
    empty_scene()
    bpy.ops.import_scene.fbx(filepath=path)
    depsgraph = bpy.context.evaluated_depsgraph_get()
    figures = {"meshes": {}}
    for obj in bpy.context.scene.objects:
        if obj.type == "MESH":
            figures["meshes"][obj.name] = world_box(obj, depsgraph)
        elif obj.type == "ARMATURE":
            figures["bones"] = {
                bone.name: {
                    "head": list(obj.matrix_world @ bone.head_local),
                    "tail": list(obj.matrix_world @ bone.tail_local),
                }
                for bone in obj.data.bones
            }
        elif obj.type == "EMPTY":
            figures.setdefault("empties", {})[obj.name] = list(obj.matrix_world.translation)
    return figures


def main():
    makers = [cube, axis_parts, moved_rotated, parent_child, negative_scale, skinned_cylinder, head, pivots,
        thin_wall, three_parts]
    # Names after "--" remake only those files (Blender writes the time into each, so a file made
    # again differs from the committed one even when nothing in it changed).
    chosen = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
    figures_path = os.path.join(HERE, "blender_figures.json")
    figures = {
        "blender": bpy.app.version_string,
        "axes": "Blender's world: x right, y away from the front view, z up; metres",
        "files": {},
    }
    if chosen:
        with open(figures_path) as f:
            figures["files"] = json.load(f)["files"]
        makers = [make for make in makers if make.__name__ in chosen]
    for make in makers:
        path = make()
        figures["files"][os.path.basename(path)] = read_back(path)
    with open(figures_path, "w") as f:
        json.dump(figures, f, indent=1, sort_keys=True)
        f.write("\n")


main()

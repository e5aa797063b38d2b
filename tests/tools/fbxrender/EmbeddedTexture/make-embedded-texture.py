"""Makes cube-embedded-checker.fbx: Blender's default cube (2 m a side) whose material's base colour is
an 8 x 8 checker of red and blue squares, exported with the image embedded in the file.

    blender -b --factory-startup --python make-embedded-texture.py -- OUTPUT_FOLDER

The image is written to a temporary folder and deleted after the export, so the only copy of it is
the one inside the FBX file. Prints Blender's own figures for the cube (dimensions, world matrix) and
the embedded image's size."""

import os
import sys
import tempfile

import bpy

SIDE = 8  # pixels; squares of one pixel
RED = (1.0, 0.0, 0.0, 1.0)
BLUE = (0.0, 0.0, 1.0, 1.0)


def checker_image(folder):
    image = bpy.data.images.new("checker", SIDE, SIDE)
    pixels = []
    for y in range(SIDE):
        for x in range(SIDE):
            pixels.extend(RED if (x + y) % 2 == 0 else BLUE)
    image.pixels = pixels
    path = os.path.join(folder, "checker.png")
    image.filepath_raw = path
    image.file_format = "PNG"
    image.save()
    return image


def main():
    out = sys.argv[sys.argv.index("--") + 1]
    cube = bpy.data.objects["Cube"]
    with tempfile.TemporaryDirectory() as scratch:
        image = checker_image(scratch)
        material = bpy.data.materials.new("Checker")
        material.use_nodes = True
        nodes = material.node_tree.nodes
        texture = nodes.new("ShaderNodeTexImage")
        texture.image = image
        texture.interpolation = "Closest"
        material.node_tree.links.new(texture.outputs["Color"], nodes["Principled BSDF"].inputs["Base Color"])
        cube.data.materials.clear()
        cube.data.materials.append(material)
        path = os.path.join(out, "cube-embedded-checker.fbx")
        bpy.ops.export_scene.fbx(filepath=path, use_selection=False, object_types={"MESH"},
                                 path_mode="COPY", embed_textures=True)
    print("cube dimensions", tuple(cube.dimensions))
    print("cube matrix_world", [tuple(row) for row in cube.matrix_world])
    print("image", image.size[0], "x", image.size[1])
    print("file", path, os.path.getsize(path), "bytes")


main()

#!/usr/bin/env bash
# Writes assimp-boxes.txt: assimp's box of every FBX file of Debian's assimp-testmodels, the figures the
# import's boxes are compared with. Needs libassimp-dev (and a C++ compiler); the test command does not
# run it. Run from anywhere: tests/Assets/AssimpBoxes/make-assimp-boxes.sh
#
# The box is assimp's with every node transform applied (aiProcess_PreTransformVertices, which is what
# `assimp info FILE -ptv` reports as its minimum and maximum point), in the file's own axes and unit:
# assimp converts neither. Beside it, the file's unit (centimetres per unit) and axes as assimp reads
# them from the file's global settings.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
models=/usr/share/assimp/models/FBX
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat > "$work/boxes.cpp" <<'CPP'
#include <assimp/cimport.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <cfloat>
#include <cstdio>
#include <cstring>
#include <string>

static double Metadata(const aiScene* scene, const char* key, double fallback)
{
    if (!scene->mMetaData)
        return fallback;
    for (unsigned k = 0; k < scene->mMetaData->mNumProperties; ++k) {
        if (std::strcmp(scene->mMetaData->mKeys[k].C_Str(), key) != 0)
            continue;
        const aiMetadataEntry& entry = scene->mMetaData->mValues[k];
        if (entry.mType == AI_INT32)
            return *static_cast<const int*>(entry.mData);
        if (entry.mType == AI_FLOAT)
            return *static_cast<const float*>(entry.mData);
        if (entry.mType == AI_DOUBLE)
            return *static_cast<const double*>(entry.mData);
    }
    return fallback;
}

int main(int argc, char** argv)
{
    for (int a = 2; a < argc; ++a) {
        const std::string name = std::string(argv[a]).substr(std::strlen(argv[1]) + 1);
        const aiScene* scene = aiImportFile(argv[a], aiProcess_Triangulate | aiProcess_PreTransformVertices);
        if (!scene) {
            std::printf("%s unreadable %s\n", name.c_str(), aiGetErrorString());
            continue;
        }
        double low[3] = { DBL_MAX, DBL_MAX, DBL_MAX }, high[3] = { -DBL_MAX, -DBL_MAX, -DBL_MAX };
        for (unsigned m = 0; m < scene->mNumMeshes; ++m)
            for (unsigned v = 0; v < scene->mMeshes[m]->mNumVertices; ++v) {
                const aiVector3D& p = scene->mMeshes[m]->mVertices[v];
                const double q[3] = { p.x, p.y, p.z };
                for (int k = 0; k < 3; ++k) {
                    low[k] = q[k] < low[k] ? q[k] : low[k];
                    high[k] = q[k] > high[k] ? q[k] : high[k];
                }
            }
        std::printf("%s %.9g %.9g %.9g %.9g %.9g %.9g %.9g %d %d %d %d %d %d\n", name.c_str(), low[0], low[1], low[2],
            high[0], high[1], high[2], Metadata(scene, "UnitScaleFactor", 1.0), int(Metadata(scene, "UpAxis", 1)),
            int(Metadata(scene, "UpAxisSign", 1)), int(Metadata(scene, "FrontAxis", 2)),
            int(Metadata(scene, "FrontAxisSign", 1)), int(Metadata(scene, "CoordAxis", 0)),
            int(Metadata(scene, "CoordAxisSign", 1)));
        aiReleaseImport(scene);
    }
}
CPP
g++ -O1 -o "$work/boxes" "$work/boxes.cpp" -lassimp

{
  echo "# assimp $(dpkg-query -W -f '${Version}' libassimp-dev 2>/dev/null || echo '?'): the box of each FBX file of assimp-testmodels"
  echo "# with every node transform applied, in the file's own axes and unit (written by make-assimp-boxes.sh)."
  echo "# file  min x y z  max x y z  centimetres-per-unit  up up-sign  front front-sign  coord coord-sign"
  echo "# or: file unreadable REASON (assimp could not read it)"
  cd "$models"
  find . -type f \( -iname '*.fbx' \) | sed 's|^\./||' | LC_ALL=C sort | sed "s|^|$models/|" \
    | xargs "$work/boxes" "$models"
} > "$here/assimp-boxes.txt"
echo "wrote $here/assimp-boxes.txt"

// Wavefront OBJ input and output.
//
// ReadOBJ reads in two passes over the file in large chunks (count, then fill), so that every
// array is allocated once with its exact size. It builds into a fresh mesh and hands the result
// to the caller's mesh only when the whole file was read; a load that fails leaves the caller's
// mesh as it was. Lines it cannot read are skipped as the format allows and reported in one
// warning that names the file, the first such line and their count.
#pragma once

#include <cstdint>
#include <string>

#include "mesh/poly_mesh.h"

enum TZAVObjReadFlags : uint32_t
{
    ObjRead_None = 0,
    // Apply MTL parameter lines to every material of the "newmtl" name, not only the first.
    ObjRead_MtlVariant = 1 << 0,
    // Read "vn" lines; otherwise they are ignored.
    ObjRead_LoadNormals = 1 << 1,
    // All polygons go to one polygon group named after the file; "g" lines are ignored.
    ObjRead_SingleGroup = 1 << 2,
    // "# InternalName: <group>" comment lines name the current group, and "g" lines are then ignored.
    ObjRead_UseInternalNames = 1 << 3,
};

enum TZAVObjWriteFlags : uint32_t
{
    ObjWrite_None = 0,
    // Only positions and normals.
    ObjWrite_VerticesOnly = 1 << 0,
    // "g" lines where the polygon group changes.
    ObjWrite_Groups = 1 << 1,
};

// False when the file cannot be read, holds no vertices or is damaged beyond a single line;
// out_error then names the file and `mesh` is unchanged.
[[nodiscard]] bool ReadOBJ(const std::string& path, TZAVPolyMesh& mesh, uint32_t flags,
                           std::string& out_error);

// Writes the OBJ (displayed positions through GetVertex) and, beside it, the MTL. The old file
// survives a failed write; out_error says why.
[[nodiscard]] bool WriteOBJ(const TZAVPolyMesh& mesh, const std::string& path, uint32_t flags,
                            std::string& out_error);

// Writes each polygon group to "<base>_<group>.OBJ" with its vertices renumbered, and one MTL
// "<base>.mtl" that they all name.
[[nodiscard]] bool WriteOBJGroups(const TZAVPolyMesh& mesh, const std::string& path, uint32_t flags,
                                  std::string& out_error);

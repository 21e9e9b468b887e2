// Wavefront MTL material libraries: the channel colours, the glossiness and the colour and bump
// map names of the mesh's materials.
#pragma once

#include <string>

#include "mesh/poly_mesh.h"

enum class TZAVMtlReadForm : int32_t
{
    // Parameter lines go to the first material of the current "newmtl" name.
    FirstMatch,
    // Parameter lines go to every material of that name.
    EveryMatch,
};

// Reads the library named by the mesh's MtlLibName from the OBJ's folder. A missing library or
// map file, and lines that cannot be read, are reported as warnings; the materials keep what
// was read.
void ReadMTL(TZAVPolyMesh& mesh, const std::string& obj_path,
             TZAVMtlReadForm form = TZAVMtlReadForm::FirstMatch);

// The MTL path that belongs to an OBJ path: its extension replaced by ".mtl".
std::string MtlPathFor(const std::string& obj_path);

[[nodiscard]] bool WriteMTL(const TZAVPolyMesh& mesh, const std::string& path, std::string& out_error);

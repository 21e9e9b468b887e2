// ReadMTL on a library of fuzzed bytes, applied to a mesh that has materials of the names the
// seeds use (one of them twice, for the form that fills every match). The first byte chooses
// the form; the rest is the library.
#include "fuzz/fuzz_support.h"

#include <string>

#include "mesh/mtl_file.h"
#include "mesh/poly_mesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return -1;
    // A map file that the libraries can name, beside the OBJ.
    static const bool map_written = (WriteInputText("skin.png", "not an image"), true);
    (void)map_written;
    const TZAVMtlReadForm form = (data[0] & 1) != 0 ? TZAVMtlReadForm::EveryMatch : TZAVMtlReadForm::FirstMatch;
    WriteInputFile("figure.mtl", data + 1, size - 1);
    TZAVPolyMesh mesh;
    mesh.MtlLibName = "figure.mtl";
    for (const char* name : {"Skin", "Hair", "Skin", "eyes"}) {
        TZAVMaterial* material = mesh.CreateMaterial();
        material->SetNameLiteral(name);
        mesh.Materials.Add(material);
    }
    ReadMTL(mesh, InputFolder() + "figure.obj", form);
    return 0;
}

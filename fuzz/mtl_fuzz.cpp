// ReadMTL on a library of fuzzed bytes, applied to a mesh that has materials of the names the
// seeds use (one of them twice, for the form that fills every match). The first byte chooses
// the form; the rest is the library.
#include "fuzz/fuzz_support.h"

#include <string>

#include "mesh/mtl_file.h"
#include "mesh/poly_mesh.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SetUpFuzzProcess();
    // A map file that the libraries can name, beside the OBJ.
    WriteInputText("skin.png", "not an image");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return -1;
    const MtlReadForm form = (data[0] & 1) != 0 ? MtlReadForm::EveryMatch : MtlReadForm::FirstMatch;
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

// ReadOBJ on a file of fuzzed bytes, then the Prepare that every load is followed by. The first
// byte chooses the read flags; the rest is the file.
#include "fuzz/fuzz_support.h"

#include <string>

#include "core/virtual_memory.h"
#include "mesh/obj_file.h"
#include "mesh/sculpt_mesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return -1;
    const uint32_t flags =
        data[0] & (ObjRead_MtlVariant | ObjRead_LoadNormals | ObjRead_SingleGroup | ObjRead_UseInternalNames);
    const std::string path = WriteInputFile("figure.obj", data + 1, size - 1);
    {
        TTarnwick_Mesh mesh;
        std::string error;
        if (ReadOBJ(path, mesh, flags, error))
            mesh.Prepare();
    }
    ResetVirtualMemory();
    return 0;
}

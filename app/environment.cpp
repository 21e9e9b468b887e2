// The environment mesh and maps of command 46.
#include "app/environment.h"

#include <string>

#include "app/application.h"
#include "core/status.h"
#include "mesh/obj_file.h"

TTarnwick_Environment* TarnwickEnvironment = nullptr;

namespace {

constexpr const char* EnvironmentMeshName = "Environment.OBJ";
constexpr const char* EnvironmentMapName = "EnvironmentMap.BMP";
constexpr const char* GreyEnvironmentMapName = "EnvironmentMap_Grey.BMP";

bool LoadEnvironmentMap(const char* name, TTarnwick_EnvironmentMap& out_map)
{
    const std::string path = DataFilePath(name);
    std::string error;
    if (!LoadImageFile(path, out_map.Pixels, out_map.Width, out_map.Height, ImageLoad_None, nullptr, error)) {
        out_map = TTarnwick_EnvironmentMap();
        AddWarning("Error loading the file %s", path.c_str());
        return false;
    }
    return true;
}

} // namespace

bool LoadEnvironment()
{
    FreeEnvironment();
    TarnwickEnvironment = new TTarnwick_Environment;

    bool loaded = true;
    const std::string mesh_path = DataFilePath(EnvironmentMeshName);
    auto mesh = std::make_unique<TTarnwick_Mesh>();
    std::string error;
    if (ReadOBJ(mesh_path, *mesh, ObjRead_None, error)) {
        TarnwickEnvironment->Mesh = std::move(mesh);
    } else {
        AddWarning("Error loading the file %s", mesh_path.c_str());
        loaded = false;
    }
    // Both maps are tried even when the mesh failed: each one that loads is still used.
    loaded &= LoadEnvironmentMap(EnvironmentMapName, TarnwickEnvironment->Map);
    loaded &= LoadEnvironmentMap(GreyEnvironmentMapName, TarnwickEnvironment->GreyMap);
    return loaded;
}

void FreeEnvironment()
{
    delete TarnwickEnvironment;
    TarnwickEnvironment = nullptr;
}

// The environment: the mesh and the two environment maps that the views reflect, loaded once at
// start-up (command 46) from the program's Data folder and kept for the whole run.
#pragma once

#include <cstdint>
#include <memory>

#include "mesh/sculpt_mesh.h"
#include "paint/image_file.h"

// RGB pixels, bottom row first; Pixels is null when the file did not load.
struct TTarnwick_EnvironmentMap
{
    TZAVPixelBuffer Pixels;
    int32_t Width = 0;
    int32_t Height = 0;
};

struct TTarnwick_Environment
{
    // Null when the file did not load.
    std::unique_ptr<TTarnwick_Mesh> Mesh;
    TTarnwick_EnvironmentMap Map;
    TTarnwick_EnvironmentMap GreyMap;
};

// Null until LoadEnvironment ran.
extern TTarnwick_Environment* TarnwickEnvironment;

// Reads "Environment.OBJ", "EnvironmentMap.BMP" and "EnvironmentMap_Grey.BMP" from the Data
// folder, replacing what an earlier call loaded. Each file that does not load is a warning in the
// message panel and leaves its part empty; true when all three loaded.
bool LoadEnvironment();
// Frees what LoadEnvironment loaded (at the quit, before the meshes' services go).
void FreeEnvironment();

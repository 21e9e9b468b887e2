// Scene objects: an object places one sculpt mesh in the scene and remembers the files it came
// from; cameras and lights are objects with parameters of their own. Objects live in the
// project's object tree, which makes them from their block keywords through CreateSceneObject.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "core/thingy.h"
#include "mesh/sculpt_mesh.h"

class TTarnwick_Object : public TTarnwick_Thingy
{
public:
    // "New Object" with a random display colour.
    TTarnwick_Object();
    ~TTarnwick_Object() override;

    // The object's chunk: the item record, FileName (256 bytes), Pos, Rot, Scale. With a mesh the
    // mesh's chunk, its morph tree, its selection tree and its mixer follow.
    bool SaveToStream(FILE* file) override;
    // The mesh's own; true without a mesh.
    bool SaveToStream_Alt(FILE* file) override;
    bool SaveToStream_Text(FILE* file) override { return SaveToStream_Text(file, true); }
    // An "object" block; without with_block only the lines inside it.
    virtual bool SaveToStream_Text(FILE* file, bool with_block);
    bool LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                             std::string_view value) override;
    // The object's record; on a short read the object stays as it was.
    bool LoadFromStream(FILE* file) override;
    int32_t GetMemorySize() override { return 0; }

    // Takes ownership; the old mesh is destroyed.
    void SetMesh(std::unique_ptr<TTarnwick_Mesh> mesh) { Mesh = std::move(mesh); }

    std::string FileName;
    std::string OBJFileName;
    float Pos[3] = {0, 0, 0};
    float Rot[3] = {0, 0, 0};
    float Scale[3] = {1, 1, 1};
    // Drawing's matrices, identity until it sets them.
    float Matrices[4][16];
    // Each component k / 255 for a random k in 0..255.
    float DisplayColor[3];
    std::unique_ptr<TTarnwick_Mesh> Mesh;

protected:
    // The lines of an object block after the item lines: files, placement and the mesh.
    bool SaveObjectLines(FILE* file);
};

class TTarnwick_Camera : public TTarnwick_Object
{
public:
    using TTarnwick_Object::SaveToStream_Text;
    // A "camera" block: the item lines, the object's lines, then the camera's own.
    bool SaveToStream_Text(FILE* file, bool with_block) override;
    bool LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                             std::string_view value) override;

    float FOV = 45.0f;
    float Aspect = 1.0f;
    float HorizScale = 1.0f;
    float VertScale = 1.0f;
};

class TTarnwick_Light : public TTarnwick_Object
{
public:
    using TTarnwick_Object::SaveToStream_Text;
    // A "Light" block: the item lines, the object's lines, then the light's own.
    bool SaveToStream_Text(FILE* file, bool with_block) override;
    bool LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                             std::string_view value) override;

    float Brightness = 1.0f;
    float Color[3] = {1, 1, 1};
    float Radius = 1.0f;
    float SpotAngle = 45.0f;
};

// The object tree's factory: "object", "camera" or "light" in any case; null for anything else.
TTarnwick_Thingy* CreateSceneObject(std::string_view keyword);

using TTarnwick_ObjectPtr = TTarnwick_Object*;
using TTarnwick_CameraPtr = TTarnwick_Camera*;
using TTarnwick_LightPtr = TTarnwick_Light*;

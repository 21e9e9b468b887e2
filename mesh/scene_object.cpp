// Scene objects, cameras and lights: their text blocks, the object's binary record and what a
// save writes after it.
#include "mesh/scene_object.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/binary_chunk.h"
#include "core/text_block.h"
#include "core/text_scan.h"

namespace {

constexpr size_t FileNameFieldSize = 256;

bool WriteFloat3LE(FILE* file, const float values[3])
{
    return WriteFloatLE(file, values[0]) && WriteFloatLE(file, values[1]) && WriteFloatLE(file, values[2]);
}

bool ReadFloat3LE(FILE* file, float out_values[3])
{
    return ReadFloatLE(file, out_values[0]) && ReadFloatLE(file, out_values[1]) &&
           ReadFloatLE(file, out_values[2]);
}

void SetIdentity(float out_matrix[16])
{
    for (int32_t k = 0; k < 16; k++)
        out_matrix[k] = k % 5 == 0 ? 1.0f : 0.0f;
}

struct TTreeSave
{
    FILE* File;
};

// Pre-order: each group's record, then its items.
bool SaveGroupAndItems(TTarnwick_TreeGroup* group, int32_t, void* data)
{
    FILE* file = static_cast<TTreeSave*>(data)->File;
    if (!group->SaveToStream(file))
        return false;
    for (TTarnwick_Thingy* item : group->List)
        if (item != nullptr && !item->SaveToStream(file))
            return false;
    return true;
}

bool SaveTree(FILE* file, TTarnwick_TreeGroup* tree, int32_t group_type, int32_t item_type)
{
    if (tree == nullptr)
        return true;
    TTarnwick_TreeGroup::SetChunkTypes(tree, group_type, item_type);
    int32_t counter = 0;
    TTarnwick_TreeGroup::NumberGroups(tree, nullptr, counter);
    TTreeSave save{file};
    return TTarnwick_TreeGroup::Walk(tree, 0, SaveGroupAndItems, &save, TZAVWalkOrder::PreOrder);
}

} // namespace

// [SECTION] TTarnwick_Object

TTarnwick_Object::TTarnwick_Object()
{
    SetNameLiteral("New Object");
    ChunkType = TTarnwick_FileChunkID_Object;
    for (float* matrix : Matrices)
        SetIdentity(matrix);
    for (float& component : DisplayColor)
        component = float(std::rand() % 256) / 255.0f;
}

TTarnwick_Object::~TTarnwick_Object() = default;

bool TTarnwick_Object::SaveToStream(FILE* file)
{
    uint8_t file_name[FileNameFieldSize] = {};
    std::memcpy(file_name, FileName.data(), std::min(FileName.size(), FileNameFieldSize - 1));
    int64_t size_position = 0;
    bool written = OpenChunk(file, ChunkType, size_position) && WriteThingyRecord(file) &&
                   WriteBytes(file, file_name, sizeof(file_name)) && WriteFloat3LE(file, Pos) &&
                   WriteFloat3LE(file, Rot) && WriteFloat3LE(file, Scale) && CloseChunk(file, size_position);
    if (!written || !Mesh)
        return written;
    // Material maps follow the selection tree once meshes have them.
    Mesh->ChunkType = TTarnwick_FileChunkID_Mesh;
    Mesh->Mixer.ChunkType = TTarnwick_FileChunkID_MorphMixer;
    return Mesh->SaveToStream(file) &&
           SaveTree(file, Mesh->MorphTree.get(), TTarnwick_FileChunkID_MorphGroup,
                    TTarnwick_FileChunkID_Morph) &&
           SaveTree(file, Mesh->SelectionTree.get(), TTarnwick_FileChunkID_SelectionGroup,
                    TTarnwick_FileChunkID_Selection) &&
           Mesh->Mixer.SaveToStream(file);
}

bool TTarnwick_Object::SaveToStream_Alt(FILE* file)
{
    return !Mesh || Mesh->SaveToStream_Alt(file);
}

bool TTarnwick_Object::LoadFromStream(FILE* file)
{
    TTarnwick_ThingyRecord record;
    char file_name[FileNameFieldSize];
    float position[3];
    float rotation[3];
    float scale[3];
    if (!ReadThingyRecord(file, record) || !ReadBytes(file, file_name, sizeof(file_name)) ||
        !ReadFloat3LE(file, position) || !ReadFloat3LE(file, rotation) || !ReadFloat3LE(file, scale))
        return false;
    ApplyThingyRecord(record);
    FileName.assign(file_name, strnlen(file_name, sizeof(file_name)));
    std::copy(position, position + 3, Pos);
    std::copy(rotation, rotation + 3, Rot);
    std::copy(scale, scale + 3, Scale);
    return true;
}

bool TTarnwick_Object::SaveObjectLines(FILE* file)
{
    bool written = WriteTextLine(file, "FileName", FileName);
    if (written && !OBJFileName.empty())
        written = WriteTextLine(file, "OBJFileName", OBJFileName);
    written = written && WriteTextFloat3(file, "Pos", Pos) && WriteTextFloat3(file, "Rot", Rot) &&
              WriteTextFloat3(file, "Scale", Scale);
    if (written && Mesh)
        written = Mesh->SaveToStream_Text(file);
    return written;
}

bool TTarnwick_Object::SaveToStream_Text(FILE* file, bool with_block)
{
    TStartTextFileBlock block(file, "object", Name, with_block);
    bool written = block.Good() && TTarnwick_Thingy::SaveToStream_Text(file) && SaveObjectLines(file);
    return block.Close() && written;
}

bool TTarnwick_Object::LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                                           std::string_view value)
{
    if (SameTextNoCase(key, "mesh")) {
        // A mesh that fails to read is dropped and the reader keeps the message.
        auto mesh = std::make_unique<TTarnwick_Mesh>();
        if (mesh->LoadFromStream_Text(reader)) {
            mesh->Prepare();
            mesh->InstallLoadedWeldMap();
            Mesh = std::move(mesh);
        }
    } else if (SameTextNoCase(key, "FileName")) {
        FileName.assign(value);
    } else if (SameTextNoCase(key, "OBJFileName")) {
        OBJFileName.assign(value);
    } else if (SameTextNoCase(key, "Pos")) {
        TextValueFloat3(value, Pos);
    } else if (SameTextNoCase(key, "Rot")) {
        TextValueFloat3(value, Rot);
    } else if (SameTextNoCase(key, "Scale")) {
        TextValueFloat3(value, Scale);
    } else {
        return false;
    }
    return true;
}

// [SECTION] TTarnwick_Camera

bool TTarnwick_Camera::SaveToStream_Text(FILE* file, bool with_block)
{
    TStartTextFileBlock block(file, "camera", Name, with_block);
    bool written = block.Good() && TTarnwick_Thingy::SaveToStream_Text(file) &&
                   TTarnwick_Object::SaveToStream_Text(file, false) && WriteTextFloat(file, "FOV", FOV) &&
                   WriteTextFloat(file, "Aspect", Aspect) && WriteTextFloat(file, "HorizScale", HorizScale) &&
                   WriteTextFloat(file, "VertScale", VertScale);
    return block.Close() && written;
}

bool TTarnwick_Camera::LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                                           std::string_view value)
{
    if (SameTextNoCase(key, "FOV"))
        FOV = TextValueFloat(value);
    else if (SameTextNoCase(key, "Aspect"))
        Aspect = TextValueFloat(value);
    else if (SameTextNoCase(key, "HorizScale"))
        HorizScale = TextValueFloat(value);
    else if (SameTextNoCase(key, "VertScale"))
        VertScale = TextValueFloat(value);
    else
        return TTarnwick_Object::LoadFromStream_Text_ConsiderCommand(reader, key, value);
    return true;
}

// [SECTION] TTarnwick_Light

bool TTarnwick_Light::SaveToStream_Text(FILE* file, bool with_block)
{
    TStartTextFileBlock block(file, "Light", Name, with_block);
    bool written = block.Good() && TTarnwick_Thingy::SaveToStream_Text(file) &&
                   TTarnwick_Object::SaveToStream_Text(file, false) &&
                   WriteTextFloat(file, "Brightness", Brightness) && WriteTextFloat3(file, "Color", Color) &&
                   WriteTextFloat(file, "Radius", Radius) && WriteTextFloat(file, "SpotAngle", SpotAngle);
    return block.Close() && written;
}

bool TTarnwick_Light::LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                                          std::string_view value)
{
    if (SameTextNoCase(key, "Brightness"))
        Brightness = TextValueFloat(value);
    else if (SameTextNoCase(key, "Color"))
        TextValueFloat3(value, Color);
    else if (SameTextNoCase(key, "Radius"))
        Radius = TextValueFloat(value);
    else if (SameTextNoCase(key, "SpotAngle"))
        SpotAngle = TextValueFloat(value);
    else
        return TTarnwick_Object::LoadFromStream_Text_ConsiderCommand(reader, key, value);
    return true;
}

// [SECTION] The object tree's factory

TTarnwick_Thingy* CreateSceneObject(std::string_view keyword)
{
    if (SameTextNoCase(keyword, "object"))
        return new TTarnwick_Object;
    if (SameTextNoCase(keyword, "camera"))
        return new TTarnwick_Camera;
    if (SameTextNoCase(keyword, "light"))
        return new TTarnwick_Light;
    return nullptr;
}

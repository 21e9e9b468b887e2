// The text form of a project: a header of three lines, then one block holding the viewports, the
// options, the 32 layers, the brush images and the object tree, each written by its owner.
//
//     Tarnwick Project File
//     Version 2.2.0.0
//     ---------------------------
//     {
//         ViewportConfiguration<TAB>0
//         viewport<TAB>0
//         { ... }
//         MirrorX<TAB>0
//         ...
//         layer<TAB>Entire Object
//         { ... }
//         objects<TAB>
//         { ... }
//     }
//
// [SECTION] Options
// [SECTION] Writing
// [SECTION] Reading
#include <cstring>
#include <memory>
#include <string>

#include "core/text_block.h"
#include "core/text_scan.h"
#include "files/project.h"
#include "mesh/scene_object.h"
#include "paint/material_map.h"

// [SECTION] Options

namespace {

// One option line: a flag or a float member, written in the order of this table.
struct TOptionKey
{
    const char* Key;
    bool TTarnwick_Project::*Flag;
    float TTarnwick_Project::*Number;
};

using P = TTarnwick_Project;
constexpr TOptionKey OptionKeys[] = {
    {"MirrorX", &P::MirrorX, nullptr},
    {"MirrorY", &P::MirrorY, nullptr},
    {"MirrorInViewport", &P::MirrorInViewport, nullptr},
    {"PaintOnBackFaces", &P::PaintOnBackFaces, nullptr},
    {"AngleFade", &P::AngleFade, nullptr},
    {"ExtraSoftBrushStrokes", &P::ExtraSoftBrushStrokes, nullptr},
    {"TileSize", nullptr, &P::TileSize},
    {"ExportVerticesOnly", &P::ExportVerticesOnly, nullptr},
    {"ExportGroups", &P::ExportGroups, nullptr},
    {"ExportGroupsAsSeparateFiles", &P::ExportGroupsAsSeparateFiles, nullptr},
    {"ExportChangedGroups", &P::ExportChangedGroups, nullptr},
    {"ExportMaps", &P::ExportMaps, nullptr},
    {"ExportMorphs", &P::ExportMorphs, nullptr},
    {"ScaleOnImport", &P::ScaleOnImport, nullptr},
    {"ScaleFactor", nullptr, &P::ScaleFactor},
    {"CenterOnImport", &P::CenterOnImport, nullptr},
    {"WeldThreshold", nullptr, &P::WeldThreshold},
    {"ImportMaps", &P::ImportMaps, nullptr},
    {"ImportMorphs", &P::ImportMorphs, nullptr},
    {"GlobalDisplacementStrength", nullptr, &P::GlobalDisplacementStrength},
    {"GlobalBumpStrength", nullptr, &P::GlobalBumpStrength},
    {"RenderQuality", nullptr, &P::RenderQuality},
    {"RenderMixColors", &P::RenderMixColors, nullptr},
    {"RenderColorMaps", &P::RenderColorMaps, nullptr},
    {"RenderBumpMaps", &P::RenderBumpMaps, nullptr},
    {"RenderSpecularMaps", &P::RenderSpecularMaps, nullptr},
    {"RenderAmbientMaps", &P::RenderAmbientMaps, nullptr},
    {"RenderDoubleSided", &P::RenderDoubleSided, nullptr},
    {"RenderTransparencyMaps", &P::RenderTransparencyMaps, nullptr},
    {"RenderDisplacementMaps", &P::RenderDisplacementMaps, nullptr},
    {"DeformerLockX", &P::DeformerLockX, nullptr},
    {"DeformerLockY", &P::DeformerLockY, nullptr},
    {"DeformerLockZ", &P::DeformerLockZ, nullptr},
    {"CR2AutoRig", &P::CR2AutoRig, nullptr},
    {"CR2SetupFullBodyMorphs", &P::CR2SetupFullBodyMorphs, nullptr},
    {"CR2SaveNewOBJ", &P::CR2SaveNewOBJ, nullptr},
    {"AutoFixSeams", &P::AutoFixSeams, nullptr},
    {"BrushSymmetry", &P::BrushSymmetry, nullptr},
    {"DeformSymmetry", &P::DeformSymmetry, nullptr},
    {"FlipSymmetry", &P::FlipSymmetry, nullptr},
    {"AdvancedPanelCollapsed", &P::AdvancedPanelCollapsed, nullptr},
    {"TexturePanelCollapsed", &P::TexturePanelCollapsed, nullptr},
    {"SymmetryPanelCollapsed", &P::SymmetryPanelCollapsed, nullptr},
    {"ChooseRandomTexture", &P::ChooseRandomTexture, nullptr},
    {"TileBrushTexture", &P::TileBrushTexture, nullptr},
    {"FlipBrushTextureX", &P::FlipBrushTextureX, nullptr},
    {"FlipBrushTextureY", &P::FlipBrushTextureY, nullptr},
    {"FastPainting", &P::FastPainting, nullptr},
    {"FastSelectionAndDeformation", &P::FastSelectionAndDeformation, nullptr},
    {"FadeToSecondaryColor", &P::FadeToSecondaryColor, nullptr},
    {"PaintOnSelectionOnly", &P::PaintOnSelectionOnly, nullptr},
};

constexpr const char* HyphenLine = "---------------------------";

} // namespace

// [SECTION] Writing

namespace {

bool WriteViewport(FILE* file, int32_t index, const TTarnwick_ViewportState& viewport)
{
    TStartTextFileBlock block(file, "viewport", std::to_string(index));
    bool written = block.Good() && WriteTextIndent(file) && std::fputs("RotationMatrix\t", file) >= 0;
    for (float value : viewport.RotationMatrix)
        written = written && std::fprintf(file, "%.8f ", static_cast<double>(value)) > 0;
    written = written && std::fputc('\n', file) != EOF && WriteTextFloat3(file, "LookAt", viewport.LookAt) &&
              WriteTextFloat(file, "Zoom", viewport.Zoom) &&
              WriteTextFlag(file, "Current", viewport.Current) &&
              WriteTextFlag(file, "Maximized", viewport.Maximized) &&
              WriteTextInt(file, "CameraID", viewport.CameraID);
    return block.Close() && written;
}

} // namespace

bool TTarnwick_Project::WriteTextProject(FILE* file)
{
    // The maps' images are coded while the meshes before them are written.
    for (TTarnwick_Object* object : Objects())
        if (object->Mesh)
            for (int32_t index = 0; index < object->Mesh->MaterialMaps.Count(); index++)
                if (TZAVMaterialMap* map = MaterialMapAt(*object->Mesh, index))
                    map->StartEncoding();
    SetTextBlockLevel(0);
    bool written =
        std::fprintf(file, "Tarnwick Project File\nVersion %d.%d.%d.%d\n%s\n", 2, 2, 0, 0, HyphenLine) > 0 &&
        WriteTextBlockStart(file) && WriteTextInt(file, "ViewportConfiguration", ViewportConfiguration);
    for (int32_t index = 0; index < ViewportCount; index++)
        written = written && WriteViewport(file, index, Viewports[index]);
    for (const TOptionKey& option : OptionKeys)
        written =
            written && (option.Flag != nullptr ? WriteTextFlag(file, option.Key, this->*option.Flag)
                                               : WriteTextFloat(file, option.Key, this->*option.Number));
    written = written && WriteTextFloat3(file, "BackgroundColor", BackgroundColor) &&
              WriteTextFloat3(file, "WireframeColor", WireframeColor) && WriteTextFloat(file, "Time", Time);
    Layers.SyncCurrentFlags();
    for (TTarnwick_Layer& layer : Layers.Layers)
        written = written && layer.SaveToStream_Text(file);
    for (TTarnwick_TextureBrushImage* image : BrushImages)
        written = written && image->SaveToStream_Text(file);
    written = written && ObjectTree->SaveToStream_Text(file) && WriteTextBlockEnd(file);
    SetTextBlockLevel(0);
    return written;
}

// [SECTION] Reading

namespace {

// A viewport's block, read into its saved state.
class TViewportBlock : public TTarnwick_Thingy
{
public:
    explicit TViewportBlock(TTarnwick_ViewportState& state) : State(state) { Current = state.Current; }

    bool LoadFromStream_Text_ConsiderCommand(TZAVTextReader&, std::string_view key,
                                             std::string_view value) override
    {
        if (SameTextNoCase(key, "RotationMatrix"))
            ParseFloatList(value, State.RotationMatrix, 16);
        else if (SameTextNoCase(key, "LookAt"))
            TextValueFloat3(value, State.LookAt);
        else if (SameTextNoCase(key, "Zoom"))
            State.Zoom = TextValueFloat(value);
        else if (SameTextNoCase(key, "Current"))
            Current = TextValueInt(value) != 0;
        else if (SameTextNoCase(key, "Maximized"))
            State.Maximized = TextValueInt(value) != 0;
        else if (SameTextNoCase(key, "CameraID"))
            State.CameraID = TextValueInt(value);
        else
            return false;
        return true;
    }

    bool LoadFromStream_Text(TZAVTextReader& reader) override
    {
        const bool read = TTarnwick_Thingy::LoadFromStream_Text(reader);
        State.Current = Current;
        return read;
    }

private:
    TTarnwick_ViewportState& State;
};

// Every morph of the mesh's visible groups takes part in its mix.
void ConnectMixer(TTarnwick_Mesh& mesh)
{
    while (mesh.Mixer.List.Count() > 0)
        mesh.Mixer.List.RemoveAt(mesh.Mixer.List.Count() - 1);
    TTarnwick_TreeGroup::WalkPruned(
        mesh.MorphTree.get(), 0,
        [](TTarnwick_TreeGroup* group, int32_t depth, void* mixer) {
            return !group->Hidden && TTarnwick_MorphMixer::AddMorphsToMixer_OnVisitMorph(group, depth, mixer);
        },
        &mesh.Mixer);
}

} // namespace

void TTarnwick_Project::ReadBrushImage(TZAVTextReader& reader)
{
    auto image = std::make_unique<TTarnwick_TextureBrushImage>();
    const int32_t line = reader.LineNumber();
    if (!LoadItemOrDropIt(reader, *image, "brush image"))
        return;
    // Without its pixels the image keeps its place, so that the next save does not lose it.
    std::string problem;
    if (!image->LoadPixels(problem))
        reader.Warn(line, "the brush image \"%s\" has no pixels: %s", image->GetName(), problem.c_str());
    if (FindBrushImage(image->Name) == nullptr)
        BrushImages.Add(image.release());
}

void TTarnwick_Project::ReadTextKey(TZAVTextReader& reader, const std::string& key, const std::string& value,
                                    int32_t& layer_counter)
{
    if (SameTextNoCase(key, "viewport")) {
        const int32_t index = TextValueInt(value);
        TTarnwick_ViewportState ignored;
        TViewportBlock block(index >= 0 && index < ViewportCount ? Viewports[index] : ignored);
        block.LoadFromStream_Text(reader);
    } else if (SameTextNoCase(key, "layer")) {
        // Blocks after the 32nd are left to the reader's rule for unclaimed blocks.
        if (++layer_counter < LayerCount)
            Layers.Layers[layer_counter].LoadFromStream_Text(reader);
    } else if (SameTextNoCase(key, "BrushImage")) {
        ReadBrushImage(reader);
    } else if (SameTextNoCase(key, "objects")) {
        ObjectTree = NewObjectTree();
        ObjectTree->LoadFromStream_Text(reader);
    } else if (SameTextNoCase(key, "ViewportConfiguration")) {
        ViewportConfiguration = TextValueInt(value);
    } else if (key == "BackgroundColor") {
        TextValueFloat3(value, BackgroundColor);
    } else if (key == "WireframeColor") {
        TextValueFloat3(value, WireframeColor);
    } else if (SameTextNoCase(key, "Time")) {
        Time = TextValueFloat(value);
    } else {
        for (const TOptionKey& option : OptionKeys) {
            if (!SameTextNoCase(key, option.Key))
                continue;
            if (option.Flag != nullptr)
                this->*option.Flag = TextValueInt(value) != 0;
            else
                this->*option.Number = TextValueFloat(value);
            break;
        }
    }
}

bool TTarnwick_Project::ReadTextProject(FILE* file, const std::string& path)
{
    TZAVTextReader reader(file, path);
    std::string_view line;
    // The first line was checked by the caller.
    reader.ReadTrimmedLine(line);
    // Each block that fails costs that block alone: its failure becomes a warning.
    reader.HoldFailures(true);
    auto warn_failure = [&]() {
        std::string problem;
        int32_t failed_line = 0;
        if (reader.TakeFailure(problem, failed_line))
            reader.Warn(failed_line, "%s", problem.c_str());
    };
    std::string key;
    std::string value;
    bool opened = false;
    bool closed = false;
    int32_t layer_counter = -1;
    while (!closed && reader.ReadTrimmedLine(line)) {
        if (line == "{") {
            // The project's own block, or one that no reader claims.
            if (opened)
                SkipTextBlock(reader);
            opened = true;
            continue;
        }
        if (line == "}") {
            closed = opened;
            continue;
        }
        std::string_view key_view;
        std::string_view value_view;
        SplitKeyValue(line, key_view, value_view);
        key.assign(key_view);
        value.assign(value_view);
        ReadTextKey(reader, key, value, layer_counter);
        warn_failure();
    }
    warn_failure();
    if (!closed)
        reader.Warn(reader.LineNumber(),
                    "the file ended before the project's closing \"}\": it was cut short, "
                    "and only what came before the end was loaded");

    // What depends on the loaded data.
    int32_t current_layer = 0;
    for (int32_t index = 0; index < LayerCount; index++)
        if (Layers.Layers[index].Current)
            current_layer = index;
    Layers.SetCurrentLayer(current_layer);
    Layers.SyncCurrentFlags();
    for (TTarnwick_Object* object : Objects()) {
        if (object->Mesh)
            ConnectMixer(*object->Mesh);
        // A camera whose saved ID another item held keeps a new one; its viewports follow it.
        if (object->LoadedID != object->ID)
            for (TTarnwick_ViewportState& viewport : Viewports)
                if (viewport.CameraID == object->LoadedID && object->LoadedID > 0)
                    viewport.CameraID = object->ID;
    }
    ShowRootGroups();
    return true;
}

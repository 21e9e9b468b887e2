// CR2 export: the figure's source CR2 is parsed flat, edited as a tree and written back whole.
//
// [SECTION] Helpers
// [SECTION] Paths and thumbnails
// [SECTION] Materials
// [SECTION] Morph targets
// [SECTION] Joints
// [SECTION] ExportCR2
// [SECTION] Injection files
#include "files/cr2_export.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "core/dialogs.h"
#include "core/paths.h"
#include "core/report.h"
#include "core/safe_file.h"
#include "core/status.h"
#include "core/text_scan.h"
#include "core/tree_group.h"
#include "files/cr2_tree.h"
#include "files/project.h"
#include "mesh/group.h"
#include "mesh/material.h"
#include "mesh/morph.h"
#include "mesh/obj_file.h"
#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"
#include "paint/image_file.h"
#include "paint/material_map.h"

namespace {

// A delta at or below this length moves nothing.
constexpr float DeltaThreshold = 1e-30f;
constexpr float ExtentThreshold = 1e-30f;

// [SECTION] Helpers

// Names match when they are equal without regard to case up to their first ':', so that a part
// "hip:1" matches the group "hip".
bool NamesMatch(std::string_view first, std::string_view second)
{
    return SameTextNoCase(first.substr(0, first.find(':')), second.substr(0, second.find(':')));
}

TZAVCR2TreeNode* AddLine(TZAVCR2TreeNode& parent, const char* keyword, const char* value)
{
    auto* node = new TZAVCR2TreeNode(keyword, value);
    parent.AddChild(node);
    return node;
}

TZAVCR2TreeNode* AddBlock(TZAVCR2TreeNode& parent, const char* keyword, const char* value)
{
    TZAVCR2TreeNode* node = AddLine(parent, keyword, value);
    node->HasBlock = true;
    return node;
}

// A block with this keyword and value as the first child of parent: the existing one emptied, or
// a new one, so that exporting again updates the same block.
TZAVCR2TreeNode& FirstChildBlock(TZAVCR2TreeNode& parent, const char* keyword, const char* value)
{
    if (TZAVCR2TreeNode* found = parent.FindChild(keyword, value)) {
        found->DeleteChildren();
        found->HasBlock = true;
        return *found;
    }
    auto* node = new TZAVCR2TreeNode(keyword, value);
    node->HasBlock = true;
    if (TZAVCR2TreeNode* first = parent.FirstChild())
        first->InsertBefore(node);
    else
        parent.AddChild(node);
    return *node;
}

// The "keys" block of a dial that does not move: a single static key at 0.
void AddStaticKeys(TZAVCR2TreeNode& parent)
{
    TZAVCR2TreeNode* keys = AddBlock(parent, "keys", "");
    AddLine(*keys, "static", "0");
    AddLine(*keys, "k", "0 0");
}

// The lines a dial block starts with, at 0 and limited to ±limit.
void AddDialLines(TZAVCR2TreeNode& block, const std::string& name, const std::string& limit,
                  const char* tracking_scale)
{
    AddLine(block, "name", name.c_str());
    AddLine(block, "initValue", "0");
    AddLine(block, "hidden", "0");
    AddLine(block, "forceLimits", "4");
    AddLine(block, "min", ("-" + limit).c_str());
    AddLine(block, "max", limit.c_str());
    AddLine(block, "trackingScale", tracking_scale);
    AddStaticKeys(block);
    AddLine(block, "interpStyleLocked", "0");
}

// The group vertices of a morph held expanded while it is read, and put back in its form after.
class TExpandedMorph
{
public:
    explicit TExpandedMorph(TTarnwick_Morph& morph) : Morph(morph), WasCompressed(morph.IsCompressed())
    {
        Morph.Expand();
        Values = Morph.vertices();
    }
    ~TExpandedMorph()
    {
        if (WasCompressed)
            Morph.Compress();
    }
    TExpandedMorph(const TExpandedMorph&) = delete;
    TExpandedMorph& operator=(const TExpandedMorph&) = delete;

    // Null for a vertex the morph does not hold.
    const float* Delta(int32_t vertex) const
    {
        return Values != nullptr && vertex >= 0 && vertex < Morph.vcount ? Values + int64_t(vertex) * 3
                                                                         : nullptr;
    }
    bool Moves(int32_t vertex) const
    {
        const float* delta = Delta(vertex);
        return delta != nullptr &&
               std::sqrt(delta[0] * delta[0] + delta[1] * delta[1] + delta[2] * delta[2]) > DeltaThreshold;
    }
    int32_t CountMoved(const TZAVGroup2& group) const
    {
        int32_t count = 0;
        for (int32_t vertex : group.Vertices)
            count += Moves(vertex) ? 1 : 0;
        return count;
    }

private:
    TTarnwick_Morph& Morph;
    bool WasCompressed;
    const float* Values = nullptr;
};

std::vector<TZAVGroup2*> PolygonGroups(const TTarnwick_Mesh& mesh)
{
    std::vector<TZAVGroup2*> groups;
    for (int32_t i = 0; i < mesh.Groups2.Count(); i++) {
        TZAVGroup2* group = nullptr;
        if (mesh.Groups2.Get(group, i) && group != nullptr)
            groups.push_back(group);
    }
    return groups;
}

// An actor of the tree's second description and the polygon group it belongs to, for one export.
struct TLinkedActor
{
    TZAVCR2TreeNode* Actor;
    TZAVGroup2* Group;
};

// The actors from the second description of the figure on (the one holding the channels), each
// with the first group whose name matches; a file with a single description gives its actors.
std::vector<TLinkedActor> LinkActors(TZAVCR2TreeNode& root, const TTarnwick_Mesh& mesh)
{
    std::vector<TLinkedActor> linked;
    TZAVCR2TreeNode* first = root.FindChild("actor", nullptr);
    if (first == nullptr)
        return linked;
    TZAVCR2TreeNode* second = first->FindNext("actor", first->GetValue());
    const std::vector<TZAVGroup2*> groups = PolygonGroups(mesh);
    for (TZAVCR2TreeNode* actor = second != nullptr ? second : first; actor != nullptr;
         actor = actor->FindNext("actor", nullptr)) {
        TZAVGroup2* match = nullptr;
        for (TZAVGroup2* group : groups)
            if (NamesMatch(group->Name, actor->GetValue())) {
                match = group;
                break;
            }
        linked.push_back({actor, match});
    }
    return linked;
}

// [SECTION] Paths and thumbnails

std::string Quoted(std::string_view text)
{
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.push_back('"');
    quoted.append(text);
    quoted.push_back('"');
    return quoted;
}

// The thumbnail and, when the data folder has one, the resource file beside output.
bool CopyBeside(const std::string& output, const std::string& data_folder, bool with_thumbnail,
                std::string& out_error)
{
    if (data_folder.empty())
        return true;
    const std::string base = WithoutExtension(output);
    if (with_thumbnail) {
        const std::string thumbnail = base + ".png";
        if (!CopyFile(thumbnail, data_folder + CR2ThumbnailName)) {
            out_error = "Cannot create the thumbnail " + thumbnail;
            return false;
        }
    }
    const std::string resource = data_folder + CR2ResourceName;
    if (FileExists(resource) && !CopyFile(base + ".rsr", resource)) {
        out_error = "Cannot create the file " + base + ".rsr";
        return false;
    }
    return true;
}

// [SECTION] Materials

// Writes each of the mesh's maps that holds pixels into folder and points its channels there.
bool SaveMapsInto(TTarnwick_Mesh& mesh, const std::string& folder, std::string& out_error)
{
    for (int32_t index = 0; index < mesh.MaterialMaps.Count(); index++) {
        TZAVMaterialMap* map = MaterialMapAt(mesh, index);
        if (map == nullptr || !map->HasPixels())
            continue;
        std::string name = NameOf(map->MapFileName);
        if (name.empty())
            name = CleanFileName(map->GetName()) + ".png";
        const std::string path = WithTrailingSeparator(folder) + name;
        std::string error;
        if (!SaveImageFile(path, map->Pixels, map->Width, map->Height, TZAVImageChannels::RGB, error)) {
            out_error = error;
            return false;
        }
        map->MapFileName = path;
        for (int32_t m = 0; m < mesh.Materials.Count(); m++) {
            TZAVMaterial* material = nullptr;
            if (!mesh.Materials.Get(material, m) || material == nullptr)
                continue;
            for (int32_t c = 0; c < material->ArbChannels.Count(); c++) {
                TZAVMaterialChannel* channel = nullptr;
                if (material->ArbChannels.Get(channel, c) && channel != nullptr &&
                    channel->TextureIndex == index)
                    channel->MapFileName = path;
            }
        }
    }
    return true;
}

void SetChildValue(TZAVCR2TreeNode& node, const char* keyword, const std::string& value)
{
    if (TZAVCR2TreeNode* line = node.FindChild(keyword, nullptr))
        line->SetValue(value.c_str());
}

// One channel of a CR2 "material" block from the mesh material; lines that are missing are not made.
void UpdateMaterialChannel(TZAVCR2TreeNode& block, const TZAVMaterial& material, const char* channel_name,
                           const char* map_keyword)
{
    const TZAVMaterialChannel* channel = material.FindChannel(channel_name);
    if (channel == nullptr)
        return;
    const bool has_map = !channel->MapFileName.empty();
    if (TZAVCR2TreeNode* map_line = block.FindChild(map_keyword, nullptr)) {
        map_line->SetValue(has_map ? Quoted(ToCR2Path(channel->MapFileName)).c_str() : "NO_MAP");
        // A map path is followed by a line "0 0".
        const TZAVCR2TreeNode* next = map_line->Next();
        const bool followed = next != nullptr && std::string_view(next->GetKeyword()) == "0" &&
                              std::string_view(next->GetValue()) == "0";
        if (has_map && !followed)
            map_line->InsertAfter(new TZAVCR2TreeNode("0", "0"));
    }
    if (SameTextNoCase(channel_name, "Color")) {
        const float* colour = channel->Colors[0];
        SetChildValue(block, "KdColor", FormatText("%.4f %.4f %.4f 1.0", colour[0], colour[1], colour[2]));
        if (has_map)
            SetChildValue(block, "TextureColor", "1 1 1 1");
    } else if (SameTextNoCase(channel_name, "Bump")) {
        SetChildValue(block, "bumpStrength", FormatText("%.8f", channel->Strength));
    } else {
        const std::string value = FormatText("%.8f", channel->Strength);
        SetChildValue(block, "tMin", value);
        SetChildValue(block, "tMax", value);
    }
}

void UpdateMaterials(TZAVCR2TreeNode& root, const TTarnwick_Mesh& mesh)
{
    TZAVCR2TreeNode* figure = root.FindChild("figure", nullptr);
    if (figure == nullptr)
        return;
    for (TZAVCR2TreeNode* block = figure->FindChild("material", nullptr); block != nullptr;
         block = block->FindNext("material", nullptr)) {
        TZAVMaterial* match = nullptr;
        for (int32_t m = 0; m < mesh.Materials.Count() && match == nullptr; m++) {
            TZAVMaterial* material = nullptr;
            if (mesh.Materials.Get(material, m) && material != nullptr &&
                NamesMatch(material->Name, block->GetValue()))
                match = material;
        }
        if (match == nullptr) {
            AddWarning("Cannot find a match for the material %s", block->GetValue());
            continue;
        }
        UpdateMaterialChannel(*block, *match, "Color", "textureMap");
        UpdateMaterialChannel(*block, *match, "Bump", "bumpMap");
        UpdateMaterialChannel(*block, *match, "Transparency", "transparencyMap");
    }
}

// [SECTION] Morph targets

// The morphs the user made: read-only ones (imported from a CR2) and those of read-only or hidden
// groups are the figure's own and are not written back.
void CollectEditableMorphs(TTarnwick_TreeGroup* group, std::vector<TTarnwick_Morph*>& out_morphs)
{
    for (; group != nullptr; group = group->NextGroup()) {
        if (group->ReadOnly || group->Hidden)
            continue;
        for (int32_t i = 0; i < group->List.Count(); i++) {
            TTarnwick_ThingyPtr item = nullptr;
            if (group->List.Get(item, i))
                if (auto* morph = dynamic_cast<TTarnwick_Morph*>(item); morph != nullptr && !morph->ReadOnly)
                    out_morphs.push_back(morph);
        }
        CollectEditableMorphs(group->FirstChildGroup(), out_morphs);
    }
}

// The master dial of a full-body morph on the body's channels. False when the body or its channels
// are missing, which stops the morph walk.
bool AddMasterDial(TZAVCR2TreeNode& root, const std::string& morph_name)
{
    TZAVCR2TreeNode* body = root.FindChild("actor", "body", TZAVCR2ValueMatch::BeforeColon);
    TZAVCR2TreeNode* second = body != nullptr ? body->FindNext("actor", body->GetValue()) : nullptr;
    if (second == nullptr) {
        AddWarning("Cannot find the body node! (1)");
        ShowMessage(GlobalDialogHost, "Cannot find the body node! (2)");
        return false;
    }
    TZAVCR2TreeNode* channels = second->FindChild("channels", nullptr);
    if (channels == nullptr) {
        ShowMessage(GlobalDialogHost, "Cannot find the channels node!");
        return false;
    }
    TZAVCR2TreeNode& dial = FirstChildBlock(*channels, "valueParm", morph_name.c_str());
    AddDialLines(dial, morph_name, "10000", "0.02");
    return true;
}

struct TFigureNames
{
    std::string Name;
    std::string Root;
};

void WritePartTarget(TZAVCR2TreeNode& actor, const TZAVGroup2& group, const TExpandedMorph& deltas,
                     const std::string& morph_name, const TFigureNames& figure)
{
    const int32_t moved = deltas.CountMoved(group);
    if (moved == 0)
        return;
    TZAVCR2TreeNode* channels = actor.FindChild("channels", nullptr);
    if (channels == nullptr)
        return;
    TZAVCR2TreeNode& target = FirstChildBlock(*channels, "targetGeom", morph_name.c_str());
    AddDialLines(target, morph_name, "100000", "0.0196772");
    AddLine(target, "valueOpDeltaAdd", "");
    AddLine(target, figure.Name.c_str(), "");
    AddLine(target, figure.Root.c_str(), "");
    AddLine(target, morph_name.c_str(), "");
    AddLine(target, "deltaAddDelta", "1.0");
    AddLine(target, "indexes", std::to_string(moved).c_str());
    AddLine(target, "numbDeltas", std::to_string(group.GetVertexCount()).c_str());
    TZAVCR2TreeNode* lines = AddBlock(target, "deltas", "");
    // Each line goes after the one before: appending walks the whole list of children.
    TZAVCR2TreeNode* last = nullptr;
    for (int32_t i = 0; i < group.GetVertexCount(); i++) {
        const int32_t vertex = group.Vertices[size_t(i)];
        if (!deltas.Moves(vertex))
            continue;
        const float* d = deltas.Delta(vertex);
        const std::string text = FormatText("%d %.8f %.8f %.8f", i, d[0], d[1], d[2]);
        if (last == nullptr) {
            last = AddLine(*lines, "d", text.c_str());
        } else {
            auto* line = new TZAVCR2TreeNode("d", text.c_str());
            last->InsertAfter(line);
            last = line;
        }
    }
}

// False when the tree has no "figure" node to take the names from.
bool WriteMorphTargets(TZAVCR2TreeNode& root, TTarnwick_Mesh& mesh, bool full_body)
{
    const std::vector<TLinkedActor> actors = LinkActors(root, mesh);
    const TZAVCR2TreeNode* figure_node = root.FindChild("figure", nullptr);
    if (figure_node == nullptr) {
        AddWarning("The original CR2 file does not have a \"figure\" node");
        return false;
    }
    TFigureNames figure;
    // "GetStringRes(...)" names a string of the figure program's own table; kept as written, the
    // figure program resolves it.
    if (const TZAVCR2TreeNode* name = figure_node->FindChild("name", nullptr))
        figure.Name = name->GetValue();
    if (const TZAVCR2TreeNode* root_name = figure_node->FindChild("root", nullptr))
        figure.Root = root_name->GetValue();

    std::vector<TTarnwick_Morph*> morphs;
    CollectEditableMorphs(mesh.MorphTree.get(), morphs);
    for (TTarnwick_Morph* morph : morphs) {
        if (morph->vcount != mesh.GetVertexCount()) {
            AddWarning("The morph \"%s\" does not fit the mesh and was not exported", morph->GetName());
            continue;
        }
        const std::string name = morph->GetName();
        const TExpandedMorph deltas(*morph);
        // A morph that moves nothing (a fresh "Default Morph") would only add an idle dial.
        bool moves = false;
        for (int32_t vertex = 0; vertex < morph->vcount && !moves; vertex++)
            moves = deltas.Moves(vertex);
        if (!moves)
            continue;
        if (full_body && !AddMasterDial(root, name))
            break;
        for (const TLinkedActor& linked : actors)
            if (linked.Group != nullptr)
                WritePartTarget(*linked.Actor, *linked.Group, deltas, name, figure);
    }
    return true;
}

// [SECTION] Joints

struct TVector
{
    double V[3] = {0, 0, 0};
};

// 4 x 4, row-major; a point is a row vector multiplied from the left (translation in row 3).
struct TMatrix
{
    double M[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    TMatrix operator*(const TMatrix& other) const
    {
        TMatrix product;
        for (int32_t r = 0; r < 4; r++)
            for (int32_t c = 0; c < 4; c++) {
                double sum = 0;
                for (int32_t k = 0; k < 4; k++)
                    sum += M[r][k] * other.M[k][c];
                product.M[r][c] = sum;
            }
        return product;
    }
    // The direction part only: p·M without translation.
    TVector Rotate(const TVector& p) const
    {
        TVector out;
        for (int32_t c = 0; c < 3; c++)
            out.V[c] = p.V[0] * M[0][c] + p.V[1] * M[1][c] + p.V[2] * M[2][c];
        return out;
    }
};

// Rotation about axis (0 x, 1 y, 2 z) by angle, taken as it is read (no change of units).
TMatrix AxisRotation(int32_t axis, double angle)
{
    const int32_t a = (axis + 1) % 3, b = (axis + 2) % 3;
    // Rx: (1,2) = -sin; Ry: (0,2) = -sin; Rz: (0,1) = -sin.
    const int32_t first = std::min(a, b), second = std::max(a, b);
    TMatrix matrix;
    matrix.M[first][first] = std::cos(angle);
    matrix.M[second][second] = std::cos(angle);
    matrix.M[first][second] = -std::sin(angle);
    matrix.M[second][first] = std::sin(angle);
    return matrix;
}

struct TJointFit
{
    TVector OldCentre, NewCentre, Scale, JointScale;
    TMatrix Rotation, Inverse;

    double MapAxis(int32_t axis, double value) const
    {
        return (value - OldCentre.V[axis]) * Scale.V[axis] + NewCentre.V[axis];
    }
    TVector MapPoint(const TVector& p) const
    {
        TVector out;
        for (int32_t axis = 0; axis < 3; axis++)
            out.V[axis] = MapAxis(axis, p.V[axis]);
        return out;
    }
    // A point on a twist axis: into the joint frame, scaled there, back, and offset.
    double MapTwist(int32_t axis, double value) const
    {
        TVector offset;
        offset.V[axis] = value - OldCentre.V[axis];
        TVector joint = Rotation.Rotate(offset);
        for (int32_t k = 0; k < 3; k++)
            joint.V[k] *= JointScale.V[k];
        return Inverse.Rotate(joint).V[axis] + NewCentre.V[axis];
    }
};

bool ReadPoint(const TZAVCR2TreeNode& node, TVector& out_point)
{
    float values[3];
    if (ParseFloatList(node.GetValue(), values, 3) != 3)
        return false;
    for (int32_t k = 0; k < 3; k++)
        out_point.V[k] = values[k];
    return true;
}

void RemapPointLine(TZAVCR2TreeNode& node, const TJointFit& fit, const char* format)
{
    TVector point;
    if (!ReadPoint(node, point))
        return;
    const TVector mapped = fit.MapPoint(point);
    node.SetValue(FormatText(format, mapped.V[0], mapped.V[1], mapped.V[2]).c_str());
}

int32_t AxisOfLetter(char letter)
{
    const char lower = LowerAscii(letter);
    return lower == 'x' ? 0 : lower == 'y' ? 1 : lower == 'z' ? 2 : -1;
}

void RemapScalarChild(TZAVCR2TreeNode& channel, const char* keyword, const std::function<double(double)>& map)
{
    TZAVCR2TreeNode* line = channel.FindChild(keyword, nullptr);
    float value = 0;
    if (line != nullptr && ParseFloatList(line->GetValue(), &value, 1) == 1)
        line->SetValue(FormatText("%.8f", map(value)).c_str());
}

// "center" lines anywhere below node, and the point rows of falloff matrices, follow the joint.
void RemapCentresBelow(TZAVCR2TreeNode& node, const TJointFit& fit)
{
    for (TZAVCR2TreeNode* child = node.FirstChild(); child != nullptr; child = child->Next()) {
        if (SameTextNoCase(child->GetKeyword(), "center"))
            RemapPointLine(*child, fit, "%.8f %.8f %.8f");
        else if (SameTextNoCase(child->GetKeyword(), "sphereMatsRaw"))
            for (TZAVCR2TreeNode* row = child->FirstChild(); row != nullptr; row = row->Next())
                RemapPointLine(*row, fit, "%.8f %.8f %.8f");
        else
            RemapCentresBelow(*child, fit);
    }
}

void RefitChannels(TZAVCR2TreeNode& channels, const TJointFit& fit)
{
    for (TZAVCR2TreeNode* channel = channels.FirstChild(); channel != nullptr; channel = channel->Next()) {
        const std::string_view keyword = channel->GetKeyword();
        if (keyword.size() == 7 && SameTextNoCase(keyword.substr(1), "Offset")) {
            const int32_t axis = AxisOfLetter(keyword[0]);
            if (axis >= 0)
                RemapScalarChild(*channel, "initValue", [&](double v) { return fit.MapAxis(axis, v); });
        } else if (keyword.size() == 6 && SameTextNoCase(keyword.substr(0, 5), "twist")) {
            const int32_t axis = AxisOfLetter(keyword[5]);
            if (axis >= 0) {
                RemapScalarChild(*channel, "startPt", [&](double v) { return fit.MapTwist(axis, v); });
                RemapScalarChild(*channel, "endPt", [&](double v) { return fit.MapTwist(axis, v); });
            }
        }
        RemapCentresBelow(*channel, fit);
    }
}

void RefitActor(TZAVCR2TreeNode& actor, const TZAVGroup2& group, const TTarnwick_Mesh& mesh)
{
    double new_min[3], new_max[3], old_min[3], old_max[3];
    for (int32_t k = 0; k < 3; k++) {
        new_min[k] = old_min[k] = HUGE_VAL;
        new_max[k] = old_max[k] = -HUGE_VAL;
    }
    const int32_t vertex_count = mesh.GetVertexCount();
    for (int32_t vertex : group.Vertices) {
        if (vertex < 0 || vertex >= vertex_count)
            continue;
        float shown[3];
        mesh.GetVertex(vertex, shown);
        for (int32_t k = 0; k < 3; k++) {
            const double base = mesh.Vertices[size_t(vertex) * 3 + size_t(k)];
            new_min[k] = std::min(new_min[k], double(shown[k]));
            new_max[k] = std::max(new_max[k], double(shown[k]));
            old_min[k] = std::min(old_min[k], base);
            old_max[k] = std::max(old_max[k], base);
        }
    }
    if (new_min[0] > new_max[0])
        return;
    TJointFit fit;
    for (int32_t k = 0; k < 3; k++) {
        const double old_extent = old_max[k] - old_min[k];
        fit.Scale.V[k] = old_extent > ExtentThreshold ? (new_max[k] - new_min[k]) / old_extent : 1.0;
        fit.OldCentre.V[k] = (old_min[k] + old_max[k]) * 0.5;
        fit.NewCentre.V[k] = (new_min[k] + new_max[k]) * 0.5;
    }
    TVector angles;
    if (const TZAVCR2TreeNode* orientation = actor.FindChild("orientation", nullptr);
        orientation != nullptr && ReadPoint(*orientation, angles)) {
        fit.Rotation =
            AxisRotation(0, angles.V[0]) * AxisRotation(1, angles.V[1]) * AxisRotation(2, angles.V[2]);
        fit.Inverse =
            AxisRotation(2, -angles.V[2]) * AxisRotation(1, -angles.V[1]) * AxisRotation(0, -angles.V[0]);
    }
    fit.JointScale = fit.Rotation.Rotate(fit.Scale);

    for (const char* keyword : {"origin", "endPoint", "center"})
        if (TZAVCR2TreeNode* line = actor.FindChild(keyword, nullptr))
            RemapPointLine(*line, fit, "%.6f %.6f %.6f");
    if (TZAVCR2TreeNode* channels = actor.FindChild("channels", nullptr))
        RefitChannels(*channels, fit);
}

// [SECTION] Injection files

void WriteInjectionGroup(FILE* file, const TZAVGroup2& group, const TExpandedMorph& deltas, const char* name,
                         bool remove)
{
    const int32_t moved = deltas.CountMoved(group);
    if (moved == 0)
        return;
    const std::string part = group.Name.substr(0, group.Name.find(':'));
    std::fprintf(file, "\t\tactor %s:1\n\t\t{\n\t\t\tchannels\n\t\t\t{\n\t\ttargetGeom %s\n\t\t\t{\n",
                 part.c_str(), name);
    if (remove) {
        std::fputs("\t\t\tname -\n\t\t\thidden 1\n\t\t\tindexes 0\n\t\t\tnumbDeltas 0\n", file);
    } else {
        std::fprintf(file, "\t\t\tname %s\n\t\t\thidden 0\n\t\t\tinterpStyleLocked 0\n", name);
        std::fprintf(file, "\t\t\tvalueOpDeltaAdd\n\t\t\t\t\t\t\t%s\n\t\t\t\t\t\t\t%s\n\t\t\t\t\t\t\t%s\n",
                     "Figure", "BODY:1", name);
        std::fprintf(file, "\t\t\tindexes %d\n\t\t\tdeltaAddDelta 1.000000\n\t\t\tnumbDeltas %d\n", moved,
                     group.GetVertexCount());
        std::fputs("\t\t\tdeltas\n\t\t\t\t{\n", file);
        for (int32_t i = 0; i < group.GetVertexCount(); i++) {
            const int32_t vertex = group.Vertices[size_t(i)];
            if (!deltas.Moves(vertex))
                continue;
            const float* d = deltas.Delta(vertex);
            std::fprintf(file, "\t\t\t\td %d %.8f %.8f %.8f\n", i, d[0], d[1], d[2]);
        }
        std::fputs("\t\t\t\t}\n", file);
    }
    std::fputs("\t\t\t}\n\t\t\t}\n\t\t}\n", file);
}

} // namespace

void ApplyCR2ExportKind(TTarnwick_Project& project, TTarnwick_CR2ExportKind kind)
{
    project.CR2AutoRig = kind == TTarnwick_CR2ExportKind::NewCharacter;
    project.CR2SaveNewOBJ = kind == TTarnwick_CR2ExportKind::NewCharacter;
    project.CR2SetupFullBodyMorphs = kind != TTarnwick_CR2ExportKind::SimpleMorphs;
}

std::string ToCR2Path(std::string_view path)
{
    for (size_t at = 0; at + 9 <= path.size(); at++) {
        if (!IsPathSeparator(path[at]) || !IsPathSeparator(path[at + 8]) ||
            !SameTextNoCase(path.substr(at + 1, 7), "Runtime"))
            continue;
        std::string converted(path.substr(at));
        for (char& c : converted)
            if (IsPathSeparator(c))
                c = ':';
        return converted;
    }
    return std::string(path);
}

void RefitCR2Joints(TZAVCR2TreeNode& root, const TTarnwick_Mesh& mesh)
{
    for (const TLinkedActor& linked : LinkActors(root, mesh)) {
        if (linked.Group == nullptr) {
            AddWarning("Cannot find a group to match the actor \"%s\" in this CR2 file",
                       linked.Actor->GetValue());
            continue;
        }
        if (linked.Actor->FindChild("origin", nullptr) != nullptr)
            RefitActor(*linked.Actor, *linked.Group, mesh);
    }
}

// [SECTION] ExportCR2

bool ExportCR2(TTarnwick_Project& project, const TTarnwick_CR2ExportFiles& files, std::string& out_error)
{
    TTarnwick_Object* object = project.CurrentObject;
    if (object == nullptr || !object->Mesh) {
        out_error = "Please select an object.";
        return false;
    }
    TTarnwick_Mesh& mesh = *object->Mesh;
    if (project.ExportMaps && !SaveMapsInto(mesh, FolderOf(files.Output), out_error))
        return false;

    std::unique_ptr<TZAVCR2TreeNode> root;
    if (!ParseCR2File(files.Source, TZAVCR2Merge::Flat, root, out_error))
        return false;

    if (project.CR2SaveNewOBJ) {
        std::string obj_path = files.NewOBJ;
        if (obj_path.empty()) {
            ShowMessage(GlobalDialogHost,
                        "Please choose a file name (and location) for the newly created OBJ file.");
            std::string folder = FolderOf(files.Output);
            if (!AskSaveFileName(GlobalDialogHost, obj_path, folder, "Object Files", "obj", nullptr, false)) {
                ShowMessage(GlobalDialogHost, "The CR2 export was aborted by the user");
                out_error = "The CR2 export was aborted by the user";
                return false;
            }
        }
        if (!WriteOBJ(mesh, obj_path, ObjWrite_Groups, out_error))
            return false;
        const std::string resource = ToCR2Path(obj_path);
        for (TZAVCR2TreeNode* line = root->FindChild("figureResFile", nullptr); line != nullptr;
             line = line->FindNext("figureResFile", nullptr))
            line->SetValue(resource.c_str());
    }
    if (project.ExportMorphs)
        // Without a "figure" node the morphs are skipped and the rest goes on.
        (void)WriteMorphTargets(*root, mesh, project.CR2SetupFullBodyMorphs);
    if (project.CR2AutoRig)
        RefitCR2Joints(*root, mesh);
    if (project.ExportMaps)
        UpdateMaterials(*root, mesh);

    if (!WriteCR2File(files.Output, *root, out_error))
        return false;
    return CopyBeside(files.Output, files.DataFolder, true, out_error);
}

bool WriteMorphInjectionFile(const std::string& path, TTarnwick_Mesh& mesh, TTarnwick_Morph& morph,
                             bool remove, const std::string& data_folder, std::string& out_error)
{
    const std::string name = morph.GetName();
    TZAVSafeFileWriter writer(path);
    FILE* file = writer.Open();
    if (file == nullptr) {
        out_error = "Cannot open the file " + path + ": " + writer.Error();
        return false;
    }
    std::fputs("{\n\tversion\n\t{\n\t\tnumber 4.01\n\t}\n\tactor BODY:1\n\t{\n\t\tchannels\n\t\t{\n", file);
    std::fprintf(file, "\t\t\tvalueParm %s\n\t\t\t{\n\t\t\tname %s\n", name.c_str(), name.c_str());
    std::fputs(remove ? "\t\t\thidden 1\n" : "\t\t\thidden 0\n", file);
    std::fputs("\t\t\tkeys\n\t\t\t{\n\t\t\t\tstatic 0\n\t\t\t\tk 0  1\n\t\t\t}\n\t\t\t}\n\t\t}\n\t}\n", file);
    {
        const TExpandedMorph deltas(morph);
        for (const TZAVGroup2* group : PolygonGroups(mesh))
            WriteInjectionGroup(file, *group, deltas, name.c_str(), remove);
    }
    std::fputs("}\n", file);
    if (!writer.Commit()) {
        out_error = writer.Error();
        return false;
    }
    return CopyBeside(path, data_folder, false, out_error);
}

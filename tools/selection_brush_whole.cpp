// The selection brushes of whole pieces (elements, groups, materials), of angles (sharp points,
// artifacts), of open vertices, and the layer brush.
//
// [SECTION] TTarnwick_SelectElementBrush
// [SECTION] Groups and materials
// [SECTION] Sharp points and artifacts
// [SECTION] TTarnwick_SelectOpenVerticesBrush
// [SECTION] TTarnwick_LayerBrush
#include "tools/selection_brush_whole.h"

#include <algorithm>
#include <cmath>

#include "core/dialogs.h"
#include "files/language.h"
#include "mesh/layer.h"

namespace {

constexpr uint32_t ExcludedVertex = VertexFlag_Hidden | VertexFlag_Locked;
// The scratch mark of a stroke: flooded by the element brush, reached by the layer brush.
constexpr uint32_t StrokeMark = VertexFlag_Scratch;
constexpr uint32_t ExcludedPolygon = PolygonFlag_Hidden | PolygonFlag_Locked;
// Flag bit 0x02, cleared by the brushes that act on whole pieces.
constexpr uint32_t WholePieceClearedFlag = 0x02;


} // namespace

// [SECTION] TTarnwick_SelectElementBrush

TTarnwick_SelectElementBrush::TTarnwick_SelectElementBrush()
{
    SetNameAndHelp(784, 785);
    NoFalloffPreview = true;
    Flags &= ~WholePieceClearedFlag;
}

bool TTarnwick_SelectElementBrush::MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button,
                                               int32_t state, float x, float y)
{
    if (state == ButtonState_Pressed && !MirroredRepeat) {
        for (int32_t polygon : mesh.VisiblePolygons)
            mesh.PolygonFlags[polygon] &= ~StrokeMark;
        for (int32_t vertex : mesh.VisibleVertices)
            mesh.VertexFlags[vertex] &= ~StrokeMark;
    }
    return TTarnwick_DefaultBrush::MouseButton(mesh, view, button, state, x, y);
}

bool TTarnwick_SelectElementBrush::PaintVertex(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t vertex,
                                               float x, float y, int32_t mode)
{
    float distance = 0;
    float falloff = 0;
    if (!Reach(mesh, view, vertex, x, y, TTarnwick_Reach::InsideOrOnEdge, distance, falloff))
        return false;
    if ((mode != MouseButton_Left && mode != MouseButton_Right) || (mesh.VertexFlags[vertex] & StrokeMark))
        return true;
    // The whole connected piece, not crossing what a layer hides or locks nor what is done.
    const float value = mode == MouseButton_Left ? 1.0f : -1.0f;
    Weights.SetRaw(mesh, vertex, value);
    mesh.VertexFlags[vertex] |= StrokeMark;
    Pending.assign(1, mesh.WeldedVertex(vertex));
    while (!Pending.empty()) {
        const int32_t reached = Pending.back();
        Pending.pop_back();
        for (int32_t polygon : mesh.GetVertexPolygons(reached)) {
            if (mesh.PolygonFlags[polygon] & (ExcludedPolygon | StrokeMark))
                continue;
            mesh.PolygonFlags[polygon] |= StrokeMark;
            if (TarnwickToolOptions.PartialRedraw)
                mesh.PolygonFlags[polygon] |= ToolPolygonFlag_Changed;
            for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1];
                 corner++) {
                const int32_t next = mesh.WeldedVertex(mesh.CornerVertex[corner]);
                if (mesh.VertexFlags[next] & (ExcludedVertex | StrokeMark))
                    continue;
                Weights.SetRaw(mesh, next, value);
                mesh.VertexFlags[next] |= StrokeMark;
                Pending.push_back(next);
            }
        }
    }
    return true;
}

// [SECTION] Groups and materials

TTarnwick_SelectItemBrush::TTarnwick_SelectItemBrush()
{
    NoFalloffPreview = true;
    Flags &= ~WholePieceClearedFlag;
}

void TTarnwick_SelectItemBrush::AddItemParameters(int32_t first_button, int32_t second_button,
                                                  int32_t first_help, int32_t second_help,
                                                  int32_t first_event, int32_t second_event)
{
    AddParameter(TTarnwick_ParameterType::DropDown, 152, -1)->ListCallback = AnswerList;
    AddParameter(TTarnwick_ParameterType::Button, first_button, first_help, first_event);
    AddParameter(TTarnwick_ParameterType::Button, second_button, second_help, second_event);
}

void TTarnwick_SelectItemBrush::AnswerList(TTarnwick_Tool& tool, TZAVEvent& event)
{
    auto& brush = static_cast<TTarnwick_SelectItemBrush&>(tool);
    const int32_t count = brush.ListedMesh == nullptr ? 0 : brush.ItemCount(*brush.ListedMesh);
    switch (static_cast<TTarnwick_ListRequest>(event.Mode)) {
    case TTarnwick_ListRequest::EntryCount:
        event.IntegerParameters[0] = count + 1;
        break;
    case TTarnwick_ListRequest::EntryText: {
        const int32_t item = event.GetIndex() - 1;
        event.AddStringParameter(
            item >= 0 && item < count ? brush.ItemName(*brush.ListedMesh, item) : "<None>", 0);
        break;
    }
    case TTarnwick_ListRequest::CurrentEntry:
        event.IntegerParameters[0] = brush.CurrentItem + 1;
        break;
    case TTarnwick_ListRequest::Chosen:
        brush.CurrentItem = std::clamp(event.GetIndex() - 1, -1, count - 1);
        break;
    }
}

void TTarnwick_SelectItemBrush::Selected(TTarnwick_Mesh* mesh)
{
    ListedMesh = mesh;
}

bool TTarnwick_SelectItemBrush::MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button,
                                            int32_t state, float x, float y)
{
    ListedMesh = &mesh;
    if (state == ButtonState_Pressed && !MirroredRepeat)
        Marked.assign(size_t(std::max(ItemCount(mesh), 0)), 0);
    const bool handled = TTarnwick_DefaultBrush::MouseButton(mesh, view, button, state, x, y);
    if (state != ButtonState_Pressed)
        Marked.clear();
    return handled;
}

bool TTarnwick_SelectItemBrush::PaintVertex(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t vertex,
                                            float x, float y, int32_t)
{
    float distance = 0;
    float falloff = 0;
    if (!Reach(mesh, view, vertex, x, y, TTarnwick_Reach::InsideOrOnEdge, distance, falloff))
        return false;
    for (int32_t polygon : mesh.GetVertexPolygons(mesh.WeldedVertex(vertex))) {
        const int32_t item = ItemOfPolygon(mesh, polygon);
        if (item >= 0 && item < int32_t(Marked.size()))
            Marked[size_t(item)] = 1;
    }
    return true;
}

void TTarnwick_SelectItemBrush::StrokeStep(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y)
{
    BeginStep(mesh, view);
    TarnwickToolOptions.SkippedVertices = 0;
    for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++)
        PaintVertex(mesh, view, vertex, x, y, Button);
    if (Button == MouseButton_Left || Button == MouseButton_Right)
        ApplyMarkedItems(mesh);
    EndStep(mesh, view);
    Redraw();
}

void TTarnwick_SelectItemBrush::ApplyMarkedItems(TTarnwick_Mesh& mesh)
{
    const float value = Button == MouseButton_Left ? 1.0f : ErasedWeight();
    for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++) {
        const int32_t item = ItemOfPolygon(mesh, polygon);
        if (item < 0 || item >= int32_t(Marked.size()) || !Marked[size_t(item)])
            continue;
        for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1]; corner++)
            Weights.SetRaw(mesh, mesh.CornerVertex[corner], value);
    }
}

TTarnwick_SelectGroupBrush::TTarnwick_SelectGroupBrush()
{
    SetNameAndHelp(122, 123);
    AddItemParameters(290, 292, 291, 293, 99, 100);
}

int32_t TTarnwick_SelectGroupBrush::ItemCount(const TTarnwick_Mesh& mesh) const
{
    return mesh.Groups2.Count();
}

int32_t TTarnwick_SelectGroupBrush::ItemOfPolygon(const TTarnwick_Mesh& mesh, int32_t polygon) const
{
    return mesh.PolygonGroup[polygon];
}

const char* TTarnwick_SelectGroupBrush::ItemName(const TTarnwick_Mesh& mesh, int32_t item) const
{
    TZAVGroup2* group = nullptr;
    return mesh.Groups2.Get(group, item) && group != nullptr ? group->GetName() : "";
}

TTarnwick_SelectMaterialBrush::TTarnwick_SelectMaterialBrush()
{
    SetNameAndHelp(126, 127);
    AddItemParameters(285, 287, 286, 288, 96, 97);
}

int32_t TTarnwick_SelectMaterialBrush::ItemCount(const TTarnwick_Mesh& mesh) const
{
    return mesh.Materials.Count();
}

int32_t TTarnwick_SelectMaterialBrush::ItemOfPolygon(const TTarnwick_Mesh& mesh, int32_t polygon) const
{
    return mesh.PolygonMaterial[polygon];
}

const char* TTarnwick_SelectMaterialBrush::ItemName(const TTarnwick_Mesh& mesh, int32_t item) const
{
    TZAVMaterial* material = nullptr;
    return mesh.Materials.Get(material, item) && material != nullptr ? material->GetName() : "";
}


// [SECTION] Sharp points and artifacts

TTarnwick_SelectSharpPointsBrush::TTarnwick_SelectSharpPointsBrush()
{
    SetNameAndHelp(108, 109);
    NoFalloffPreview = true;
}

float TTarnwick_SelectSharpPointsBrush::LargestAngle(const TTarnwick_Mesh& mesh,
                                                     std::span<const float> vertex_normals,
                                                     std::span<const float> polygon_normals, int32_t vertex)
{
    const int32_t standing = mesh.WeldedVertex(vertex);
    if (vertex_normals.size() < 3 * size_t(standing) + 3)
        return 0.0f;
    const float* normal = &vertex_normals[3 * size_t(standing)];
    float largest = 0;
    for (int32_t polygon : mesh.GetVertexPolygons(standing)) {
        if (polygon_normals.size() < 3 * size_t(polygon) + 3)
            continue;
        const float* face = &polygon_normals[3 * size_t(polygon)];
        const float cosine = normal[0] * face[0] + normal[1] * face[1] + normal[2] * face[2];
        if (std::fabs(cosine) < 1.0f)
            largest = std::max(largest, std::acos(cosine));
    }
    return largest;
}

float TTarnwick_SelectSharpPointsBrush::Sharpness(const TTarnwick_Mesh& mesh, int32_t vertex) const
{
    return LargestAngle(mesh, mesh.Normals, mesh.PolygonNormals, vertex);
}

bool TTarnwick_SelectSharpPointsBrush::PaintVertex(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view,
                                                   int32_t vertex, float x, float y, int32_t mode)
{
    float distance = 0;
    float falloff = 0;
    if (!Reach(mesh, view, vertex, x, y, TTarnwick_Reach::InsideOrOnEdge, distance, falloff))
        return false;
    if (mode != MouseButton_Left) {
        PaintWithFactor(mesh, vertex, falloff, mode);
        return true;
    }
    const float raw = Weights.Raw(mesh, vertex);
    const float weight =
        Strength * falloff * Sharpness(mesh, vertex) - (Weights.Combined(mesh, vertex) - raw);
    if (weight > raw)
        Weights.SetRaw(mesh, vertex, weight);
    return true;
}

TTarnwick_SelectArtifactsBrush::TTarnwick_SelectArtifactsBrush()
{
    SetNameAndHelp(675, 676);
}

void TTarnwick_SelectArtifactsBrush::Activate(TTarnwick_Mesh& mesh)
{
    TTarnwick_SelectSharpPointsBrush::Activate(mesh);
    // The normals of the base shape: the displayed positions stand aside meanwhile.
    std::vector<float> displayed = mesh.Vertices;
    mesh.DisplayedVertices.swap(displayed);
    mesh.ComputeNormals(TZAVNormalScope::All);
    BaseVertexNormals = mesh.Normals;
    BasePolygonNormals = mesh.PolygonNormals;
    mesh.DisplayedVertices.swap(displayed);
    mesh.ComputeNormals(TZAVNormalScope::All);
}

float TTarnwick_SelectArtifactsBrush::Sharpness(const TTarnwick_Mesh& mesh, int32_t vertex) const
{
    const float change = std::fabs(LargestAngle(mesh, mesh.Normals, mesh.PolygonNormals, vertex) -
                                   LargestAngle(mesh, BaseVertexNormals, BasePolygonNormals, vertex));
    return std::clamp(change, 0.0f, 1.0f);
}

// [SECTION] TTarnwick_SelectOpenVerticesBrush

TTarnwick_SelectOpenVerticesBrush::TTarnwick_SelectOpenVerticesBrush()
{
    SetNameAndHelp(116, 117);
    NoFalloffPreview = true;
    TTarnwick_Parameter* seams = AddParameter(TTarnwick_ParameterType::CheckBox, -1, -1);
    seams->SetNameLiteral("Select Open Texture Seams");
    seams->BoolValue = &TextureSeams;
}

namespace {

// Whether the polygons around the vertex give it two different texture vertices.
bool IsOnTextureSeam(const TTarnwick_Mesh& mesh, int32_t vertex)
{
    const int32_t standing = mesh.WeldedVertex(vertex);
    int32_t seen = -1;
    for (int32_t polygon : mesh.GetVertexPolygons(standing)) {
        for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1]; corner++) {
            if (mesh.WeldedVertex(mesh.CornerVertex[corner]) != standing)
                continue;
            const int32_t tex_vertex = mesh.CornerTexVertex[corner];
            if (tex_vertex < 0)
                continue;
            if (seen >= 0 && tex_vertex != seen)
                return true;
            seen = tex_vertex;
        }
    }
    return false;
}

} // namespace

bool TTarnwick_SelectOpenVerticesBrush::PaintVertex(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view,
                                                    int32_t vertex, float x, float y, int32_t mode)
{
    float distance = 0;
    float falloff = 0;
    if (!Reach(mesh, view, vertex, x, y, TTarnwick_Reach::InsideOrOnEdge, distance, falloff))
        return false;
    const bool affected =
        TextureSeams ? IsOnTextureSeam(mesh, vertex) : (mesh.VertexFlags[vertex] & VertexFlag_Open) != 0;
    if (!affected)
        return false;
    if (mode == MouseButton_Left)
        Weights.SetRaw(mesh, vertex, Strength);
    else if (mode == MouseButton_Right)
        Weights.SetRaw(mesh, vertex, -Strength);
    return true;
}

// [SECTION] TTarnwick_LayerBrush

TTarnwick_LayerBrush::TTarnwick_LayerBrush()
{
    SetNameLiteral("Layer Brush");
    NoFalloffPreview = true;
    Flags &= ~static_cast<uint32_t>(0x02 | 0x08 | 0x20 | 0x80);
    Flags |= ToolFlag_PaintAtRelease;
}

void TTarnwick_LayerBrush::BeginStep(TTarnwick_Mesh& mesh, TTarnwick_ToolView&)
{
    const bool press = ButtonState == ButtonState_Pressed && !Dragged;
    const int32_t layer = Layers == nullptr ? 0 : Layers->GetCurrentLayerIndex();
    Armed = false;
    if (LayerBit(layer) == 0) {
        if (press)
            ShowMessage(GlobalDialogHost, "%s", NoLayerMessage);
        return;
    }
    if (Layers->GetLayer(layer)->Locked) {
        if (press)
            ShowMessage(GlobalDialogHost, "%s", LockedLayerMessage);
        return;
    }
    for (int32_t vertex : mesh.VisibleVertices)
        mesh.VertexFlags[vertex] &= ~StrokeMark;
    Armed = true;
}

bool TTarnwick_LayerBrush::PaintVertex(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t vertex,
                                       float x, float y, int32_t)
{
    if (!Armed || view.ScreenDistance(vertex, x, y) > Radius || (mesh.VertexFlags[vertex] & ExcludedVertex) ||
        IsVertexExcluded(mesh, view, vertex, TTarnwick_Occlusion::Test))
        return false;
    mesh.VertexFlags[vertex] |= StrokeMark;
    return true;
}

void TTarnwick_LayerBrush::EndStep(TTarnwick_Mesh& mesh, TTarnwick_ToolView&)
{
    if (!Armed)
        return;
    const uint32_t bit = LayerBit(Layers->GetCurrentLayerIndex());
    for (int32_t polygon : mesh.VisiblePolygons) {
        bool marked = false;
        for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1] && !marked;
             corner++)
            marked = (mesh.VertexFlags[mesh.WeldedVertex(mesh.CornerVertex[corner])] & StrokeMark) != 0;
        if (!marked)
            continue;
        if (Button == MouseButton_Right)
            mesh.PolygonLayerFlags[polygon] &= ~bit;
        else
            mesh.PolygonLayerFlags[polygon] |= bit;
    }
    ApplyLayerLocksToMesh(*Layers, mesh, mesh.PolygonLayerFlags);
    ApplyLayerVisibilityToMesh(*Layers, mesh, mesh.PolygonLayerFlags);
    Layers->Redraw();
}

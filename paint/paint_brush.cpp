#include "paint/paint_brush.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <strings.h>
#include <numbers>
#include <unordered_map>

#include "core/status.h"
#include "core/timer.h"
#include "files/language.h"
#include "files/settings.h"
#include "mesh/sculpt_mesh.h"
#include "paint/brush_image.h"
#include "paint/material_map.h"

TTarnwick_PaintHooks TarnwickPaintHooks;

namespace {

// The dispatcher's commands that switch to the grabbers.
constexpr int32_t GrabTextureCommand = 39;
constexpr int32_t GrabColorCommand = 40;
constexpr uint32_t ExcludedPolygon = PolygonFlag_Hidden | PolygonFlag_Locked;

// Twice the signed area of the polygon on screen: positive when its corners run anticlockwise,
// which is how the front of an OBJ polygon shows.
float ScreenArea(const TTarnwick_Mesh& mesh, const TTarnwick_ToolView& view, int32_t polygon)
{
    const int32_t start = mesh.PolygonStart[polygon];
    const int32_t end = mesh.PolygonStart[polygon + 1];
    float area = 0;
    for (int32_t corner = start; corner < end; corner++) {
        const int32_t next = corner + 1 < end ? corner + 1 : start;
        const float* a = view.ScreenPosition(mesh.CornerVertex[corner]).data();
        const float* b = view.ScreenPosition(mesh.CornerVertex[next]).data();
        area += a[0] * b[1] - b[0] * a[1];
    }
    return area;
}

} // namespace

void TTarnwick_ViewRect4::Add(float min_x, float min_y, float max_x, float max_y)
{
    MinX = std::min(MinX, min_x);
    MinY = std::min(MinY, min_y);
    MaxX = std::max(MaxX, max_x);
    MaxY = std::max(MaxY, max_y);
}

float DabInnerOpacity(float hardness)
{
    return std::cos(2.0f * std::numbers::pi_v<float> * hardness) / 4.0f + 0.75f;
}

// [SECTION] TTarnwick_PaintBrush

TTarnwick_PaintBrush::TTarnwick_PaintBrush()
{
    SetNameLiteral("Paint Brush");
    Flags &= ~0x400u;
    DrawsCursor = true;
    NoFalloffPreview = true;
    for (TTarnwick_Parameter* parameter : Parameters)
        if (parameter->FloatValue == &Strength)
            parameter->Help = GetLanguageString(435);
    AddParameter(TTarnwick_ParameterType::Colour, 436, 437)->FloatValue = PrimaryColor;
    AddParameter(TTarnwick_ParameterType::Colour, 491, 492)->FloatValue = SecondaryColor;
    // The grabbers take their colour or texture for the brush that was current.
    AddParameter(TTarnwick_ParameterType::Button, -1, -1, GrabColorCommand)->SetNameLiteral("Grab Color");
    AddParameter(TTarnwick_ParameterType::Button, -1, -1, GrabTextureCommand)->SetNameLiteral("Grab Texture");
    TTarnwick_Parameter* image = AddCheckBox(TarnwickPaintHooks.UseBrushImage, -1, -1);
    image->SetNameLiteral("Brush Image");
    image->Help = "Stamps the dabs with the brush image (a grabbed texture)";
    TTarnwick_Parameter* channel = AddParameter(TTarnwick_ParameterType::DropDown, -1, -1);
    channel->SetNameLiteral("Paint Channel");
    channel->Help = "The material channel whose maps the brush paints";
    channel->ListCallback = AnswerChannelList;
}

void TTarnwick_PaintBrush::AnswerChannelList(TTarnwick_Tool&, TZAVEvent& event)
{
    const int32_t count = int32_t(std::size(PaintChannels));
    std::string& current = TarnwickPaintHooks.Channel;
    switch (static_cast<TTarnwick_ListRequest>(event.Mode)) {
    case TTarnwick_ListRequest::EntryCount:
        event.IntegerParameters[0] = count;
        break;
    case TTarnwick_ListRequest::EntryText:
        event.AddStringParameter(event.GetIndex() >= 0 && event.GetIndex() < count ? PaintChannels[event.GetIndex()] : "",
                                 0);
        break;
    case TTarnwick_ListRequest::CurrentEntry:
        event.IntegerParameters[0] = int32_t(
            std::find_if(std::begin(PaintChannels), std::end(PaintChannels),
                         [&](const char* name) { return strcasecmp(name, current.c_str()) == 0; }) -
            std::begin(PaintChannels));
        break;
    case TTarnwick_ListRequest::Chosen:
        if (event.GetIndex() >= 0 && event.GetIndex() < count)
            current = PaintChannels[event.GetIndex()];
        break;
    }
}

bool TTarnwick_PaintBrush::MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button,
                                       int32_t state, float x, float y)
{
    if (mesh.GetTexVertexCount() == 0) {
        if (state == ButtonState_Pressed)
            AddWarning("This object has not been UV mapped");
        return false;
    }
    if (!TTarnwick_Brush::MouseButton(mesh, view, button, state, x, y))
        return false;
    if (state == ButtonState_Pressed) {
        if (!MirroredRepeat) {
            DirtyRect = {};
            TouchedMaps.clear();
            UndoStroke.Clear();
            UndoStarted = false;
        }
        PaintStep(mesh, view, x, y, true);
        return true;
    }
    if (PaintOnRelease)
        PaintStep(mesh, view, x, y, true);
    // The stroke's record is complete; the next press starts another.
    if (TarnwickPaintHooks.UndoBuffer)
        if (TTarnwick_UndoBuffer* buffer = TarnwickPaintHooks.UndoBuffer())
            buffer->CurrentPaint = nullptr;
    UndoStarted = false;
    return true;
}

bool TTarnwick_PaintBrush::MouseDrag(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y)
{
    if (mesh.GetTexVertexCount() == 0 || Button < 0)
        return false;
    TTarnwick_Brush::MouseDrag(mesh, view, x, y);
    return PaintStep(mesh, view, x, y, false);
}

void TTarnwick_PaintBrush::DrawCursor(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y)
{
    TTarnwick_Tool::DrawCursor(mesh, view, x, y);
    if (Shape() == TTarnwick_DabShape::Square)
        DrawSquareOutline(mesh, view, x, y, Radius, VerticalRadius(view));
    else
        DrawRoundOutline(mesh, view, x, y, Radius, VerticalRadius(view));
}

const TTarnwick_TextureBrushImage* TTarnwick_PaintBrush::CurrentBrushImage() const
{
    if (!TarnwickPaintHooks.UseBrushImage || BrushImageIndex < 0 || !TarnwickPaintHooks.BrushImage)
        return nullptr;
    const TTarnwick_TextureBrushImage* image = TarnwickPaintHooks.BrushImage(BrushImageIndex);
    return image != nullptr && image->HasPixels() && image->Width > 0 && image->Height > 0 ? image : nullptr;
}

bool TTarnwick_PaintBrush::PaintStep(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y, bool first)
{
    // An image is stamped once per event, where the pointer is, not smeared along the path.
    first |= CurrentBrushImage() != nullptr;
    std::vector<TTarnwick_Dab> dabs;
    if (first) {
        RenderStroke(view, x, y, x, y, dabs);
    } else {
        RenderStroke(view, PreviousX, PreviousY, x, y, dabs);
        // The path's first dab lies where the previous event laid its last: laid twice, it would
        // leave a darker bead at every event of the stroke.
        if (dabs.size() > 1)
            dabs.erase(dabs.begin());
    }
    PreviousX = x;
    PreviousY = y;
    const bool painted = PaintDabs(mesh, view, dabs);
    FinishPaint(mesh);
    if (TarnwickPaintHooks.RandomBrushImage && TarnwickPaintHooks.BrushImageCount) {
        const int32_t count = TarnwickPaintHooks.BrushImageCount();
        if (count > 0)
            BrushImageIndex = int32_t(RandomImages() % uint32_t(count));
    }
    return painted;
}

void TTarnwick_PaintBrush::RenderStroke(const TTarnwick_ToolView& view, float from_x, float from_y, float to_x,
                                        float to_y, std::vector<TTarnwick_Dab>& out_dabs) const
{
    out_dabs.clear();
    if (Radius < 1e-30f)
        return;
    const float* color = Button == MouseButton_Right ? SecondaryColor : PrimaryColor;
    const float* other = Button == MouseButton_Right ? PrimaryColor : SecondaryColor;
    TTarnwick_Dab dab;
    dab.Shape = Shape();
    dab.SizeX = Radius;
    dab.SizeY = VerticalRadius(view);
    if (const TTarnwick_TextureBrushImage* image = CurrentBrushImage()) {
        dab.Image = image;
        dab.SizeY /= float(image->Width) / float(image->Height);
    }
    dab.Hardness = Hardness;
    dab.Strength = Strength;
    std::copy_n(color, 3, dab.Color);
    std::copy_n(TarnwickPaintHooks.Gradient ? other : color, 3, dab.OuterColor);
    // Round distance: vertical differences count by the aspect, as the brush circle does.
    const float dx = to_x - from_x;
    const float dy = (to_y - from_y) * view.Aspect();
    // Without spacing an event lays one dab, where the pointer is.
    const int32_t count =
        Spacing ? std::max(1, int32_t(std::ceil(2.0f * std::sqrt(dx * dx + dy * dy) / Radius))) : 1;
    out_dabs.reserve(size_t(count));
    for (int32_t i = 0; i < count; i++) {
        const float t = count == 1 ? 1.0f : float(i) / float(count - 1);
        dab.X = from_x + t * (to_x - from_x);
        dab.Y = from_y + t * (to_y - from_y);
        out_dabs.push_back(dab);
    }
}

void TTarnwick_PaintBrush::UpdateScreenGrid(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view)
{
    view.UpdateScreenPositions(mesh);
    float matrix[16];
    view.GetSceneToScreen(matrix);
    if (Grid.Mesh == &mesh && Grid.Revision == mesh.DisplayRevision && std::memcmp(matrix, Grid.Matrix, sizeof matrix) == 0 &&
        Grid.Boxes.size() == 4 * size_t(mesh.GetPolygonCount()))
        return;
    Grid.Mesh = &mesh;
    Grid.Revision = mesh.DisplayRevision;
    std::memcpy(Grid.Matrix, matrix, sizeof matrix);

    constexpr int32_t Cells = TScreenGrid::Cells;
    constexpr float CellSize = 2.0f / Cells;
    // Boxes wider than this many cells go to the large list rather than into every cell.
    constexpr int32_t MaxCellSpan = 4;
    const int32_t polygon_count = mesh.GetPolygonCount();
    Grid.Boxes.assign(4 * size_t(polygon_count), 0.0f);
    Grid.Large.clear();
    std::vector<int32_t> cell_range(4 * size_t(polygon_count), -1);
    Grid.CellStart.assign(Cells * Cells + 1, 0);
    auto cell_of = [](float value) { return std::clamp(int32_t((value + 1.0f) / CellSize), 0, Cells - 1); };
    for (int32_t polygon = 0; polygon < polygon_count; polygon++) {
        float box[4] = {1e30f, 1e30f, -1e30f, -1e30f};
        for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1]; corner++) {
            const float* screen = view.ScreenPosition(mesh.CornerVertex[corner]).data();
            box[0] = std::min(box[0], screen[0]);
            box[1] = std::min(box[1], screen[1]);
            box[2] = std::max(box[2], screen[0]);
            box[3] = std::max(box[3], screen[1]);
        }
        std::copy_n(box, 4, &Grid.Boxes[4 * size_t(polygon)]);
        // Off the view square: never under a dab.
        if (box[0] > 1.0f || box[1] > 1.0f || box[2] < -1.0f || box[3] < -1.0f)
            continue;
        int32_t* range = &cell_range[4 * size_t(polygon)];
        range[0] = cell_of(box[0]);
        range[1] = cell_of(box[1]);
        range[2] = cell_of(box[2]);
        range[3] = cell_of(box[3]);
        if (range[2] - range[0] >= MaxCellSpan || range[3] - range[1] >= MaxCellSpan) {
            Grid.Large.push_back(polygon);
            range[0] = -1;
            continue;
        }
        for (int32_t cy = range[1]; cy <= range[3]; cy++)
            for (int32_t cx = range[0]; cx <= range[2]; cx++)
                Grid.CellStart[cy * Cells + cx + 1]++;
    }
    for (int32_t cell = 0; cell < Cells * Cells; cell++)
        Grid.CellStart[cell + 1] += Grid.CellStart[cell];
    Grid.CellPolygons.resize(size_t(Grid.CellStart.back()));
    std::vector<int32_t> fill(Grid.CellStart.begin(), Grid.CellStart.end() - 1);
    for (int32_t polygon = 0; polygon < polygon_count; polygon++) {
        const int32_t* range = &cell_range[4 * size_t(polygon)];
        if (range[0] < 0)
            continue;
        for (int32_t cy = range[1]; cy <= range[3]; cy++)
            for (int32_t cx = range[0]; cx <= range[2]; cx++)
                Grid.CellPolygons[size_t(fill[cy * Cells + cx]++)] = polygon;
    }
}

void TTarnwick_PaintBrush::FindPolygons(const TTarnwick_ViewRect4& rect, std::vector<int32_t>& out_polygons)
{
    out_polygons.clear();
    constexpr int32_t Cells = TScreenGrid::Cells;
    constexpr float CellSize = 2.0f / Cells;
    auto cell_of = [](float value) { return std::clamp(int32_t((value + 1.0f) / CellSize), 0, Cells - 1); };
    PolygonSeen.resize(Grid.Boxes.size() / 4, 0);
    auto consider = [&](int32_t polygon) {
        if (PolygonSeen[size_t(polygon)])
            return;
        const float* box = &Grid.Boxes[4 * size_t(polygon)];
        if (!rect.Overlaps(box[0], box[1], box[2], box[3]))
            return;
        PolygonSeen[size_t(polygon)] = 1;
        out_polygons.push_back(polygon);
    };
    for (int32_t cy = cell_of(rect.MinY); cy <= cell_of(rect.MaxY); cy++)
        for (int32_t cx = cell_of(rect.MinX); cx <= cell_of(rect.MaxX); cx++)
            for (int32_t i = Grid.CellStart[cy * Cells + cx]; i < Grid.CellStart[cy * Cells + cx + 1]; i++)
                consider(Grid.CellPolygons[size_t(i)]);
    for (int32_t polygon : Grid.Large)
        consider(polygon);
    for (int32_t polygon : out_polygons)
        PolygonSeen[size_t(polygon)] = 0;
}

TZAVMaterialMap* TTarnwick_PaintBrush::MapOf(TTarnwick_Mesh& mesh, int32_t polygon)
{
    const int32_t material = mesh.PolygonMaterial.empty() ? 0 : mesh.PolygonMaterial[size_t(polygon)];
    if (material < 0 || size_t(material) >= MaterialMap.size())
        return nullptr;
    int32_t& index = MaterialMap[size_t(material)];
    if (index == -2) {
        TZAVMaterial* entry = nullptr;
        const TZAVMaterialChannel* channel =
            mesh.Materials.Get(entry, material) && entry != nullptr ? entry->FindChannel(TarnwickPaintHooks.Channel)
                                                                    : nullptr;
        index = channel != nullptr ? channel->TextureIndex : -1;
    }
    return index >= 0 ? MaterialMapAt(mesh, index) : nullptr;
}

bool TTarnwick_PaintBrush::PaintDabs(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view,
                                     std::span<const TTarnwick_Dab> dabs)
{
    LastTimes = {};
    TTarnwick_PaintCanvas* canvas = TarnwickPaintHooks.Canvas;
    if (canvas == nullptr || dabs.empty())
        return false;
    const double start = Seconds();
    TTarnwick_ViewRect4 rect;
    for (const TTarnwick_Dab& dab : dabs)
        rect.Add(dab.X - dab.SizeX, dab.Y - dab.SizeY, dab.X + dab.SizeX, dab.Y + dab.SizeY);
    DirtyRect = rect;
    if (!rect.Overlaps(-1, -1, 1, 1))
        return false;

    UpdateScreenGrid(mesh, view);
    std::vector<int32_t> polygons;
    FindPolygons(rect, polygons);
    const bool back_faces = GetVisibility() == TTarnwick_Visibility::Ignored ||
                            (TarnwickPaintHooks.PaintOnBackFaces && TarnwickPaintHooks.PaintOnBackFaces());
    MaterialMap.assign(size_t(mesh.Materials.Count()), -2);
    // Polygons grouped by map, in the order the maps were met.
    std::vector<std::pair<TZAVMaterialMap*, std::vector<int32_t>>> by_map;
    for (int32_t polygon : polygons) {
        if (mesh.PolygonFlags[size_t(polygon)] & ExcludedPolygon)
            continue;
        if (!back_faces && ScreenArea(mesh, view, polygon) <= 0.0f)
            continue;
        TZAVMaterialMap* map = MapOf(mesh, polygon);
        if (map == nullptr || !map->HasPixels())
            continue;
        auto found = std::find_if(by_map.begin(), by_map.end(), [&](const auto& entry) { return entry.first == map; });
        if (found == by_map.end()) {
            by_map.push_back({map, {}});
            found = by_map.end() - 1;
        }
        found->second.push_back(polygon);
    }
    if (by_map.empty())
        return false;
    LastTimes.Projection = Seconds() - start;

    if (!canvas->BeginDabs(rect, view.Width, view.Height))
        return false;
    for (const TTarnwick_Dab& dab : dabs)
        canvas->DrawDab(dab);
    canvas->EndDabs();
    bool painted = false;
    bool upload = false;
    for (auto& [map, map_polygons] : by_map) {
        if (!PaintMap(mesh, view, *map, map_polygons, rect))
            continue;
        painted = true;
        // The seam fix updated the textures of resident maps; the others go up whole.
        if (map->TextureId == 0 && !map->OutOfMemory) {
            map->UploadPending = 1;
            upload = true;
        }
    }
    if (upload && TarnwickPaintHooks.UploadMaps)
        TarnwickPaintHooks.UploadMaps();
    if (painted && TarnwickPaintHooks.Redraw)
        TarnwickPaintHooks.Redraw();
    return painted;
}

bool TTarnwick_PaintBrush::PaintMap(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, TZAVMaterialMap& map,
                                    std::span<const int32_t> polygons, const TTarnwick_ViewRect4& rect)
{
    const double start = Seconds();
    if (map.Root == nullptr)
        map.BuildQuadTree(mesh);
    // Each polygon goes to every leaf its texture box, widened by the seam padding, reaches.
    std::unordered_map<TTarnwick_PolyQuadTreeNode*, std::vector<TTarnwick_PaintCorner>> leaves;
    VertexOpacity.resize(size_t(mesh.GetVertexCount()), -1.0f);
    TTarnwick_Selection* selection = TarnwickPaintHooks.ThroughSelection ? mesh.CurrentSelection : nullptr;
    auto opacity_of = [&](int32_t vertex) {
        float& opacity = VertexOpacity[size_t(vertex)];
        if (opacity < 0.0f) {
            opacity = IsVertexExcluded(mesh, view, vertex, TTarnwick_Occlusion::Test)
                          ? 0.0f
                          : (selection != nullptr ? std::clamp(selection->GetVSelect(vertex), 0.0f, 1.0f) : 1.0f);
            OpacityTouched.push_back(vertex);
        }
        return opacity;
    };
    const float span_x = std::max(rect.MaxX - rect.MinX, 1e-12f);
    const float span_y = std::max(rect.MaxY - rect.MinY, 1e-12f);
    // The seam fix after painting pads islands by the bleed width: the leaves it writes into must
    // be saved for undo (and uploaded) with those that are painted.
    if (TarnwickSettings != nullptr)
        map.SetBleedWidth(TarnwickSettings->PaintBleedWidth);
    const float reach = float(map.GetBleedWidth() + 1);
    const float pad_u = reach / float(map.Width);
    const float pad_v = reach / float(map.Height);
    std::vector<TTarnwick_PolyQuadTreeNode*> stack;
    std::vector<TTarnwick_PaintCorner> corners;
    for (int32_t polygon : polygons) {
        const int32_t start_corner = mesh.PolygonStart[polygon];
        const int32_t count = mesh.PolygonStart[polygon + 1] - start_corner;
        if (count < 3)
            continue;
        corners.clear();
        bool any_opaque = false;
        float umin = 1e30f, vmin = 1e30f, umax = -1e30f, vmax = -1e30f;
        for (int32_t k = 0; k < count; k++) {
            const int32_t vertex = mesh.CornerVertex[start_corner + k];
            const int32_t tex = mesh.CornerTexVertex[start_corner + k];
            if (tex < 0 || tex >= mesh.GetTexVertexCount())
                break;
            const float* screen = view.ScreenPosition(vertex).data();
            const float u = mesh.TexVertices[2 * size_t(tex)];
            const float v = mesh.TexVertices[2 * size_t(tex) + 1];
            const float opacity = opacity_of(vertex);
            any_opaque |= opacity > 0.0f;
            corners.push_back({u, v, (screen[0] - rect.MinX) / span_x, (screen[1] - rect.MinY) / span_y, opacity});
            umin = std::min(umin, u);
            umax = std::max(umax, u);
            vmin = std::min(vmin, v);
            vmax = std::max(vmax, v);
        }
        if (int32_t(corners.size()) != count || !any_opaque)
            continue;
        umin -= pad_u, vmin -= pad_v, umax += pad_u, vmax += pad_v;
        stack.assign(1, map.Root);
        while (!stack.empty()) {
            TTarnwick_PolyQuadTreeNode* node = stack.back();
            stack.pop_back();
            if (umax < node->U0 || umin > node->U1 || vmax < node->V0 || vmin > node->V1)
                continue;
            if (!node->IsLeaf()) {
                stack.insert(stack.end(), node->Children, node->Children + 4);
                continue;
            }
            std::vector<TTarnwick_PaintCorner>& fan = leaves[node];
            for (int32_t k = 1; k + 1 < count; k++)
                fan.insert(fan.end(), {corners[0], corners[size_t(k)], corners[size_t(k) + 1]});
        }
    }
    for (int32_t vertex : OpacityTouched)
        VertexOpacity[size_t(vertex)] = -1.0f;
    OpacityTouched.clear();
    if (leaves.empty())
        return false;

    std::vector<TTarnwick_PolyQuadTreeNode*> nodes;
    for (auto& entry : leaves)
        nodes.push_back(entry.first);
    if (TarnwickPaintHooks.UndoBuffer) {
        if (TTarnwick_UndoBuffer* buffer = TarnwickPaintHooks.UndoBuffer(); buffer != nullptr) {
            if (!UndoStarted) {
                UndoStarted = true;
                if (TTarnwick_UndoNodePtr record = buffer->CreateUndoNode(UndoType_Paint, -1))
                    buffer->AddUndoNode(std::move(record));
            }
            buffer->SaveUndoBlocks(nodes, UndoStroke, map);
        }
    }
    LastTimes.Projection += Seconds() - start;
    const double drawing = Seconds();
    bool painted = false;
    for (auto& [node, fan] : leaves) {
        if (node->PixelWidth <= 0 || node->PixelHeight <= 0)
            continue;
        if (TarnwickPaintHooks.Canvas->PaintNode(
                map, {node->PixelX, node->PixelY, node->PixelWidth, node->PixelHeight}, fan)) {
            node->Dirty = 1;
            painted = true;
        }
    }
    LastTimes.Drawing += Seconds() - drawing;
    if (!painted)
        return false;
    const double seams = Seconds();
    map.FixSeams(mesh);
    map.Painted = 1;
    LastTimes.Seams += Seconds() - seams;
    if (std::find(TouchedMaps.begin(), TouchedMaps.end(), map.ID) == TouchedMaps.end())
        TouchedMaps.push_back(map.ID);
    return true;
}

// [SECTION] Round and square brushes

TTarnwick_RoundBrush::TTarnwick_RoundBrush()
{
    SetNameLiteral("Round Brush");
}

TTarnwick_SquareBrush::TTarnwick_SquareBrush()
{
    SetNameLiteral("Square Brush");
}

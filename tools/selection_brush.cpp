// The selection brushes of the round falloff: the working weights of a stroke, the stroke's
// press, drag and release, and the per-vertex rules of the default, soften, harden, fractal and
// bitmap brushes.
//
// [SECTION] Working weights
// [SECTION] TTarnwick_SelectionBrush
// [SECTION] TTarnwick_DefaultBrush
// [SECTION] Soften, harden, fractal
// [SECTION] TTarnwick_BitmapBrush
#include "tools/selection_brush.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/dialogs.h"
#include "core/two_halves.h"
#include "core/event_queue.h"
#include "core/status.h"
#include "files/language.h"

namespace {

constexpr uint32_t ExcludedVertex = VertexFlag_Hidden | VertexFlag_Locked;

// The harden brush lets weights at or below this fall and raises the others.
constexpr float HardenThreshold = 0.1f;
// The fractal brush's noise at full strength and falloff.
constexpr float FractalNoise = 0.05f;
// Below this many candidates a second thread for the falloffs costs more than it saves.
constexpr size_t ParallelFalloffs = 20000;


} // namespace

// [SECTION] Working weights

TTarnwick_SelectionBrushHooks TarnwickSelectionBrushHooks;
TTarnwick_WorkingWeights TTarnwick_SelectionBrush::Weights;

void TTarnwick_WorkingWeights::Begin(TTarnwick_Mesh& mesh)
{
    if (IsActive())
        Commit();
    Mesh = &mesh;
    Selection = mesh.CurrentSelection;
    const int32_t vertex_count = mesh.GetVertexCount();
    const float* stored = Selection->vselect();
    if (stored != nullptr && Selection->vcount >= vertex_count) {
        Weights.assign(stored, stored + vertex_count);
    } else {
        Weights.resize(size_t(vertex_count));
        for (int32_t vertex = 0; vertex < vertex_count; vertex++)
            Weights[size_t(vertex)] = Selection->GetVSelect(vertex);
    }
    if (IsChanged.size() != size_t(vertex_count))
        IsChanged.assign(size_t(vertex_count), 0);
}

void TTarnwick_WorkingWeights::Save(int32_t vertex)
{
    if (IsChanged[size_t(vertex)])
        return;
    IsChanged[size_t(vertex)] = 1;
    Changed.push_back(vertex);
    OldWeights.push_back(Selection->GetVSelect(vertex));
}

bool TTarnwick_WorkingWeights::IsPendingOn(const TTarnwick_Mesh& mesh) const
{
    return IsActive() && Mesh == &mesh && Selection == mesh.CurrentSelection;
}

float TTarnwick_WorkingWeights::Combined(const TTarnwick_Mesh& mesh, int32_t vertex) const
{
    return std::clamp(Raw(mesh, vertex), 0.0f, 1.0f);
}

void TTarnwick_WorkingWeights::SetRaw(const TTarnwick_Mesh& mesh, int32_t vertex, float weight)
{
    const int32_t standing = mesh.WeldedVertex(vertex);
    Weights[size_t(standing)] = weight;
    Save(standing);
    Selection->SetVSelect(standing, std::clamp(weight, 0.0f, 1.0f));
    Mesh->SelectionDisplayStale = true;
}

void TTarnwick_WorkingWeights::Commit()
{
    if (!IsActive())
        return;
    const int32_t vertex_count = std::min(Mesh->GetVertexCount(), int32_t(Weights.size()));
    if (Mesh->Welded) {
        for (int32_t vertex = 0; vertex < vertex_count; vertex++) {
            const int32_t standing = Mesh->WeldedVertex(vertex);
            if (standing != vertex && IsChanged[size_t(standing)]) {
                Save(vertex);
                Selection->SetVSelect(vertex, std::clamp(Weights[size_t(standing)], 0.0f, 1.0f));
            }
        }
    }
    if (!Changed.empty() && TarnwickSelectionBrushHooks.RecordUndo)
        TarnwickSelectionBrushHooks.RecordUndo(*Mesh, Changed, OldWeights);
    Mesh->SelectionDisplayStale = true;
    Forget();
}

void TTarnwick_WorkingWeights::Forget()
{
    for (int32_t vertex : Changed)
        IsChanged[size_t(vertex)] = 0;
    Changed.clear();
    OldWeights.clear();
    Mesh = nullptr;
    Selection = nullptr;
    Weights.clear();
}

// [SECTION] TTarnwick_SelectionBrush

TTarnwick_SelectionBrush::TTarnwick_SelectionBrush()
{
    DrawsCursor = true;
}

void TTarnwick_SelectionBrush::Redraw()
{
    if (TarnwickSelectionBrushHooks.Redraw)
        TarnwickSelectionBrushHooks.Redraw();
}

bool TTarnwick_SelectionBrush::MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button,
                                           int32_t state, float x, float y)
{
    if (state != ButtonState_Pressed) {
        TTarnwick_Brush::MouseButton(mesh, view, button, state, x, y);
        if (!StrokeActive)
            return false;
        StrokeActive = false;
        if (TarnwickSelectionBrushHooks.ResetPartialRedraw)
            TarnwickSelectionBrushHooks.ResetPartialRedraw();
        Redraw();
        return true;
    }
    if (MirroredRepeat)
        return StrokeActive && TTarnwick_Brush::MouseButton(mesh, view, button, state, x, y);
    StrokeActive = false;
    if (PaintsWeights()) {
        // A stroke whose release never came is written before anything else.
        if (Weights.IsPendingOn(mesh))
            Weights.Commit();
        else
            Weights.Forget();
        if (mesh.CurrentSelection == nullptr) {
            ShowMessage(GlobalDialogHost, "%s", NoSelectionMessage);
            PostCommand(ChooseSelectionCommand);
            return false;
        }
        if (!mesh.CheckSelectionWritable(TarnwickToolOptions.NoticeFlags))
            return false;
    }
    if (!TTarnwick_Brush::MouseButton(mesh, view, button, state, x, y))
        return false;
    if (TarnwickToolOptions.PartialRedraw) {
        for (int32_t polygon : mesh.VisiblePolygons)
            mesh.PolygonFlags[polygon] &= ~static_cast<uint32_t>(ToolPolygonFlag_Changed);
        if (TarnwickSelectionBrushHooks.PreparePartialRedraw)
            TarnwickSelectionBrushHooks.PreparePartialRedraw();
    }
    if (PaintsWeights())
        Weights.Begin(mesh);
    StrokeActive = true;
    return true;
}

bool TTarnwick_SelectionBrush::MouseDrag(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y)
{
    if (!StrokeActive || !TTarnwick_Brush::MouseDrag(mesh, view, x, y))
        return false;
    if (TarnwickToolOptions.PartialRedraw) {
        if (TarnwickSelectionBrushHooks.PreparePartialRedraw)
            TarnwickSelectionBrushHooks.PreparePartialRedraw();
    } else {
        Redraw();
    }
    return true;
}

void TTarnwick_SelectionBrush::Activate(TTarnwick_Mesh& mesh)
{
    if (PaintsWeights() && mesh.CurrentSelection != nullptr && !mesh.CurrentSelection->ReadOnly)
        mesh.SelectionDisplayStale = true;
}

void TTarnwick_SelectionBrush::Deselected(TTarnwick_Mesh* mesh)
{
    if (mesh != nullptr && Weights.IsPendingOn(*mesh))
        Weights.Commit();
    StrokeActive = false;
}

// [SECTION] TTarnwick_DefaultBrush

TTarnwick_DefaultBrush::TTarnwick_DefaultBrush()
{
    SetNameAndHelp(106, 107);
}

bool TTarnwick_DefaultBrush::MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button,
                                         int32_t state, float x, float y)
{
    if (state == ButtonState_Pressed) {
        if (!TTarnwick_SelectionBrush::MouseButton(mesh, view, button, state, x, y))
            return false;
        StrokeStep(mesh, view, x, y);
        return true;
    }
    if (StrokeActive && (Flags & ToolFlag_PaintAtRelease)) {
        Button = button;
        ButtonState = state;
        StrokeStep(mesh, view, x, y);
    }
    const bool was_active = StrokeActive;
    if (!TTarnwick_SelectionBrush::MouseButton(mesh, view, button, state, x, y))
        return false;
    if (was_active && PaintsWeights())
        Weights.Commit();
    return true;
}

bool TTarnwick_DefaultBrush::MouseDrag(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y)
{
    if (!TTarnwick_SelectionBrush::MouseDrag(mesh, view, x, y))
        return false;
    StrokeStep(mesh, view, x, y);
    if (!TarnwickToolOptions.PartialRedraw)
        Redraw();
    return true;
}

void TTarnwick_DefaultBrush::StrokeStep(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y)
{
    BeginStep(mesh, view);
    TarnwickToolOptions.SkippedVertices = 0;
    FindCandidateVertices(mesh, view, x, y, Candidates);
    TakeFalloffs(view, x, y);
    for (size_t i = 0; i < Candidates.size(); i++) {
        CandidateIndex = static_cast<int32_t>(i);
        if (PaintVertex(mesh, view, Candidates[i], x, y, Button) && TarnwickToolOptions.PartialRedraw)
            MarkChangedPolygons(mesh, Candidates[i]);
    }
    CandidateIndex = -1;
    EndStep(mesh, view);
}

void TTarnwick_DefaultBrush::TakeFalloffs(const TTarnwick_ToolView& view, float x, float y)
{
    // The falloff's cosine and power are most of a dab's work and need nothing but the distance,
    // so the candidates' are worked out up front, half of them on a second thread.
    const size_t count = Candidates.size();
    CandidateDistances.resize(count);
    CandidateFalloffs.resize(count);
    RunInTwoHalves(count, ParallelFalloffs, [&](size_t first, size_t end) {
        for (size_t i = first; i < end; i++) {
            const float distance = view.ScreenDistance(Candidates[i], x, y);
            CandidateDistances[i] = distance;
            CandidateFalloffs[i] = distance <= Radius ? BrushFalloff(distance, Radius, Hardness) : 0.0f;
        }
    });
}

bool TTarnwick_DefaultBrush::IsUnderBrush(const TTarnwick_Mesh&, const TTarnwick_ToolView& view, float x,
                                          float y, std::span<const float> screen)
{
    const float dx = screen[0] - x;
    const float dy = (screen[1] - y) * view.Aspect();
    return std::sqrt(dx * dx + dy * dy) < Radius;
}

bool TTarnwick_DefaultBrush::Reach(const TTarnwick_Mesh& mesh, const TTarnwick_ToolView& view, int32_t vertex,
                                   float x, float y, TTarnwick_Reach reach, float& out_distance,
                                   float& out_falloff)
{
    if (mesh.VertexFlags[vertex] & VertexFlag_Hidden)
        return false;
    const bool cached = CandidateIndex >= 0 && Candidates[size_t(CandidateIndex)] == vertex;
    out_distance = cached ? CandidateDistances[size_t(CandidateIndex)] : view.ScreenDistance(vertex, x, y);
    const bool under = reach == TTarnwick_Reach::Inside
                           ? IsUnderBrush(mesh, view, x, y, view.ScreenPosition(vertex))
                           : out_distance <= Radius;
    if (!under || (mesh.VertexFlags[vertex] & VertexFlag_Locked) ||
        IsVertexExcluded(mesh, view, vertex, TTarnwick_Occlusion::Test))
        return false;
    out_falloff = cached ? CandidateFalloffs[size_t(CandidateIndex)] : BrushFalloff(out_distance, Radius, Hardness);
    if (TarnwickToolOptions.FacingAttenuation && mesh.Normals.size() >= 3 * size_t(vertex) + 3) {
        float view_direction[3];
        view.GetViewDirection(view_direction);
        out_falloff *= ViewAttenuation(&mesh.Normals[3 * size_t(vertex)], view_direction);
    }
    return true;
}

void TTarnwick_DefaultBrush::PaintWithFactor(TTarnwick_Mesh& mesh, int32_t vertex, float falloff,
                                             int32_t mode)
{
    const float raw = Weights.Raw(mesh, vertex);
    const float amount = Strength * falloff;
    if (mode == MouseButton_Left) {
        // Raises weights towards Strength · falloff, and levels those above Strength down to it.
        const float kept = std::min(raw, Strength);
        Weights.SetRaw(mesh, vertex, amount > kept ? amount : kept);
    } else if (mode == MouseButton_Right) {
        Weights.SetRaw(mesh, vertex, raw - amount);
    }
}

bool TTarnwick_DefaultBrush::PaintVertex(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t vertex,
                                         float x, float y, int32_t mode)
{
    float distance = 0;
    float falloff = 0;
    if (!Reach(mesh, view, vertex, x, y, TTarnwick_Reach::Inside, distance, falloff))
        return false;
    PaintWithFactor(mesh, vertex, falloff, mode);
    if (TarnwickToolOptions.EdgeSmoothing)
        SmoothEdge(mesh, vertex, distance);
    return true;
}

void TTarnwick_DefaultBrush::SmoothEdge(TTarnwick_Mesh& mesh, int32_t vertex, float distance)
{
    if (Radius < 1e-30f || Hardness > 1.0f || Hardness == 1.0f)
        return;
    const float t = (distance / Radius - Hardness) / (1.0f - Hardness);
    if (t > 1e-30f)
        Relax(mesh, vertex, std::sin(t * std::numbers::pi_v<float>));
}

void TTarnwick_DefaultBrush::Relax(TTarnwick_Mesh& mesh, int32_t vertex, float factor)
{
    // The vertex counts once; a neighbour counts once for each polygon it shares with it.
    const int32_t standing = mesh.WeldedVertex(vertex);
    float sum = 0;
    int32_t count = 0;
    if (!(mesh.VertexFlags[vertex] & ExcludedVertex)) {
        sum += Weights.Combined(mesh, vertex);
        count++;
    }
    for (int32_t polygon : mesh.GetVertexPolygons(standing)) {
        for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1]; corner++) {
            const int32_t neighbour = mesh.WeldedVertex(mesh.CornerVertex[corner]);
            if (neighbour == standing || (mesh.VertexFlags[neighbour] & ExcludedVertex))
                continue;
            sum += Weights.Combined(mesh, neighbour);
            count++;
        }
    }
    if (count == 0)
        return;
    const float mean = sum / float(count);
    Weights.SetRaw(mesh, vertex,
                   Weights.Raw(mesh, vertex) + (mean - Weights.Combined(mesh, vertex)) * factor);
}

float TTarnwick_DefaultBrush::MeanCombinedAround(const TTarnwick_Mesh& mesh, int32_t vertex)
{
    // Every corner of every polygon at the vertex, the vertex itself at each of its corners.
    float sum = 0;
    int32_t count = 0;
    for (int32_t polygon : mesh.GetVertexPolygons(mesh.WeldedVertex(vertex))) {
        for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1]; corner++) {
            sum += Weights.Combined(mesh, mesh.CornerVertex[corner]);
            count++;
        }
    }
    return count == 0 ? Weights.Combined(mesh, vertex) : sum / float(count);
}

void TTarnwick_DefaultBrush::BeginStep(TTarnwick_Mesh&, TTarnwick_ToolView&) {}

void TTarnwick_DefaultBrush::EndStep(TTarnwick_Mesh&, TTarnwick_ToolView&)
{
    if (TarnwickToolOptions.SkippedVertices != 0 && !TarnwickToolOptions.LocalSurfaceMessageShown) {
        TarnwickToolOptions.LocalSurfaceMessageShown = true;
        AddStatus("%s", NotLocalMessage);
    }
}

void TTarnwick_DefaultBrush::DrawCursor(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y)
{
    TTarnwick_SelectionBrush::DrawCursor(mesh, view, x, y);
    const float vertical = VerticalRadius(view);
    if (!NoFalloffPreview) {
        // Three bands whose edges show the falloff at their radius as opacity.
        glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_LIGHTING_BIT);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glShadeModel(GL_SMOOTH);
        glBegin(GL_QUADS);
        for (int32_t band = 0; band < 3; band++) {
            const float inner = float(band) / 3.0f;
            const float outer = float(band + 1) / 3.0f;
            const float inner_alpha = BrushFalloff(inner * Radius, Radius, Hardness);
            const float outer_alpha = BrushFalloff(outer * Radius, Radius, Hardness);
            const float shade = PlainPreview ? 1.0f : 0.5f;
            for (int32_t step = 0; step < 36; step++) {
                const float a0 = float(step) * 10.0f * std::numbers::pi_v<float> / 180.0f;
                const float a1 = float(step + 1) * 10.0f * std::numbers::pi_v<float> / 180.0f;
                const float corners[4][3] = {{a0, inner, inner_alpha},
                                             {a1, inner, inner_alpha},
                                             {a1, outer, outer_alpha},
                                             {a0, outer, outer_alpha}};
                for (const auto& corner : corners) {
                    glColor4f(shade, PlainPreview ? 1.0f : shade * corner[2], shade, corner[2]);
                    glVertex2f(x + std::cos(corner[0]) * corner[1] * Radius,
                               y + std::sin(corner[0]) * corner[1] * vertical);
                }
            }
        }
        glEnd();
        glPopAttrib();
    }
    DrawRoundOutline(mesh, view, x, y, Radius, vertical);
}

// [SECTION] Soften, harden, fractal

TTarnwick_SoftenBrush::TTarnwick_SoftenBrush()
{
    SetNameAndHelp(114, 115);
    PlainPreview = true;
}

bool TTarnwick_SoftenBrush::PaintVertex(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t vertex,
                                        float x, float y, int32_t mode)
{
    float distance = 0;
    float falloff = 0;
    if (!Reach(mesh, view, vertex, x, y, TTarnwick_Reach::InsideOrOnEdge, distance, falloff))
        return false;
    if (mode == MouseButton_Left)
        Relax(mesh, vertex, Strength * falloff);
    else
        PaintWithFactor(mesh, vertex, falloff, mode);
    return true;
}

TTarnwick_HardenBrush::TTarnwick_HardenBrush()
{
    SetNameAndHelp(677, 678);
    PlainPreview = true;
}

bool TTarnwick_HardenBrush::PaintVertex(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t vertex,
                                        float x, float y, int32_t mode)
{
    float distance = 0;
    float falloff = 0;
    if (!Reach(mesh, view, vertex, x, y, TTarnwick_Reach::InsideOrOnEdge, distance, falloff))
        return false;
    if (mode != MouseButton_Left) {
        PaintWithFactor(mesh, vertex, falloff, mode);
        return true;
    }
    // Weights at or below the threshold fall towards 0, the others rise towards 1.
    const float amount = Strength * falloff;
    const float weight = Weights.Combined(mesh, vertex);
    const float kept = (1.0f - amount) * weight;
    Weights.SetRaw(mesh, vertex, weight <= HardenThreshold ? kept : kept + amount);
    return true;
}

TTarnwick_FractalBrush::TTarnwick_FractalBrush()
{
    SetNameAndHelp(274, 275);
    PlainPreview = true;
}

bool TTarnwick_FractalBrush::PaintVertex(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t vertex,
                                         float x, float y, int32_t mode)
{
    float distance = 0;
    float falloff = 0;
    if (!Reach(mesh, view, vertex, x, y, TTarnwick_Reach::InsideOrOnEdge, distance, falloff))
        return false;
    if (mode == MouseButton_Left) {
        const float noise = Strength * falloff * FractalNoise;
        const float mean = MeanCombinedAround(mesh, vertex) + (Random() & 1 ? noise : -noise);
        // The raw weight keeps its distance from the combined one.
        Weights.SetRaw(mesh, vertex, mean - (Weights.Combined(mesh, vertex) - Weights.Raw(mesh, vertex)));
    } else {
        PaintWithFactor(mesh, vertex, falloff, mode);
    }
    if (TarnwickToolOptions.EdgeSmoothing)
        SmoothEdge(mesh, vertex, distance);
    return true;
}

// [SECTION] TTarnwick_BitmapBrush

TTarnwick_GreyImageLoader TTarnwick_BitmapBrush::Loader;

TTarnwick_BitmapBrush::TTarnwick_BitmapBrush()
{
    SetNameAndHelp(128, 129);
    AddParameter(TTarnwick_ParameterType::Button, 474, 475);
}

bool TTarnwick_BitmapBrush::LoadImage(const std::string& path)
{
    if (!ReadImage(path))
        return false;
    PostCommand(ToolChangedCommand);
    return true;
}

bool TTarnwick_BitmapBrush::ReadImage(const std::string& path)
{
    TTarnwick_GreyImage image;
    std::string problem = "no image loader";
    if (!Loader || !Loader(path, image, problem) || image.Width <= 0 || image.Height <= 0 ||
        image.Pixels.size() != size_t(image.Width) * size_t(image.Height)) {
        ShowMessage(GlobalDialogHost, "Cannot load the image file...\n\n%s", path.c_str());
        return false;
    }
    Image = std::move(image);
    ImageFileName = path;
    return true;
}

void TTarnwick_BitmapBrush::GetImageExtent(const TTarnwick_ToolView& view, float& out_half_width,
                                           float& out_half_height) const
{
    float fx = 1.0f;
    float fy = 1.0f;
    if (Image.Width > Image.Height)
        fy = float(Image.Height) / float(Image.Width);
    else if (Image.Height > 0)
        fx = float(Image.Width) / float(Image.Height);
    out_half_width = fx * Radius;
    out_half_height = fy * Radius / view.Aspect();
}

float TTarnwick_BitmapBrush::SampleImage(const TTarnwick_ToolView& view, float px, float py, float x,
                                         float y) const
{
    if (Image.Width <= 0 || Image.Height <= 0)
        return 0.0f;
    float hx = 0;
    float hy = 0;
    GetImageExtent(view, hx, hy);
    if (!(hx > 0) || !(hy > 0))
        return 0.0f;
    float u = (px - x + hx) / (2 * hx) * float(Image.Width);
    float v = (py - y + hy) / (2 * hy) * float(Image.Height);
    if (!(u >= 0 && u < float(Image.Width) && v >= 0 && v < float(Image.Height)))
        return 0.0f;
    if (FlipHorizontal)
        u = float(Image.Width) - 1 - u;
    if (FlipVertical)
        v = float(Image.Height) - 1 - v;
    const int32_t column = std::clamp(int32_t(u), 0, Image.Width - 1);
    const int32_t row = std::clamp(int32_t(v), 0, Image.Height - 1);
    return float(Image.Pixels[size_t(row) * size_t(Image.Width) + size_t(column)]) / 255.0f;
}

bool TTarnwick_BitmapBrush::PaintVertex(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t vertex,
                                        float x, float y, int32_t mode)
{
    // Without an image nothing lies under the brush: a stroke must not level or smooth the weights.
    if (Image.Pixels.empty() || (mesh.VertexFlags[vertex] & ExcludedVertex))
        return false;
    if (view.ScreenDistance(vertex, x, y) > std::numbers::sqrt2_v<float> * Radius ||
        IsVertexExcluded(mesh, view, vertex, TTarnwick_Occlusion::Test))
        return false;
    std::span<const float> screen = view.ScreenPosition(vertex);
    const float value = SampleImage(view, screen[0], screen[1], x, y);
    PaintWithFactor(mesh, vertex, value, mode);
    if (TarnwickToolOptions.EdgeSmoothing)
        Relax(mesh, vertex, 1.0f - value);
    return true;
}

void TTarnwick_BitmapBrush::DrawCursor(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y)
{
    TTarnwick_SelectionBrush::DrawCursor(mesh, view, x, y);
    float hx = 0;
    float hy = 0;
    GetImageExtent(view, hx, hy);
    DrawSquareOutline(mesh, view, x, y, hx, hy);
}

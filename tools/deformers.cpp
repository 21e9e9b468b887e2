// The deformer kinds that move each vertex on its own: move in plane, rotate, pinch, scale, bulge,
// flatten and unmorph. Each turns the movement since the press into its stroke values, shows them
// in the status line, and lets DeformSelected apply DeformVertex to the selection. The values are
// in the view's normalised space; dx and dy are the movement since the press.
#include "tools/deformer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/status.h"
#include "files/language.h"
#include "mesh/sculpt_mesh.h"

namespace {

constexpr float NoValue[3] = {0, 0, 0};

// The two check boxes of the screen-plane kinds.
void AddAxisCheckBoxes(TTarnwick_Tool& tool, bool& horizontal, bool& vertical)
{
    tool.AddCheckBox(horizontal, 77, 78);
    tool.AddCheckBox(vertical, 79, 80);
}

// Undoes the mirroring of PressValues on a result.
void UnmirrorResult(float displacement[3], bool mirrored, int32_t mirror_axis)
{
    if (mirrored)
        displacement[mirror_axis] = -displacement[mirror_axis];
}

} // namespace

// [SECTION] Move in plane

TTarnwick_MoveInPlane::TTarnwick_MoveInPlane()
{
    SetNameAndHelp(73, 74);
    Flags |= 0x800;
    AddAxisCheckBoxes(*this, AllowHorizontal, AllowVertical);
}

void TTarnwick_MoveInPlane::ComputeStep(TTarnwick_Mesh& mesh, float dx, float dy)
{
    float screen[3] = {dx * View.Scale, dy * View.Scale * View.Aspect, 0};
    if (!AllowHorizontal)
        screen[0] = 0;
    if (!AllowVertical)
        screen[1] = 0;
    AddStatus("Displacment = {%.4f, %.4f}", double(screen[0]), double(screen[1]));
    float movement[3];
    View.RotateToScene(screen, movement);
    DeformSelected(mesh, movement, NoValue, NoValue);
}

void TTarnwick_MoveInPlane::DeformVertex(TTarnwick_Mesh& mesh, int32_t vertex, const float a[3], float weight,
                                         const float*, const float*, float out_displacement[3],
                                         int32_t mirror_axis)
{
    for (int32_t k = 0; k < 3; k++)
        out_displacement[k] = weight * a[k];
    // The position plays no part in a move, but the mirrored side moves the mirrored way.
    float p[3];
    float normal[3];
    UnmirrorResult(out_displacement, PressValues(mesh, vertex, mirror_axis, p, normal), mirror_axis);
}

// [SECTION] Rotate

TTarnwick_Rotate::TTarnwick_Rotate()
{
    SetNameAndHelp(104, 105);
}

void TTarnwick_Rotate::ComputeStep(TTarnwick_Mesh& mesh, float, float dy)
{
    // Half a degree per pixel of vertical movement.
    const float angle[3] = {View.Height / 4.0f * dy, 0, 0};
    AddStatus("Angle = %.1f", double(angle[0]));
    const float press[3] = {View.Scale * PressX, View.Scale * PressY * View.Aspect, 0};
    float pivot[3];
    View.RotateToScene(press, pivot);
    for (int32_t k = 0; k < 3; k++)
        pivot[k] += View.CameraTarget[k];
    DeformSelected(mesh, pivot, View.ViewDirection, angle);
}

void TTarnwick_Rotate::DeformVertex(TTarnwick_Mesh& mesh, int32_t vertex, const float a[3], float weight,
                                    const float b[3], const float c[3], float out_displacement[3],
                                    int32_t mirror_axis)
{
    float p[3];
    float normal[3];
    const bool mirrored = PressValues(mesh, vertex, mirror_axis, p, normal);
    const double angle = double(c[0]) * std::clamp(double(weight), 0.0, 1.0) * std::numbers::pi / 180.0;
    const double cosine = std::cos(angle);
    const double sine = std::sin(angle);
    // Rodrigues: v cos + (axis × v) sin + axis (axis · v)(1 − cos), about the pivot.
    const double v[3] = {double(p[0]) - a[0], double(p[1]) - a[1], double(p[2]) - a[2]};
    const double cross[3] = {b[1] * v[2] - b[2] * v[1], b[2] * v[0] - b[0] * v[2], b[0] * v[1] - b[1] * v[0]};
    const double along = b[0] * v[0] + b[1] * v[1] + b[2] * v[2];
    for (int32_t k = 0; k < 3; k++) {
        const double rotated = v[k] * cosine + cross[k] * sine + b[k] * along * (1.0 - cosine);
        out_displacement[k] = float(rotated - v[k]);
    }
    UnmirrorResult(out_displacement, mirrored, mirror_axis);
}

// [SECTION] Pinch

TTarnwick_Pinch::TTarnwick_Pinch()
{
    SetNameAndHelp(75, 76);
    AddAxisCheckBoxes(*this, AllowHorizontal, AllowVertical);
}

void TTarnwick_Pinch::ComputeStep(TTarnwick_Mesh& mesh, float dx, float)
{
    const float scale = dx * View.Scale;
    AddStatus("Scale = {%.4f, %.4f}", double(AllowHorizontal ? scale : 1.0f),
              double(AllowVertical ? scale : 1.0f));
    const float values[3] = {scale, 0, 0};
    DeformSelected(mesh, values, NoValue, NoValue);
}

void TTarnwick_Pinch::DeformVertex(TTarnwick_Mesh& mesh, int32_t vertex, const float a[3], float weight,
                                   const float*, const float*, float out_displacement[3], int32_t mirror_axis)
{
    float p[3];
    float normal[3];
    const bool mirrored = PressValues(mesh, vertex, mirror_axis, p, normal);
    float screen[3];
    View.ProjectPoint(p, screen);
    const float offset[3] = {AllowHorizontal ? screen[0] - PressX : 0.0f,
                             AllowVertical ? (screen[1] - PressY) * View.Aspect : 0.0f, 0.0f};
    float movement[3];
    View.RotateToScene(offset, movement);
    for (int32_t k = 0; k < 3; k++)
        out_displacement[k] = movement[k] * (weight * a[0]);
    UnmirrorResult(out_displacement, mirrored, mirror_axis);
}

// [SECTION] Scale

TTarnwick_Scale::TTarnwick_Scale()
{
    SetNameAndHelp(81, 82);
}

void TTarnwick_Scale::ComputeStep(TTarnwick_Mesh& mesh, float dx, float)
{
    const float scale = dx;
    AddStatus("Scale = {%.4f, %.4f, %.4f}", double(scale), double(scale), double(scale));
    // The weighted centre of the whole selection, whatever its flags.
    double sum[3] = {0, 0, 0};
    double total = 0;
    for (size_t i = 0; i < SelectedVertices.size(); i++) {
        const float* p = PressPosition(mesh, SelectedVertices[i]);
        for (int32_t k = 0; k < 3; k++)
            sum[k] += double(SelectedWeights[i]) * p[k];
        total += SelectedWeights[i];
    }
    float centre[3] = {0, 0, 0};
    if (total > 1e-30)
        for (int32_t k = 0; k < 3; k++)
            centre[k] = float(sum[k] / total);
    float centre_screen[3];
    View.ProjectPoint(centre, centre_screen);
    const float press[3] = {PressX, PressY, centre_screen[2]};
    float pivot[3];
    View.UnprojectPoint(press, pivot);
    float factor[3] = {scale + 1.0f, 0, 0};
    if (factor[0] < 1e-30f)
        factor[0] = 0;
    DeformSelected(mesh, pivot, factor, NoValue);
}

void TTarnwick_Scale::DeformVertex(TTarnwick_Mesh& mesh, int32_t vertex, const float a[3], float weight,
                                   const float b[3], const float*, float out_displacement[3],
                                   int32_t mirror_axis)
{
    float p[3];
    float normal[3];
    const bool mirrored = PressValues(mesh, vertex, mirror_axis, p, normal);
    for (int32_t k = 0; k < 3; k++) {
        const float scaled = (p[k] - a[k]) * b[0] + a[k];
        out_displacement[k] = (scaled - p[k]) * weight;
    }
    UnmirrorResult(out_displacement, mirrored, mirror_axis);
}

// [SECTION] Bulge

TTarnwick_Bulge::TTarnwick_Bulge()
{
    SetNameAndHelp(71, 72);
}

void TTarnwick_Bulge::ComputeStep(TTarnwick_Mesh& mesh, float dx, float)
{
    const float strength[3] = {dx * View.Scale, 0, 0};
    AddStatus("Strength = %.4f", double(strength[0]));
    DeformSelected(mesh, strength, NoValue, NoValue);
}

void TTarnwick_Bulge::DeformVertex(TTarnwick_Mesh& mesh, int32_t vertex, const float a[3], float weight,
                                   const float*, const float*, float out_displacement[3], int32_t mirror_axis)
{
    float p[3];
    float normal[3];
    const bool mirrored = PressValues(mesh, vertex, mirror_axis, p, normal);
    for (int32_t k = 0; k < 3; k++)
        out_displacement[k] = normal[k] * (a[0] * weight);
    UnmirrorResult(out_displacement, mirrored, mirror_axis);
}

// [SECTION] Flatten

TTarnwick_Flatten::TTarnwick_Flatten()
{
    SetNameAndHelp(673, 674);
}

void TTarnwick_Flatten::GetPlane(TTarnwick_Mesh& mesh, float out_centre[3], float out_normal[3],
                                 int32_t mirror_axis)
{
    double centre[3] = {0, 0, 0};
    double normal[3] = {0, 0, 0};
    double total = 0;
    for (size_t i = 0; i < SelectedVertices.size(); i++) {
        const int32_t vertex = SelectedVertices[i];
        if (IsExcluded(mesh, vertex))
            continue;
        float p[3];
        float n[3];
        PressValues(mesh, vertex, mirror_axis, p, n);
        const double weight = SelectedWeights[i];
        for (int32_t k = 0; k < 3; k++) {
            centre[k] += weight * p[k];
            normal[k] += weight * n[k];
        }
        total += weight;
    }
    std::fill_n(out_centre, 3, 0.0f);
    std::fill_n(out_normal, 3, 0.0f);
    if (!(total > 0))
        return;
    const double length = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
    for (int32_t k = 0; k < 3; k++) {
        out_centre[k] = float(centre[k] / total);
        out_normal[k] = float(length > 1e-30 ? normal[k] / length : normal[k]);
    }
}

void TTarnwick_Flatten::ComputeStep(TTarnwick_Mesh& mesh, float dx, float)
{
    float centre[3];
    float normal[3];
    GetPlane(mesh, centre, normal, -1);
    const float strength[3] = {std::clamp(dx, 0.0f, 1.0f), 0, 0};
    AddStatus("Strength = %.4f", double(strength[0]));
    DeformSelected(mesh, centre, normal, strength);
}

void TTarnwick_Flatten::DeformVertex(TTarnwick_Mesh& mesh, int32_t vertex, const float a[3], float weight,
                                     const float b[3], const float c[3], float out_displacement[3],
                                     int32_t mirror_axis)
{
    float p[3];
    float normal[3];
    const bool mirrored = PressValues(mesh, vertex, mirror_axis, p, normal);
    const float height = b[0] * (a[0] - p[0]) + b[1] * (a[1] - p[1]) + b[2] * (a[2] - p[2]);
    for (int32_t k = 0; k < 3; k++)
        out_displacement[k] = b[k] * (c[0] * height * weight);
    UnmirrorResult(out_displacement, mirrored, mirror_axis);
}

// [SECTION] Unmorph

TTarnwick_Unmorph::TTarnwick_Unmorph()
{
    SetNameAndHelp(427, 428);
}

void TTarnwick_Unmorph::ComputeStep(TTarnwick_Mesh& mesh, float dx, float)
{
    // Dragging left does nothing.
    const float share[3] = {std::max(dx, 0.0f), 0, 0};
    AddStatus("Strength = %.4f", double(share[0]));
    DeformSelected(mesh, share, NoValue, NoValue);
}

void TTarnwick_Unmorph::DeformVertex(TTarnwick_Mesh& mesh, int32_t vertex, const float a[3], float weight,
                                     const float*, const float*, float out_displacement[3], int32_t)
{
    std::fill_n(out_displacement, 3, 0.0f);
    TTarnwick_Morph* morph = mesh.CurrentMorph;
    if (morph == nullptr || vertex >= morph->vcount)
        return;
    const float factor = std::max(-a[0] * weight, -1.0f);
    const float* delta = morph->GetVertex(vertex);
    for (int32_t k = 0; k < 3; k++)
        out_displacement[k] = factor * delta[k];
}

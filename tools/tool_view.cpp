// Screen positions of a mesh's vertices in one view, and the facing-away marks.
#include "tools/tool_view.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "mesh/sculpt_mesh.h"

namespace {

// Where a vertex behind the eye lands: outside every brush and every view.
constexpr float OffScreen = 1e6f;

// m (column by column) times the column vector v.
void Transform(const float m[16], const float v[4], float out[4])
{
    for (int32_t i = 0; i < 4; i++)
        out[i] = m[i] * v[0] + m[4 + i] * v[1] + m[8 + i] * v[2] + m[12 + i] * v[3];
}

void Cross(const float a[3], const float b[3], float out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

const float Identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

} // namespace

TTarnwick_ToolView::TTarnwick_ToolView()
{
    std::copy_n(Identity, 16, ModelView);
    std::copy_n(Identity, 16, Projection);
}

void TTarnwick_ToolView::SetCamera(const float model_view[16], const float projection[16], int32_t width,
                                   int32_t height, bool perspective)
{
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (std::memcmp(model_view, ModelView, sizeof ModelView) == 0 &&
        std::memcmp(projection, Projection, sizeof Projection) == 0 && width == Width && height == Height &&
        perspective == Perspective)
        return;
    std::copy_n(model_view, 16, ModelView);
    std::copy_n(projection, 16, Projection);
    Width = width;
    Height = height;
    Perspective = perspective;
    Stale = true;
}

bool TTarnwick_ToolView::ProjectPoint(const float point[3], float out_screen[3]) const
{
    const float scene[4] = {point[0], point[1], point[2], 1.0f};
    float eye[4];
    float clip[4];
    Transform(ModelView, scene, eye);
    Transform(Projection, eye, clip);
    if (!(clip[3] > 1e-30f)) {
        std::fill_n(out_screen, 3, OffScreen);
        return false;
    }
    for (int32_t k = 0; k < 3; k++)
        out_screen[k] = clip[k] / clip[3];
    return true;
}

void TTarnwick_ToolView::GetSceneToScreen(float out_matrix[16]) const
{
    for (int32_t column = 0; column < 4; column++)
        for (int32_t row = 0; row < 4; row++) {
            float sum = 0;
            for (int32_t k = 0; k < 4; k++)
                sum += Projection[k * 4 + row] * ModelView[column * 4 + k];
            out_matrix[column * 4 + row] = sum;
        }
}

void TTarnwick_ToolView::GetViewDirection(float out_direction[3]) const
{
    // The eye looks down its -Z axis; that axis in the scene is the third row of the rotation.
    const float direction[3] = {-ModelView[2], -ModelView[6], -ModelView[10]};
    const float length =
        std::sqrt(direction[0] * direction[0] + direction[1] * direction[1] + direction[2] * direction[2]);
    for (int32_t k = 0; k < 3; k++)
        out_direction[k] = length > 1e-30f ? direction[k] / length : (k == 2 ? -1.0f : 0.0f);
}

void TTarnwick_ToolView::GetEyePosition(float out_position[3]) const
{
    // Solve rotation * eye + translation = 0 through the adjugate of the rotation.
    const float rows[3][3] = {{ModelView[0], ModelView[4], ModelView[8]},
                              {ModelView[1], ModelView[5], ModelView[9]},
                              {ModelView[2], ModelView[6], ModelView[10]}};
    const float translation[3] = {ModelView[12], ModelView[13], ModelView[14]};
    float columns[3][3];
    Cross(rows[1], rows[2], columns[0]);
    Cross(rows[2], rows[0], columns[1]);
    Cross(rows[0], rows[1], columns[2]);
    const float determinant =
        rows[0][0] * columns[0][0] + rows[0][1] * columns[0][1] + rows[0][2] * columns[0][2];
    for (int32_t k = 0; k < 3; k++) {
        const float sum =
            columns[0][k] * translation[0] + columns[1][k] * translation[1] + columns[2][k] * translation[2];
        out_position[k] = std::fabs(determinant) > 1e-30f ? -sum / determinant : 0.0f;
    }
}

namespace {

// Calls visit(vertex) for the listed vertices, or for every vertex of the mesh without a list.
template <typename TVisit> void ForEachVertex(const TTarnwick_Mesh& mesh, const std::span<const int32_t>* list,
                                              TVisit visit)
{
    if (list != nullptr) {
        for (int32_t vertex : *list)
            visit(static_cast<size_t>(vertex));
        return;
    }
    const size_t count = static_cast<size_t>(mesh.GetVertexCount());
    for (size_t vertex = 0; vertex < count; vertex++)
        visit(vertex);
}

} // namespace

void TTarnwick_ToolView::ProjectVertices(const TTarnwick_Mesh& mesh, const std::span<const int32_t>* list)
{
    // One matrix, then four dot products per vertex.
    float m[16];
    GetSceneToScreen(m);
    const float* positions = mesh.DisplayedVertices.data();
    float* screen = Screen.data();
    ForEachVertex(mesh, list, [&](size_t vertex) {
        const float* p = positions + 3 * vertex;
        float* out = screen + 3 * vertex;
        const float w = m[3] * p[0] + m[7] * p[1] + m[11] * p[2] + m[15];
        const bool ahead = w > 1e-30f;
        const float inverse = ahead ? 1.0f / w : 0.0f;
        for (int32_t k = 0; k < 3; k++)
            out[k] = ahead ? (m[k] * p[0] + m[4 + k] * p[1] + m[8 + k] * p[2] + m[12 + k]) * inverse : OffScreen;
    });
}

void TTarnwick_ToolView::MarkFacing(TTarnwick_Mesh& mesh, const std::span<const int32_t>* list) const
{
    float direction[3];
    float eye[3];
    GetViewDirection(direction);
    GetEyePosition(eye);
    const size_t with_normals = mesh.Normals.size() / 3;
    const float* positions = mesh.DisplayedVertices.data();
    const float* normals = mesh.Normals.data();
    uint32_t* flags = mesh.VertexFlags.data();
    ForEachVertex(mesh, list, [&](size_t vertex) {
        flags[vertex] &= ~static_cast<uint32_t>(ToolVertexFlag_FacingAway);
        if (vertex >= with_normals)
            return;
        const float* normal = normals + 3 * vertex;
        const float* position = positions + 3 * vertex;
        float facing = 0;
        for (int32_t k = 0; k < 3; k++)
            facing += normal[k] * (Perspective ? position[k] - eye[k] : direction[k]);
        if (facing > 0)
            flags[vertex] |= ToolVertexFlag_FacingAway;
    });
}

void TTarnwick_ToolView::UpdateScreenPositions(TTarnwick_Mesh& mesh)
{
    const size_t vertex_count = static_cast<size_t>(mesh.GetVertexCount());
    const bool same_view = !Stale && ProjectedMesh == &mesh && Screen.size() == 3 * vertex_count;
    const bool own_marks = mesh.FacingMarksView == this;
    if (same_view && ProjectedRevision == mesh.DisplayRevision && own_marks)
        return;
    if (same_view && ProjectedRevision >= mesh.DisplayJournalStart()) {
        // Only what changed since this view's last projection.
        const std::span<const int32_t> changed = mesh.DisplayJournal();
        ProjectVertices(mesh, &changed);
        MarkFacing(mesh, own_marks ? &changed : nullptr);
    } else {
        Screen.resize(3 * vertex_count);
        ProjectVertices(mesh, nullptr);
        MarkFacing(mesh, nullptr);
    }
    // The marks are shared by the views of the mesh; the last view to write them owns them.
    mesh.FacingMarksView = this;
    ProjectedMesh = &mesh;
    ProjectedRevision = mesh.DisplayRevision;
    Stale = false;
}

float TTarnwick_ToolView::ScreenDistance(int32_t vertex, float x, float y) const
{
    std::span<const float> screen = ScreenPosition(vertex);
    const float dx = screen[0] - x;
    const float dy = (screen[1] - y) * Aspect();
    return std::sqrt(dx * dx + dy * dy);
}

// View navigation: rotation, roll, pan and zoom from pointer drags, the standard orientations, the
// fit to an object, and the matrices that the view panel loads.
#include "app/viewport_camera.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "files/project.h"
#include "mesh/poly_mesh.h"
#include "widgets/node.h"

namespace {

// Radians of turn per unit of normalised pointer movement: half the view width turns 10/pi.
constexpr float TurnPerUnit = 10.0f / std::numbers::pi_v<float>;
constexpr float ZoomPerUnit = 2.0f / std::numbers::pi_v<float> / 4.0f;
constexpr float TinyScale = 1e-30f;

struct TStandardView
{
    TTarnwick_StandardView View;
    TTarnwick_StandardViewInfo Info;
    int32_t Axis;
    float Rows[9];
};

// The perspective command keeps the rotation; it has no button of its own in the bar.
constexpr TStandardView StandardViews[] = {
    {TTarnwick_StandardView::Front,
     {"FrontView", "Setting the viewport to \"front\""},
     2,
     {1, 0, 0, 0, 1, 0, 0, 0, 1}},
    {TTarnwick_StandardView::Back,
     {"BackView", "Setting the viewport to \"back\""},
     2,
     {-1, 0, 0, 0, 1, 0, 0, 0, -1}},
    {TTarnwick_StandardView::Right,
     {"RightView", "Setting the viewport to \"left\""},
     0,
     {0, 0, -1, 0, 1, 0, 1, 0, 0}},
    {TTarnwick_StandardView::Left,
     {"LeftView", "Setting the viewport to \"right\""},
     0,
     {0, 0, 1, 0, 1, 0, -1, 0, 0}},
    {TTarnwick_StandardView::Top,
     {"TopView", "Setting the viewport to \"top\""},
     1,
     {1, 0, 0, 0, 0, 1, 0, -1, 0}},
    {TTarnwick_StandardView::Bottom,
     {"BottomView", "Setting the viewport to \"bottom\""},
     1,
     {1, 0, 0, 0, 0, -1, 0, 1, 0}},
    {TTarnwick_StandardView::Perspective, {nullptr, "Setting the viewport to \"perspective\""}, 1, {}},
};

const TStandardView* FindStandardView(TTarnwick_StandardView view)
{
    for (const TStandardView& entry : StandardViews) {
        if (entry.View == view)
            return &entry;
    }
    return nullptr;
}

void SetIdentity(float out_matrix[16])
{
    std::fill(out_matrix, out_matrix + 16, 0.0f);
    out_matrix[0] = out_matrix[5] = out_matrix[10] = out_matrix[15] = 1.0f;
}

// Rotations for row vectors (eye = scene * matrix), each turning the side facing the viewer
// towards +X or +Y for a positive angle; the roll turns +X towards +Y.
void SetRotationX(float angle, float out_matrix[16])
{
    SetIdentity(out_matrix);
    const float c = std::cos(angle), s = std::sin(angle);
    out_matrix[5] = c;
    out_matrix[6] = -s;
    out_matrix[9] = s;
    out_matrix[10] = c;
}

void SetRotationY(float angle, float out_matrix[16])
{
    SetIdentity(out_matrix);
    const float c = std::cos(angle), s = std::sin(angle);
    out_matrix[0] = c;
    out_matrix[2] = -s;
    out_matrix[8] = s;
    out_matrix[10] = c;
}

void SetRotationZ(float angle, float out_matrix[16])
{
    SetIdentity(out_matrix);
    const float c = std::cos(angle), s = std::sin(angle);
    out_matrix[0] = c;
    out_matrix[1] = s;
    out_matrix[4] = -s;
    out_matrix[5] = c;
}

// out = a * b, all row by row; out may not alias a or b.
void Multiply(const float a[16], const float b[16], float out_matrix[16])
{
    for (int32_t row = 0; row < 4; row++) {
        for (int32_t column = 0; column < 4; column++) {
            float sum = 0;
            for (int32_t k = 0; k < 4; k++)
                sum += a[row * 4 + k] * b[k * 4 + column];
            out_matrix[row * 4 + column] = sum;
        }
    }
}

// Each drag starts from the last one's result, so rounding would pile up over a long session:
// the rotation rows are made orthonormal again (Gram-Schmidt, keeping the handedness).
void Orthonormalise(float matrix[16])
{
    double rows[3][3];
    for (int32_t row = 0; row < 3; row++) {
        for (int32_t column = 0; column < 3; column++)
            rows[row][column] = matrix[row * 4 + column];
    }
    for (int32_t row = 0; row < 3; row++) {
        for (int32_t before = 0; before < row; before++) {
            const double dot = rows[row][0] * rows[before][0] + rows[row][1] * rows[before][1] +
                               rows[row][2] * rows[before][2];
            for (int32_t column = 0; column < 3; column++)
                rows[row][column] -= dot * rows[before][column];
        }
        const double length = std::sqrt(rows[row][0] * rows[row][0] + rows[row][1] * rows[row][1] +
                                        rows[row][2] * rows[row][2]);
        if (length < 1e-12)
            return; // degenerate: leave it rather than divide by nothing
        for (int32_t column = 0; column < 3; column++)
            rows[row][column] /= length;
    }
    for (int32_t row = 0; row < 3; row++) {
        for (int32_t column = 0; column < 3; column++)
            matrix[row * 4 + column] = static_cast<float>(rows[row][column]);
    }
}

// Column-by-column matrix times (x, y, z, w).
void Transform(const float matrix[16], const float in[4], float out[4])
{
    for (int32_t row = 0; row < 4; row++) {
        out[row] = matrix[row] * in[0] + matrix[4 + row] * in[1] + matrix[8 + row] * in[2] +
                   matrix[12 + row] * in[3];
    }
}

} // namespace

void WindowToView(const TTarnwick_ViewRect& rect, int32_t x, int32_t y, float& out_x, float& out_y)
{
    const float width = static_cast<float>(std::max(rect.Width, 1));
    const float height = static_cast<float>(std::max(rect.Height, 1));
    out_x = static_cast<float>(x - rect.Left) * 2.0f / width - 1.0f;
    out_y = -(static_cast<float>(y - rect.Top) * 2.0f / height - 1.0f);
}

TTarnwick_Viewport::TTarnwick_Viewport()
{
    SetIdentity(Rotation);
    SetIdentity(SavedRotation);
}

void TTarnwick_Viewport::LoadState(const TTarnwick_ViewportState& state)
{
    std::memcpy(Rotation, state.RotationMatrix, sizeof(Rotation));
    std::memcpy(SavedRotation, state.RotationMatrix, sizeof(SavedRotation));
    std::memcpy(LookAt, state.LookAt, sizeof(LookAt));
    // A file cannot take the zoom below its floor (nor make it NaN).
    Zoom = state.Zoom >= MinimumZoom ? state.Zoom : MinimumZoom;
    SavedZoom = Zoom;
    Current = state.Current;
    Maximized = state.Maximized;
    CameraID = state.CameraID;
}

void TTarnwick_Viewport::SaveState(TTarnwick_ViewportState& out_state) const
{
    std::memcpy(out_state.RotationMatrix, Rotation, sizeof(Rotation));
    std::memcpy(out_state.LookAt, LookAt, sizeof(LookAt));
    out_state.Zoom = Zoom;
    out_state.Current = Current;
    out_state.Maximized = Maximized;
    out_state.CameraID = CameraID;
}

void TTarnwick_Viewport::Resize(int32_t width, int32_t height)
{
    VerticalScale = width > 0 && height > 0 ? static_cast<float>(height) / static_cast<float>(width) : 1.0f;
}

void TTarnwick_Viewport::BeginNavigation(float start_x, float start_y)
{
    StartX = start_x;
    StartY = start_y;
    std::memcpy(SavedRotation, Rotation, sizeof(Rotation));
    SavedZoom = Zoom;
}

bool TTarnwick_Viewport::Navigate(TTarnwick_NavigationMode mode, float x, float y, int32_t modifiers,
                                  float scene_size)
{
    // Alt keeps only vertical movement; otherwise Shift keeps only horizontal movement.
    const bool keep_horizontal = (modifiers & ModifierAlt) == 0;
    const bool keep_vertical = !keep_horizontal || (modifiers & ModifierShift) == 0;
    switch (mode) {
    case TTarnwick_NavigationMode::Rotate:
    case TTarnwick_NavigationMode::Roll: {
        const float angle_x = keep_horizontal ? (x - StartX) * TurnPerUnit : 0.0f;
        const float angle_y = keep_vertical ? (y - StartY) * TurnPerUnit : 0.0f;
        float turn[16];
        if (mode == TTarnwick_NavigationMode::Rotate) {
            float about_x[16], about_y[16];
            SetRotationX(angle_y, about_x);
            SetRotationY(angle_x, about_y);
            Multiply(about_x, about_y, turn);
        } else {
            SetRotationZ(std::fabs(angle_y) > std::fabs(angle_x) ? angle_y : angle_x, turn);
        }
        Multiply(SavedRotation, turn, Rotation);
        Orthonormalise(Rotation);
        UserView = true;
        return true;
    }
    case TTarnwick_NavigationMode::Pan: {
        const float scale = GetHalfWidth();
        const float eye_x = keep_horizontal ? (x - StartX) * scale : 0.0f;
        const float eye_y = keep_vertical ? (y - StartY) * scale * VerticalScale : 0.0f;
        // The inverse of a rotation is its transpose: scene = eye * transpose(Rotation).
        for (int32_t axis = 0; axis < 3; axis++)
            LookAt[axis] -= Rotation[axis * 4 + 0] * eye_x + Rotation[axis * 4 + 1] * eye_y;
        StartX = x;
        StartY = y;
        return true;
    }
    case TTarnwick_NavigationMode::Zoom: {
        const float step = (y - StartY) * ZoomPerUnit * std::sqrt(std::max(scene_size, 0.0f));
        Zoom = SavedZoom - step;
        if (!(Zoom > MinimumZoom))
            Zoom = MinimumZoom;
        return true;
    }
    }
    return false;
}

void TTarnwick_Viewport::SetTurn(float round, float tip)
{
    float about_y[16], about_x[16];
    SetRotationY(round, about_y);
    SetRotationX(tip, about_x);
    Multiply(about_y, about_x, Rotation);
    std::copy_n(Rotation, 16, SavedRotation);
}

void TTarnwick_Viewport::SetStandardView(TTarnwick_StandardView view)
{
    const TStandardView* entry = FindStandardView(view);
    if (entry == nullptr)
        return;
    if (view == TTarnwick_StandardView::Perspective) {
        Perspective = true;
    } else {
        SetIdentity(Rotation);
        for (int32_t row = 0; row < 3; row++) {
            for (int32_t column = 0; column < 3; column++)
                Rotation[row * 4 + column] = entry->Rows[row * 3 + column];
        }
        std::memcpy(SavedRotation, Rotation, sizeof(Rotation));
        Perspective = false;
    }
    Axis = entry->Axis;
    UserView = false;
    LastStandardView = view;
}

TTarnwick_StandardViewInfo TTarnwick_Viewport::GetStandardViewInfo(TTarnwick_StandardView view)
{
    const TStandardView* entry = FindStandardView(view);
    return entry != nullptr ? entry->Info : TTarnwick_StandardViewInfo{nullptr, nullptr};
}

void TTarnwick_Viewport::FitToBox(const float box_min[3], const float box_max[3])
{
    float squared_radius = 0;
    for (int32_t axis = 0; axis < 3; axis++) {
        LookAt[axis] = (box_min[axis] + box_max[axis]) * 0.5f;
        const float half = (box_max[axis] - box_min[axis]) * 0.5f;
        squared_radius += half * half;
    }
    const float scale = VerticalScale > TinyScale ? VerticalScale : 1.0f;
    Zoom = std::max(std::sqrt(squared_radius / scale), MinimumZoom);
    SavedZoom = Zoom;
    UserView = false;
}

// The box of the shown vertices starts at the first vertex, shown or not, so a mesh whose vertices
// are all hidden gives that vertex alone.
bool TTarnwick_Viewport::FitToMesh(const TZAVPolyMesh& mesh)
{
    const int32_t vertex_count = mesh.GetVertexCount();
    if (vertex_count <= 0)
        return false;
    float box_min[3], box_max[3];
    mesh.GetVertex(0, box_min);
    std::copy_n(box_min, 3, box_max);
    for (int32_t vertex = 0; vertex < vertex_count; vertex++) {
        const size_t index = static_cast<size_t>(vertex);
        if (index < mesh.VertexFlags.size() && (mesh.VertexFlags[index] & VertexFlag_Hidden) != 0)
            continue;
        float position[3];
        mesh.GetVertex(vertex, position);
        for (int32_t axis = 0; axis < 3; axis++) {
            box_min[axis] = std::min(box_min[axis], position[axis]);
            box_max[axis] = std::max(box_max[axis], position[axis]);
        }
    }
    FitToBox(box_min, box_max);
    return true;
}

float TTarnwick_Viewport::GetHalfWidth() const
{
    const float scale = VerticalScale > TinyScale ? VerticalScale : 1.0f;
    const float shorter_half_side = Zoom * std::sqrt(scale);
    return scale <= 1.0f ? shorter_half_side / scale : shorter_half_side;
}

void TTarnwick_Viewport::GetProjectionMatrix(float depth, float out_matrix[16]) const
{
    const float half_width = GetHalfWidth();
    const float half_height = GetHalfHeight();
    depth = std::max(depth, MinimumZoom);
    std::fill(out_matrix, out_matrix + 16, 0.0f);
    if (!Perspective) {
        // Orthographic, keeping depth in front of and behind LookAt.
        out_matrix[0] = 1.0f / half_width;
        out_matrix[5] = 1.0f / half_height;
        out_matrix[10] = -1.0f / depth;
        out_matrix[15] = 1.0f;
        return;
    }
    const float focal = 1.0f / std::tan(PerspectiveFieldOfView * 0.5f);
    const float distance = half_height * focal;
    const float far_plane = distance + depth;
    const float near_plane = std::max(distance - depth, distance * 0.001f);
    out_matrix[0] = distance / half_width;
    out_matrix[5] = focal;
    out_matrix[10] = (far_plane + near_plane) / (near_plane - far_plane);
    out_matrix[11] = -1.0f;
    out_matrix[14] = 2.0f * far_plane * near_plane / (near_plane - far_plane);
}

void TTarnwick_Viewport::GetModelViewMatrix(float out_matrix[16]) const
{
    // The rotation's rows are OpenGL's columns; then LookAt moves to the origin of the eye.
    std::memcpy(out_matrix, Rotation, sizeof(Rotation));
    for (int32_t row = 0; row < 4; row++) {
        out_matrix[12 + row] =
            Rotation[12 + row] -
            (Rotation[row] * LookAt[0] + Rotation[4 + row] * LookAt[1] + Rotation[8 + row] * LookAt[2]);
    }
    if (Perspective) {
        const float distance = GetHalfHeight() / std::tan(PerspectiveFieldOfView * 0.5f);
        // The perspective eye stands back from LookAt along the view axis.
        for (int32_t column = 0; column < 4; column++)
            out_matrix[column * 4 + 2] -= distance * out_matrix[column * 4 + 3];
    }
}

bool TTarnwick_Viewport::ProjectPoint(const float point[3], float depth, float out_view[3]) const
{
    float model_view[16], projection[16];
    GetModelViewMatrix(model_view);
    GetProjectionMatrix(depth, projection);
    const float scene[4] = {point[0], point[1], point[2], 1.0f};
    float eye[4], clip[4];
    Transform(model_view, scene, eye);
    Transform(projection, eye, clip);
    if (!(clip[3] > 0.0f))
        return false;
    for (int32_t axis = 0; axis < 3; axis++)
        out_view[axis] = clip[axis] / clip[3];
    return true;
}

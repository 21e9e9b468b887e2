#include "app/viewport_camera.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

#include "files/project.h"
#include "mesh/poly_mesh.h"
#include "widgets/node.h"

namespace {

constexpr float Depth = 50.0f;

// Where a scene direction ends up: screen x, screen y, and +1 when it points at the viewer.
struct TScreenDirection
{
    int32_t Right, Up, Toward;
};

int32_t Sign(float value)
{
    return value > 1e-4f ? 1 : value < -1e-4f ? -1 : 0;
}

TScreenDirection ScreenDirection(const TTarnwick_Viewport& viewport, const float direction[3])
{
    const float origin[3] = {viewport.LookAt[0], viewport.LookAt[1], viewport.LookAt[2]};
    const float tip[3] = {origin[0] + direction[0], origin[1] + direction[1], origin[2] + direction[2]};
    float at_origin[3], at_tip[3];
    EXPECT_TRUE(viewport.ProjectPoint(origin, Depth, at_origin));
    EXPECT_TRUE(viewport.ProjectPoint(tip, Depth, at_tip));
    // Depth runs from -1 at the near plane, so towards the viewer is downwards.
    return {Sign(at_tip[0] - at_origin[0]), Sign(at_tip[1] - at_origin[1]), -Sign(at_tip[2] - at_origin[2])};
}

void ExpectOrthonormal(const float matrix[16], float tolerance)
{
    for (int32_t a = 0; a < 3; a++) {
        for (int32_t b = 0; b < 3; b++) {
            const float dot = matrix[a * 4] * matrix[b * 4] + matrix[a * 4 + 1] * matrix[b * 4 + 1] +
                              matrix[a * 4 + 2] * matrix[b * 4 + 2];
            EXPECT_NEAR(dot, a == b ? 1.0f : 0.0f, tolerance) << "rows " << a << " and " << b;
        }
    }
    // Right-handed: row 0 x row 1 = row 2.
    EXPECT_NEAR(matrix[1] * matrix[6] - matrix[2] * matrix[5], matrix[8], tolerance);
}

} // namespace

TEST(ViewportCamera, StandardViewsShowTheModelAxesWhereTheirNamesSay)
{
    struct TCase
    {
        TTarnwick_StandardView View;
        TScreenDirection X, Y, Z;
    };
    // 157 and 158 look at the figure's own right and left sides (the figure faces +Z).
    const TCase cases[] = {
        {TTarnwick_StandardView::Front, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {TTarnwick_StandardView::Back, {-1, 0, 0}, {0, 1, 0}, {0, 0, -1}},
        {TTarnwick_StandardView::Right, {0, 0, -1}, {0, 1, 0}, {1, 0, 0}},
        {TTarnwick_StandardView::Left, {0, 0, 1}, {0, 1, 0}, {-1, 0, 0}},
        {TTarnwick_StandardView::Top, {1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
        {TTarnwick_StandardView::Bottom, {1, 0, 0}, {0, 0, -1}, {0, 1, 0}},
    };
    const float axes[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (const TCase& test : cases) {
        TTarnwick_Viewport viewport;
        viewport.LookAt[0] = 3;
        viewport.LookAt[2] = -2;
        viewport.BeginNavigation(0, 0);
        ASSERT_TRUE(viewport.Navigate(TTarnwick_NavigationMode::Rotate, 0.3f, 0.1f, ModifierNone, 1));
        viewport.SetStandardView(TTarnwick_StandardView::Perspective);
        viewport.SetStandardView(test.View);
        EXPECT_FALSE(viewport.Perspective);
        EXPECT_FALSE(viewport.UserView);
        const TScreenDirection expected[3] = {test.X, test.Y, test.Z};
        for (int32_t axis = 0; axis < 3; axis++) {
            const TScreenDirection seen = ScreenDirection(viewport, axes[axis]);
            EXPECT_EQ(seen.Right, expected[axis].Right) << static_cast<int>(test.View) << " axis " << axis;
            EXPECT_EQ(seen.Up, expected[axis].Up) << static_cast<int>(test.View) << " axis " << axis;
            EXPECT_EQ(seen.Toward, expected[axis].Toward) << static_cast<int>(test.View) << " axis " << axis;
        }
    }
}

TEST(ViewportCamera, PerspectiveKeepsTheRotationAndShowsTheSameSpanAtLookAt)
{
    TTarnwick_Viewport viewport;
    viewport.Resize(400, 300);
    viewport.SetStandardView(TTarnwick_StandardView::Top);
    viewport.LookAt[1] = 2;
    const float edge[3] = {viewport.LookAt[0] + viewport.GetHalfWidth(), 2, -viewport.GetHalfHeight()};
    float flat[3], deep[3];
    ASSERT_TRUE(viewport.ProjectPoint(edge, Depth, flat));
    viewport.SetStandardView(TTarnwick_StandardView::Perspective);
    EXPECT_TRUE(viewport.Perspective);
    ASSERT_TRUE(viewport.ProjectPoint(edge, Depth, deep));
    EXPECT_NEAR(flat[0], 1.0f, 1e-5f);
    EXPECT_NEAR(flat[1], 1.0f, 1e-5f);
    EXPECT_NEAR(deep[0], 1.0f, 1e-5f);
    EXPECT_NEAR(deep[1], 1.0f, 1e-5f);
    // Top view still: +Z points down the screen, and nearer points spread wider.
    EXPECT_EQ(ScreenDirection(viewport, std::array<float, 3>{0, 0, 1}.data()).Up, -1);
    const float nearer[3] = {edge[0], 3, edge[2]};
    ASSERT_TRUE(viewport.ProjectPoint(nearer, Depth, deep));
    EXPECT_GT(deep[0], 1.0f);
}

TEST(ViewportCamera, RotateAndRollTurnByTenOverPiPerHalfViewWidth)
{
    const TTarnwick_ViewRect rect{20, 10, 200, 100};
    const float turn = 10.0f / std::numbers::pi_v<float>;
    float start_x, start_y, end_x, end_y;
    WindowToView(rect, 70, 60, start_x, start_y);
    // Half the width to the right and a tenth of the height up.
    WindowToView(rect, 170, 55, end_x, end_y);
    ASSERT_FLOAT_EQ(end_x - start_x, 1.0f);
    ASSERT_FLOAT_EQ(end_y - start_y, 0.1f);

    // Shift keeps the horizontal turn alone: the model's +Z swings to screen right.
    TTarnwick_Viewport viewport;
    viewport.BeginNavigation(start_x, start_y);
    viewport.Navigate(TTarnwick_NavigationMode::Rotate, end_x, end_y, ModifierShift, 1);
    EXPECT_TRUE(viewport.UserView);
    EXPECT_NEAR(viewport.Rotation[8], std::sin(turn), 1e-5f);
    EXPECT_NEAR(viewport.Rotation[9], 0.0f, 1e-6f);
    EXPECT_NEAR(viewport.Rotation[10], std::cos(turn), 1e-5f);

    // Each event applies the whole movement since the press; Alt (over Shift) keeps the vertical
    // turn alone, tipping +Z upwards.
    viewport.Navigate(TTarnwick_NavigationMode::Rotate, end_x, end_y, ModifierAlt | ModifierShift, 1);
    EXPECT_NEAR(viewport.Rotation[8], 0.0f, 1e-6f);
    EXPECT_NEAR(viewport.Rotation[9], std::sin(0.1f * turn), 1e-5f);

    // Both at once: the turn about the screen's X axis comes first, then the one about Y.
    viewport.Navigate(TTarnwick_NavigationMode::Rotate, start_x + 0.1f, start_y + 0.05f, ModifierNone, 1);
    const float about_y = 0.1f * turn, about_x = 0.05f * turn;
    EXPECT_NEAR(viewport.Rotation[8], std::cos(about_x) * std::sin(about_y), 1e-5f);
    EXPECT_NEAR(viewport.Rotation[9], std::sin(about_x), 1e-5f);

    // Roll takes the larger component, here the downward one, about the viewing axis.
    viewport.BeginNavigation(0, 0);
    viewport.Navigate(TTarnwick_NavigationMode::Roll, 0.2f, -0.5f, ModifierNone, 1);
    float expected[16];
    std::memcpy(expected, viewport.SavedRotation, sizeof(expected));
    const float roll = -0.5f * turn;
    for (int32_t row = 0; row < 3; row++) {
        const float x = expected[row * 4], y = expected[row * 4 + 1];
        EXPECT_NEAR(viewport.Rotation[row * 4], x * std::cos(roll) - y * std::sin(roll), 1e-5f);
        EXPECT_NEAR(viewport.Rotation[row * 4 + 1], x * std::sin(roll) + y * std::cos(roll), 1e-5f);
        EXPECT_FLOAT_EQ(viewport.Rotation[row * 4 + 2], expected[row * 4 + 2]);
    }
    EXPECT_FALSE(viewport.Navigate(static_cast<TTarnwick_NavigationMode>(4), 1, 1, ModifierNone, 1));
}

TEST(ViewportCamera, ManySmallDragsKeepTheRotationOrthonormal)
{
    TTarnwick_Viewport viewport;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> step(-0.05f, 0.05f);
    for (int32_t drag = 0; drag < 20000; drag++) {
        const float x = step(random), y = step(random);
        viewport.BeginNavigation(x, y);
        const auto mode = drag % 3 == 0 ? TTarnwick_NavigationMode::Roll : TTarnwick_NavigationMode::Rotate;
        viewport.Navigate(mode, x + step(random), y + step(random), ModifierNone, 1);
    }
    ExpectOrthonormal(viewport.Rotation, 2e-6f);
}

TEST(ViewportCamera, PanKeepsTheGrabbedPointUnderThePointer)
{
    for (const auto modifiers : {ModifierNone, ModifierShift, ModifierAlt}) {
        TTarnwick_Viewport viewport;
        viewport.Resize(300, 150);
        viewport.BeginNavigation(0, 0);
        viewport.Navigate(TTarnwick_NavigationMode::Rotate, 0.2f, 0.1f, ModifierNone, 1);
        viewport.Zoom = 2.5f;
        viewport.LookAt[0] = 1;
        viewport.LookAt[1] = 2;
        viewport.LookAt[2] = 3;
        const float grabbed[3] = {1.5f, 1.5f, 3.5f};
        float before[3], after[3];
        ASSERT_TRUE(viewport.ProjectPoint(grabbed, Depth, before));

        // Two events: panning counts from the last event, not from the press.
        viewport.BeginNavigation(before[0], before[1]);
        viewport.Navigate(TTarnwick_NavigationMode::Pan, before[0] + 0.2f, before[1] - 0.1f, modifiers, 1);
        viewport.Navigate(TTarnwick_NavigationMode::Pan, before[0] + 0.5f, before[1] - 0.3f, modifiers, 1);
        ASSERT_TRUE(viewport.ProjectPoint(grabbed, Depth, after));
        const float moved_x = modifiers == ModifierAlt ? 0.0f : 0.5f;
        const float moved_y = modifiers == ModifierShift ? 0.0f : -0.3f;
        EXPECT_NEAR(after[0], before[0] + moved_x, 1e-5f) << modifiers;
        EXPECT_NEAR(after[1], before[1] + moved_y, 1e-5f) << modifiers;
        EXPECT_NEAR(after[2], before[2], 1e-5f) << modifiers;
    }
}

TEST(ViewportCamera, ZoomFollowsVerticalDragAndStopsAtTheFloor)
{
    TTarnwick_Viewport viewport;
    viewport.Zoom = 1.5f;
    viewport.BeginNavigation(0.3f, 0.1f);
    // Scene size 16: a unit of vertical movement zooms by 2/pi * sqrt(16) / 4 = 2/pi.
    viewport.Navigate(TTarnwick_NavigationMode::Zoom, 0.9f, -0.4f, ModifierShift, 16);
    EXPECT_NEAR(viewport.Zoom, 1.5f + 0.5f * 2.0f / std::numbers::pi_v<float>, 1e-6f);
    viewport.Navigate(TTarnwick_NavigationMode::Zoom, -5.0f, 100.0f, ModifierNone, 16);
    EXPECT_EQ(viewport.Zoom, TTarnwick_Viewport::MinimumZoom);
    // Still measured from the press, so coming back restores the zoom.
    viewport.Navigate(TTarnwick_NavigationMode::Zoom, 0.0f, 0.1f, ModifierNone, 16);
    EXPECT_FLOAT_EQ(viewport.Zoom, 1.5f);
}

TEST(ViewportCamera, FitPutsTheWholeBoxInTheView)
{
    const float box_min[3] = {-1, 2, 0}, box_max[3] = {3, 5, 1};
    const float radius = std::sqrt(2.0f * 2.0f + 1.5f * 1.5f + 0.5f * 0.5f);
    const int32_t sizes[][2] = {{400, 200}, {300, 300}, {150, 450}};
    for (const auto& size : sizes) {
        for (const bool turned : {false, true}) {
            TTarnwick_Viewport viewport;
            viewport.Resize(size[0], size[1]);
            viewport.Zoom = 40;
            if (turned) {
                viewport.BeginNavigation(0, 0);
                viewport.Navigate(TTarnwick_NavigationMode::Rotate, 0.4f, -0.25f, ModifierNone, 1);
            }
            viewport.FitToBox(box_min, box_max);
            EXPECT_FALSE(viewport.UserView);
            float largest = 0;
            for (int32_t corner = 0; corner < 8; corner++) {
                const float point[3] = {corner & 1 ? box_max[0] : box_min[0],
                                        corner & 2 ? box_max[1] : box_min[1],
                                        corner & 4 ? box_max[2] : box_min[2]};
                float seen[3];
                ASSERT_TRUE(viewport.ProjectPoint(point, Depth, seen));
                largest = std::max({largest, std::fabs(seen[0]), std::fabs(seen[1])});
            }
            EXPECT_LE(largest, 1.0f) << size[0] << "x" << size[1];
            // Snug: the box's bounding sphere just spans the shorter side.
            EXPECT_NEAR(std::min(viewport.GetHalfWidth(), viewport.GetHalfHeight()), radius, 1e-5f);
            EXPECT_EQ(viewport.SavedZoom, viewport.Zoom);
        }
    }
}

TEST(ViewportCamera, FitToMeshSkipsHiddenVerticesButStartsAtTheFirst)
{
    TZAVPolyMesh mesh;
    TTarnwick_Viewport viewport;
    EXPECT_FALSE(viewport.FitToMesh(mesh));
    EXPECT_EQ(viewport.Zoom, 1.0f);

    mesh.Allocate(3, 0, 0, 0);
    const float positions[9] = {1, 1, 1, 3, 5, 1, 100, 100, 100};
    std::copy_n(positions, 9, mesh.Vertices.data());
    mesh.VertexFlags[2] = VertexFlag_Hidden;
    ASSERT_TRUE(viewport.FitToMesh(mesh));
    EXPECT_FLOAT_EQ(viewport.LookAt[0], 2);
    EXPECT_FLOAT_EQ(viewport.LookAt[1], 3);
    EXPECT_FLOAT_EQ(viewport.Zoom, std::sqrt(5.0f));

    // Everything hidden: the box is the first vertex alone, and the zoom keeps its floor.
    mesh.VertexFlags.assign(3, VertexFlag_Hidden);
    ASSERT_TRUE(viewport.FitToMesh(mesh));
    EXPECT_FLOAT_EQ(viewport.LookAt[0], 1);
    EXPECT_FLOAT_EQ(viewport.LookAt[2], 1);
    EXPECT_EQ(viewport.Zoom, TTarnwick_Viewport::MinimumZoom);
}

TEST(ViewportCamera, ProjectStateRoundTripsExactly)
{
    TTarnwick_ViewportState state;
    for (int32_t i = 0; i < 16; i++)
        state.RotationMatrix[i] = 0.1f * static_cast<float>(i) - 0.77f;
    state.LookAt[0] = 1e-7f;
    state.LookAt[1] = -3.25f;
    state.LookAt[2] = 123456.7f;
    state.Zoom = 0.0123f;
    state.Current = true;
    state.Maximized = true;
    state.CameraID = 42;

    TTarnwick_Viewport viewport;
    viewport.LoadState(state);
    TTarnwick_ViewportState saved;
    viewport.SaveState(saved);
    EXPECT_EQ(std::memcmp(saved.RotationMatrix, state.RotationMatrix, sizeof(state.RotationMatrix)), 0);
    EXPECT_EQ(std::memcmp(saved.LookAt, state.LookAt, sizeof(state.LookAt)), 0);
    EXPECT_EQ(saved.Zoom, state.Zoom);
    EXPECT_EQ(saved.Current, state.Current);
    EXPECT_EQ(saved.Maximized, state.Maximized);
    EXPECT_EQ(saved.CameraID, state.CameraID);

    // A zoom below the floor from a file is raised to it.
    state.Zoom = 0.0f;
    viewport.LoadState(state);
    EXPECT_EQ(viewport.Zoom, TTarnwick_Viewport::MinimumZoom);
}

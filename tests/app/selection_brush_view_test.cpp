// The selection brushes driven through a viewport of the real main window (run under xvfb-run),
// by queued mouse records, on a literal scene seen from the front without perspective: every
// vertex's distance from a dab follows by hand from the camera. Writes
// screenshots/selection_brush_view.png.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "app/application.h"
#include "app/dispatcher.h"
#include "app/main_window.h"
#include "app/scene_drawing.h"
#include "app/toolbox.h"
#include "app/viewport_panel.h"
#include "core/event_queue.h"
#include "core/status.h"
#include "core/virtual_memory.h"
#include "files/language.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/scene_object.h"
#include "support/screenshot.h"
#include "support/test_main_window.h"
#include "support/widget_window.h"
#include "tools/selection_brush.h"

namespace {

constexpr int32_t WindowWidth = 1024;
constexpr int32_t WindowHeight = 768;
// The view shows this many scene units either side of its centre, across.
constexpr double HalfWidth = 1.0;
constexpr float Centre[2] = {-0.1f, 0.0f};

// The scene, one mesh of three pieces:
//   - a plane (z = 0) of 7 × 7 vertices 0.1 apart, x from -0.6 to 0, y from -0.3 to 0.3;
//   - a square in front of it (z = 0.5) over x -0.45..-0.25, y -0.15..0.15, hiding the six plane
//     vertices at x -0.4, -0.3 and y -0.1, 0, 0.1 (each 16 pixels or more inside its edges);
//   - a closed box over x 0.15..0.35, y and z -0.1..0.1, whose four back corners face away.
struct TScene
{
    std::vector<float> Points;
    std::vector<std::vector<int32_t>> Polygons;
    // Occluded or facing away in the front view.
    std::vector<bool> Hidden;

    int32_t Add(float x, float y, float z, bool hidden = false)
    {
        Points.insert(Points.end(), {x, y, z});
        Hidden.push_back(hidden);
        return int32_t(Hidden.size()) - 1;
    }
    int32_t Count() const { return int32_t(Hidden.size()); }
    float X(int32_t vertex) const { return Points[3 * size_t(vertex)]; }
    float Y(int32_t vertex) const { return Points[3 * size_t(vertex) + 1]; }
};

TScene MakeScene()
{
    TScene scene;
    for (int32_t row = 0; row <= 6; row++)
        for (int32_t column = 0; column <= 6; column++) {
            const bool covered = (column == 2 || column == 3) && row >= 2 && row <= 4;
            scene.Add(-0.6f + 0.1f * float(column), -0.3f + 0.1f * float(row), 0.0f, covered);
        }
    for (int32_t row = 0; row < 6; row++)
        for (int32_t column = 0; column < 6; column++) {
            const int32_t first = row * 7 + column;
            scene.Polygons.push_back({first, first + 1, first + 8, first + 7});
        }
    const int32_t square = scene.Add(-0.45f, -0.15f, 0.5f);
    scene.Add(-0.25f, -0.15f, 0.5f);
    scene.Add(-0.25f, 0.15f, 0.5f);
    scene.Add(-0.45f, 0.15f, 0.5f);
    scene.Polygons.push_back({square, square + 1, square + 2, square + 3});
    // Corner k has x from bit 0, y from bit 1, z from bit 2.
    const int32_t box = scene.Count();
    for (int32_t k = 0; k < 8; k++)
        scene.Add(k & 1 ? 0.35f : 0.15f, k & 2 ? 0.1f : -0.1f, k & 4 ? 0.1f : -0.1f, (k & 4) == 0);
    for (const std::vector<int32_t>& face : std::vector<std::vector<int32_t>>{
             {0, 2, 3, 1}, {4, 5, 7, 6}, {0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4}, {2, 6, 7, 3}}) {
        scene.Polygons.push_back({});
        for (int32_t k : face)
            scene.Polygons.back().push_back(box + k);
    }
    return scene;
}

std::unique_ptr<TTarnwick_Mesh> MakeMesh(const TScene& scene)
{
    auto mesh = std::make_unique<TTarnwick_Mesh>();
    const int32_t count = scene.Count();
    mesh->Allocate(count, count, count, int32_t(scene.Polygons.size()));
    std::copy(scene.Points.begin(), scene.Points.end(), mesh->Vertices.begin());
    mesh->AllocateCorners(4 * int32_t(scene.Polygons.size()));
    int32_t corner = 0;
    for (size_t polygon = 0; polygon < scene.Polygons.size(); polygon++) {
        for (int32_t vertex : scene.Polygons[polygon]) {
            mesh->CornerVertex[corner] = vertex;
            mesh->CornerTexVertex[corner] = vertex;
            corner++;
        }
        mesh->EndPolygon(int32_t(polygon), corner);
    }
    mesh->Prepare();
    // Skin for the plane, blue for the square, green for the box.
    const float colours[3][3] = {{0.9f, 0.75f, 0.6f}, {0.3f, 0.4f, 0.9f}, {0.3f, 0.7f, 0.3f}};
    for (const float* colour : colours) {
        TZAVMaterial* material = mesh->CreateMaterial();
        material->AddDefaultChannels();
        std::copy_n(colour, 3, material->FindChannel("Color")->Colors[0]);
        mesh->Materials.Add(material);
    }
    for (size_t polygon = 0; polygon < scene.Polygons.size(); polygon++)
        mesh->PolygonMaterial[polygon] = int16_t(polygon < 36 ? 0 : polygon == 36 ? 1 : 2);
    return mesh;
}

// cos((d / r) · π/2) to the power (1 − h) · 2 inside the circle, 0 from its edge on.
double Falloff(double distance, double radius, double hardness)
{
    if (distance >= radius)
        return 0.0;
    return std::pow(std::cos(distance / radius * std::numbers::pi / 2.0), (1.0 - hardness) * 2.0);
}

struct TPixel
{
    int32_t X = 0;
    int32_t Y = 0;
};

void Queue(TTarnwick_InputKind kind, int32_t a, int32_t b, TPixel at)
{
    TarnwickMainWindow->QueueInput({int32_t(kind), a, b, at.X, at.Y}, 0);
    while (!TarnwickMainWindow->PendingInput().empty())
        TarnwickMainWindow->DisplayFrame();
}

class SelectionBrushView : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        std::string error;
        WindowId = StartTestMainWindow("app_selection_brush_view_test", WindowWidth, WindowHeight, error);
        ASSERT_NE(WindowId, 0) << error;
        Settings = new TTarnwick_Settings(GetLanguageString(418));
        TarnwickSettings = Settings;
        TarnwickApp.Ready = true;
        TarnwickMainWindow->SwapAfterFrame = false;
        TarnwickMainWindow->CloseSplash();
        // The first frame's start-up commands run before the test's scene exists.
        TarnwickMainWindow->DisplayFrame();
        TarnwickEvents_ProcessEvents();
        TarnwickMainWindow->ToggleMaximized(TarnwickMainWindow->ViewportPanel(0));
    }
    static void TearDownTestSuite()
    {
        StopTestMainWindow(WindowId);
        TarnwickSettings = nullptr;
        delete Settings;
    }

    void SetUp() override
    {
        delete TarnwickProject;
        TarnwickProject = new TTarnwick_Project;
        auto* object = new TTarnwick_Object;
        object->SetMesh(MakeMesh(Scene));
        TarnwickProject->AddObject(object);
        Mesh = object->Mesh.get();
        TarnwickMainWindow->DisplayFrame();
        Panel = TarnwickMainWindow->ViewportPanel(0);
        Panel->SetView(TTarnwick_StandardView::Front);
        std::copy_n(Centre, 2, Panel->Viewport.LookAt);
        Panel->Viewport.LookAt[2] = 0.0f;
        // A view wider than high shows Zoom · sqrt(height / width) above and below its centre.
        Panel->Viewport.Zoom = float(HalfWidth) * std::sqrt(float(Panel->Height) / float(Panel->Width));
        ASSERT_NEAR(Panel->Viewport.GetHalfWidth(), HalfWidth, 1e-5);
    }
    void TearDown() override
    {
        ApplicationToolbox().SwitchTool(nullptr, Mesh);
        TarnwickToolOptions.SeeThrough = false;
        TarnwickEvents_ProcessEvents();
        delete TarnwickProject;
        TarnwickProject = nullptr;
    }

    template <typename TBrush> TBrush& Choose(float radius, float hardness, float strength)
    {
        TTarnwick_Toolbox& toolbox = ApplicationToolbox();
        for (int32_t index = 0; index < toolbox.Brushes.Count(); index++) {
            TTarnwick_Tool* tool = nullptr;
            if (toolbox.Brushes.Get(tool, index) && typeid(*tool) == typeid(TBrush)) {
                EXPECT_TRUE(toolbox.SwitchTool(tool, Mesh));
                auto& brush = static_cast<TBrush&>(*tool);
                brush.Radius = radius;
                brush.Hardness = hardness;
                brush.Strength = strength;
                return brush;
            }
        }
        throw std::runtime_error("no such brush");
    }

    // The window pixel over a scene point, and back: the view spans its panel, x right, y up.
    TPixel PixelAt(double x, double y) const
    {
        const TTarnwick_ViewRect rect = Panel->GetViewRect();
        const double half_height = HalfWidth * rect.Height / rect.Width;
        return {
            rect.Left + int32_t(std::lround((x - Centre[0]) / HalfWidth * rect.Width / 2 + rect.Width / 2.0)),
            rect.Top +
                int32_t(std::lround(rect.Height / 2.0 - (y - Centre[1]) / half_height * rect.Height / 2))};
    }
    void SceneAt(TPixel pixel, double& out_x, double& out_y) const
    {
        const TTarnwick_ViewRect rect = Panel->GetViewRect();
        out_x = Centre[0] + (2.0 * (pixel.X - rect.Left) / rect.Width - 1.0) * HalfWidth;
        out_y = Centre[1] +
                (1.0 - 2.0 * (pixel.Y - rect.Top) / rect.Height) * HalfWidth * rect.Height / rect.Width;
    }
    // The brush's distance of a vertex from the dab at a pixel: across the view's half-width.
    double Distance(int32_t vertex, TPixel dab) const
    {
        double x = 0, y = 0;
        SceneAt(dab, x, y);
        return std::hypot(Scene.X(vertex) - x, Scene.Y(vertex) - y) / HalfWidth;
    }

    // Press at the first pixel, a drag to each of the others, release at the last.
    void Stroke(int32_t button, const std::vector<TPixel>& dabs)
    {
        // A point beyond the view, or on its button bar, goes to another widget, and the stroke
        // does nothing: the window must leave the view room below a bar of one row.
        const TTarnwick_ViewRect rect = Panel->GetViewRect();
        for (TPixel dab : dabs)
            ASSERT_TRUE(dab.X >= rect.Left && dab.X < rect.Left + rect.Width &&
                        dab.Y >= rect.Top + TTarnwick_ViewportPanel::BarHeight && dab.Y < rect.Top + rect.Height)
                << dab.X << ", " << dab.Y << " lies outside the view or on its bar";
        Queue(TTarnwick_InputKind::MouseButton, button, MouseDown, dabs.front());
        for (size_t k = 1; k < dabs.size(); k++)
            Queue(TTarnwick_InputKind::Motion, 0, 0, dabs[k]);
        Queue(TTarnwick_InputKind::MouseButton, button, MouseUp, dabs.back());
    }
    // The weights a stroke should leave: at each dab (the release paints once more) every vertex
    // in reach gets rule(weight, falloff); hidden vertices only when seeing through.
    std::vector<double> Expect(std::vector<double> weights, const std::vector<TPixel>& dabs, float radius,
                               float hardness, bool see_through,
                               const std::function<double(double, double)>& rule) const
    {
        std::vector<TPixel> steps = dabs;
        steps.push_back(dabs.back());
        for (TPixel dab : steps)
            for (int32_t vertex = 0; vertex < Scene.Count(); vertex++) {
                const double distance = Distance(vertex, dab);
                if (distance < radius && (see_through || !Scene.Hidden[size_t(vertex)]))
                    weights[size_t(vertex)] =
                        rule(weights[size_t(vertex)], Falloff(distance, radius, hardness));
            }
        return weights;
    }
    void SetWeights(const std::vector<double>& weights)
    {
        for (int32_t vertex = 0; vertex < Scene.Count(); vertex++)
            Mesh->CurrentSelection->SetVSelect(vertex, float(weights[size_t(vertex)]));
    }
    void ExpectWeights(const std::vector<double>& expected, const char* what)
    {
        for (int32_t vertex = 0; vertex < Scene.Count(); vertex++)
            EXPECT_NEAR(Mesh->CurrentSelection->GetVSelect(vertex), expected[size_t(vertex)], 2e-4)
                << what << ": vertex " << vertex << " at " << Scene.X(vertex) << ", " << Scene.Y(vertex);
    }

    static inline int WindowId = 0;
    static inline TTarnwick_Settings* Settings = nullptr;
    const TScene Scene = MakeScene();
    TTarnwick_Mesh* Mesh = nullptr;
    TTarnwick_ViewportPanel* Panel = nullptr;
};

int32_t PlaneVertex(int32_t column, int32_t row)
{
    return row * 7 + column;
}

// A stroke over the plane, the square and the box paints by the falloff at each dab, levels what
// lies above the strength, and leaves the plane behind the square and the box's back corners
// alone until the user sees through.
TEST_F(SelectionBrushView, PaintFollowsTheFalloffAndReachesHiddenVerticesOnlySeeingThrough)
{
    const float radius = 0.5f, hardness = 0.3f, strength = 0.7f;
    Choose<TTarnwick_DefaultBrush>(radius, hardness, strength);
    std::vector<double> before(size_t(Scene.Count()), 0.0);
    before[size_t(PlaneVertex(5, 4))] = 1.0;
    before[size_t(PlaneVertex(0, 6))] = 1.0;
    SetWeights(before);
    const TPixel centre = PixelAt(Centre[0], Centre[1]);
    const std::vector<TPixel> dabs = {centre, {centre.X + 10, centre.Y}, {centre.X + 20, centre.Y - 5}};
    const auto paint = [&](double weight, double falloff) {
        return std::max(strength * falloff, std::min(weight, double(strength)));
    };

    Stroke(MouseLeft, dabs);
    const std::vector<double> painted = Expect(before, dabs, radius, hardness, false, paint);
    ExpectWeights(painted, "seen");
    EXPECT_NEAR(painted[size_t(PlaneVertex(5, 4))], strength, 1e-6) << "levelled to the strength";

    TarnwickMainWindow->DisplayFrame();
    // The views shared the points they drew while the stroke went on; they show its end.
    const int32_t selected = int32_t(std::count_if(painted.begin(), painted.end(), [](double w) { return w > 0; }));
    EXPECT_EQ(SharedSceneDrawing()->SelectionPointCount(), selected);
    std::string error;
    EXPECT_TRUE(SaveScreenshot("selection_brush_view.png",
                               TWidgetFrame::ReadBack(WindowWidth, WindowHeight).Rgb.data(), WindowWidth,
                               WindowHeight, 3, error))
        << error;
    // The pointer over the last dab shows the falloff preview, opaque mid grey at its centre.
    Queue(TTarnwick_InputKind::PassiveMotion, 0, 0, dabs.back());
    TarnwickMainWindow->DisplayFrame();
    const float grey[3] = {0.5f, 0.5f, 0.5f};
    EXPECT_TRUE(
        TWidgetFrame::ReadBack(WindowWidth, WindowHeight).Near(dabs.back().X, dabs.back().Y, grey, 12))
        << "the cursor is drawn in the view's space, over the scene";

    TarnwickToolOptions.SeeThrough = true;
    SetWeights(before);
    Stroke(MouseLeft, dabs);
    const std::vector<double> through = Expect(before, dabs, radius, hardness, true, paint);
    ExpectWeights(through, "seeing through");
    for (int32_t vertex = 0; vertex < Scene.Count(); vertex++) {
        if (Scene.Hidden[size_t(vertex)]) {
            EXPECT_GT(through[size_t(vertex)], 0.01) << "vertex " << vertex << " lies under the stroke";
        }
    }

    // A stroke that starts off the figure and erases only as it is dragged onto its corner: the
    // points follow the drag, not just the press and release.
    TarnwickToolOptions.SeeThrough = false;
    Choose<TTarnwick_DefaultBrush>(0.12f, 1.0f, 1.0f);
    auto count_selected = [&] {
        int32_t count = 0;
        for (int32_t vertex = 0; vertex < Scene.Count(); vertex++)
            count += Mesh->CurrentSelection->GetVSelect(vertex) > 0;
        return count;
    };
    const int32_t before_erasing = count_selected();
    Stroke(MouseRight, {PixelAt(-0.85, 0.3), PixelAt(-0.72, 0.3), PixelAt(-0.6, 0.3), PixelAt(-0.85, 0.3)});
    const int32_t left = count_selected();
    ASSERT_LT(left, before_erasing);
    EXPECT_EQ(SharedSceneDrawing()->SelectionPointCount(), left);
}

// Harden lets a weight at or below 0.1, 0.1 itself included, fall and raises the others; soften
// relaxes a vertex towards the mean of itself and its polygons' other corners (a neighbour counted
// once per polygon).
TEST_F(SelectionBrushView, HardenAndSoftenChangeWeightsByTheirRules)
{
    const float strength = 0.5f, hardness = 0.3f;
    Choose<TTarnwick_HardenBrush>(0.5f, hardness, strength);
    std::vector<double> before(size_t(Scene.Count()), 0.0);
    const int32_t low = PlaneVertex(4, 3), high = PlaneVertex(4, 4);
    before[size_t(low)] = 0.1;
    before[size_t(high)] = 0.5;
    SetWeights(before);
    const TPixel centre = PixelAt(Centre[0], Centre[1]);
    Stroke(MouseLeft, {centre});
    // A click is two steps: the press and the release.
    const auto harden = [&](double weight, int32_t vertex) {
        const double amount = strength * Falloff(Distance(vertex, centre), 0.5, hardness);
        for (int32_t step = 0; step < 2; step++)
            weight = (1 - amount) * weight + (weight <= 0.1 ? 0.0 : amount);
        return weight;
    };
    EXPECT_NEAR(Mesh->CurrentSelection->GetVSelect(low), harden(0.1, low), 2e-4);
    EXPECT_NEAR(Mesh->CurrentSelection->GetVSelect(high), harden(0.5, high), 2e-4);

    // A brush narrower than the plane's spacing reaches one vertex; its 4 polygons give it 12
    // neighbouring corners, all at 0, so each step leaves w · (1 - 12/13 · f).
    const float narrow = 0.04f;
    Choose<TTarnwick_SoftenBrush>(narrow, hardness, 1.0f);
    const int32_t soft = PlaneVertex(1, 5);
    std::vector<double> single(size_t(Scene.Count()), 0.0);
    single[size_t(soft)] = 1.0;
    SetWeights(single);
    const TPixel over = PixelAt(Scene.X(soft), Scene.Y(soft));
    Stroke(MouseLeft, {over});
    const double step = 1.0 - 12.0 / 13.0 * Falloff(Distance(soft, over), narrow, hardness);
    EXPECT_NEAR(Mesh->CurrentSelection->GetVSelect(soft), step * step, 2e-4);
    EXPECT_EQ(Mesh->CurrentSelection->GetVSelect(PlaneVertex(2, 5)), 0.0f);
}

} // namespace

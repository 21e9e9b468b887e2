// The paint tests' scene: quads whose texture space is the view, in an object of their own with
// an undo buffer, the OpenGL canvas on the shared test window, and a view with identity matrices.
// A point (x, y) of a quad shows at (x, y); pixel (i, j) of an N × N map over the whole view lies
// at view point (2 (i + 0.5) / N - 1, 2 (j + 0.5) / N - 1). Run under xvfb-run -a.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/paint_canvas.h"
#include "core/event_queue.h"
#include "files/settings.h"
#include "mesh/layer.h"
#include "mesh/scene_object.h"
#include "paint/map_assignments.h"
#include "paint/material_map.h"
#include "paint/paint_brush.h"
#include "paint/undo_buffer.h"
#include "support/paged_items.h"
#include "support/widget_window.h"

// Quads side by side on screen from x = -1 to 1, y = -1 to 1, quad q over the texture rectangle
// islands[q] (u from, u to; v from 0 to 1). Neighbours share their vertices on screen, so
// islands apart in texture space make a UV seam.
inline void MakeStrip(TTarnwick_Mesh& mesh, std::vector<std::pair<float, float>> islands)
{
    const int32_t quads = int32_t(islands.size());
    const int32_t vertex_count = 2 * (quads + 1);
    mesh.Allocate(vertex_count, 4 * quads, vertex_count, quads);
    for (int32_t i = 0; i <= quads; i++)
        for (int32_t row = 0; row < 2; row++) {
            float* vertex = &mesh.Vertices[3 * size_t(2 * i + row)];
            vertex[0] = -1.0f + 2.0f * float(i) / float(quads);
            vertex[1] = row == 0 ? -1.0f : 1.0f;
            vertex[2] = 0;
        }
    mesh.AllocateCorners(4 * quads);
    for (int32_t q = 0; q < quads; q++) {
        const auto [u0, u1] = islands[size_t(q)];
        const float uv[4][2] = {{u0, 0}, {u1, 0}, {u1, 1}, {u0, 1}};
        const int32_t vertices[4] = {2 * q, 2 * q + 2, 2 * q + 3, 2 * q + 1};
        for (int32_t k = 0; k < 4; k++) {
            mesh.TexVertices[2 * size_t(4 * q + k)] = uv[k][0];
            mesh.TexVertices[2 * size_t(4 * q + k) + 1] = uv[k][1];
            mesh.CornerVertex[size_t(4 * q + k)] = vertices[k];
            mesh.CornerTexVertex[size_t(4 * q + k)] = 4 * q + k;
        }
        mesh.EndPolygon(q, 4 * (q + 1));
    }
    mesh.Prepare();
    mesh.Materials.Add(mesh.CreateMaterial());
    std::fill(mesh.PolygonMaterial.begin(), mesh.PolygonMaterial.end(), int16_t(0));
}

class PaintSceneTest : public PagedItemTest
{
public:
    static constexpr int32_t ViewSide = 256;

protected:
    void SetUp() override
    {
        PagedItemTest::SetUp();
        std::string error;
        ASSERT_NE(SharedTestWindow("paint", ViewSide, ViewSide, error), 0) << error;
        TarnwickSettings = &Settings;
        Buffer = std::make_unique<TTarnwick_UndoBuffer>(
            TTarnwick_UndoScene{&Tree, &Current, &Layers, &SceneChanged, {}, {}});
        Current = new TTarnwick_Object;
        Current->SetMesh(std::make_unique<TTarnwick_Mesh>());
        Tree->List.Add(Current);
        TarnwickPaintHooks = {};
        TarnwickPaintHooks.Canvas = &Canvas;
        TarnwickPaintHooks.UndoBuffer = [this] { return Buffer.get(); };
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        View.SetCamera(identity, identity, ViewSide, ViewSide, false);
    }

    void TearDown() override
    {
        TarnwickPaintHooks = {};
        TarnwickEvents_ProcessEvents();
        Buffer.reset();
        Tree.reset();
        TarnwickSettings = nullptr;
        PagedItemTest::TearDown();
    }

    TTarnwick_Mesh& Mesh() { return *Current->Mesh; }

    // A white side × side map on the channel of every material of the mesh.
    TZAVMaterialMap& AddMap(const char* channel, int32_t side)
    {
        auto map = std::make_unique<TZAVMaterialMap>();
        EXPECT_TRUE(map->AllocatePixels(side, side));
        TZAVMaterialMap* made = map.release();
        AttachMap(Mesh(), made, channel, "");
        return *made;
    }

    // Press at the first point, drag through the others, release at the last.
    void Stroke(TTarnwick_Tool& tool, std::initializer_list<std::pair<float, float>> points,
                int32_t button = MouseButton_Left)
    {
        Buffer->ActionCounter++;
        auto point = points.begin();
        tool.MouseButton(Mesh(), View, button, ButtonState_Pressed, point->first, point->second);
        for (++point; point != points.end(); ++point)
            tool.MouseDrag(Mesh(), View, point->first, point->second);
        const std::pair<float, float> last = *(points.end() - 1);
        tool.MouseButton(Mesh(), View, button, ButtonState_Released, last.first, last.second);
    }

    // The hand-computed footprint: pixels whose centre lies nearer than radius (less a pixel) to
    // the painted shape must have changed, pixels farther than radius plus `slack` pixels must not.
    static void ExpectFootprint(const TZAVMaterialMap& map, const std::vector<uint8_t>& before,
                                const std::function<float(float x, float y)>& distance, float radius,
                                float slack, const char* what)
    {
        const float pixel = 2.0f / float(map.Width);
        int32_t wrong = 0;
        for (int32_t j = 0; j < map.Height; j++)
            for (int32_t i = 0; i < map.Width; i++) {
                const float nearest = distance(pixel * (float(i) + 0.5f) - 1.0f, pixel * (float(j) + 0.5f) - 1.0f);
                const size_t at = 3 * (size_t(j) * size_t(map.Width) + size_t(i));
                const bool changed = !std::equal(&before[at], &before[at] + 3, &map.Pixels[at]);
                if ((nearest < radius - pixel && !changed) || (nearest > radius + slack * pixel && changed))
                    wrong++;
            }
        EXPECT_EQ(wrong, 0) << what;
    }

    TTarnwick_Settings Settings;
    std::unique_ptr<TTarnwick_ObjectTreeGroup> Tree =
        std::make_unique<TTarnwick_ObjectTreeGroup>(CreateSceneObject);
    TTarnwick_Object* Current = nullptr;
    TTarnwick_LayerList Layers;
    bool SceneChanged = false;
    std::unique_ptr<TTarnwick_UndoBuffer> Buffer;
    TTarnwick_GLPaintCanvas Canvas;
    TTarnwick_ToolView View;
};

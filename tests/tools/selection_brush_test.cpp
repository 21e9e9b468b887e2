#include "tools/selection_brush.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/event_queue.h"
#include "mesh/layer.h"
#include "support/grid_mesh.h"
#include "tools/selection_brush_whole.h"

namespace {

// A grid of columns × rows quads 0.1 apart, x from -columns/20, y from 0, seen face on through an
// orthographic view of 100 × 100 pixels: screen x and y are the scene's x and y.
class SelectionBrush : public testing::Test
{
protected:
    void SetUp() override
    {
        TarnwickToolOptions = {};
        TarnwickSelectionBrushHooks = {};
        SetCamera(Front);
    }
    void TearDown() override
    {
        TarnwickToolOptions = {};
        TarnwickSelectionBrushHooks = {};
        TTarnwick_SelectionBrush::Weights.Forget();
        while (PopEvent() != nullptr) {
        }
    }

    void MakeMesh(int32_t columns, int32_t rows)
    {
        MakeGrid(Mesh, columns, rows, 0.1f);
        Mesh.BuildVisiblePolygons();
        RowLength = columns + 1;
    }
    int32_t Vertex(int32_t column, int32_t row) const { return row * RowLength + column; }
    float Weight(int32_t column, int32_t row)
    {
        return Mesh.CurrentSelection->GetVSelect(Vertex(column, row));
    }
    void SetWeight(int32_t column, int32_t row, float weight)
    {
        Mesh.CurrentSelection->SetVSelect(Vertex(column, row), weight);
    }
    std::vector<float> Weights()
    {
        std::vector<float> weights;
        for (int32_t vertex = 0; vertex < Mesh.GetVertexCount(); vertex++)
            weights.push_back(Mesh.CurrentSelection->GetVSelect(vertex));
        return weights;
    }
    void SetCamera(const float model_view[16])
    {
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        View.SetCamera(model_view, identity, 100, 100, false);
    }
    // Activate, press and release at one point, as the main window drives a click.
    bool Click(TTarnwick_Tool& brush, int32_t button, float x, float y)
    {
        brush.Activate(Mesh);
        const bool pressed = brush.MouseButton(Mesh, View, button, ButtonState_Pressed, x, y);
        brush.MouseButton(Mesh, View, button, ButtonState_Released, x, y);
        return pressed;
    }

    static constexpr float Front[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    // Turned half round about y: the grid shows its back.
    static constexpr float Behind[16] = {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1};
    TTarnwick_Mesh Mesh;
    TTarnwick_ToolView View;
    int32_t RowLength = 0;
};

TEST_F(SelectionBrush, PaintFollowsTheFalloffAndSkipsWhatCannotBeSeen)
{
    MakeMesh(4, 4);
    TTarnwick_DefaultBrush brush;
    brush.Radius = 0.25f;
    SetWeight(0, 2, 1.0f);
    ASSERT_TRUE(Click(brush, MouseButton_Left, 0.0f, 0.2f));
    // cos((d / 0.25) · π/2)^1.8 at d = 0, 0.1, √0.02 and 0.2, worked out by hand.
    EXPECT_FLOAT_EQ(Weight(2, 2), 1.0f);
    EXPECT_NEAR(Weight(3, 2), 0.682848f, 1e-5f);
    EXPECT_NEAR(Weight(3, 3), 0.435968f, 1e-5f);
    EXPECT_NEAR(Weight(4, 2), 0.120773f, 1e-5f);
    EXPECT_NEAR(Weight(2, 0), 0.120773f, 1e-5f);
    // Beyond the circle the weight stays.
    EXPECT_EQ(Weight(0, 2), 1.0f);
    EXPECT_EQ(Weight(4, 4), 0.0f);

    // Painting at half strength levels what lies above it and keeps what lies above half the falloff.
    brush.Strength = 0.5f;
    Click(brush, MouseButton_Left, 0.0f, 0.2f);
    EXPECT_FLOAT_EQ(Weight(2, 2), 0.5f);
    EXPECT_NEAR(Weight(3, 3), 0.435968f, 1e-5f);
    // The right button lowers by the falloff; the selection never holds less than 0.
    brush.Strength = 1.0f;
    Click(brush, MouseButton_Right, 0.0f, 0.2f);
    EXPECT_EQ(Weight(2, 2), 0.0f);
    EXPECT_EQ(Weight(3, 3), 0.0f);
    EXPECT_EQ(Weight(4, 2), 0.0f);

    // An occluded vertex is left alone; seeing through reaches it.
    View.OcclusionTest = [&](const TTarnwick_Mesh&, int32_t vertex) { return vertex == Vertex(3, 2); };
    Click(brush, MouseButton_Left, 0.0f, 0.2f);
    EXPECT_NEAR(Weight(1, 2), 0.682848f, 1e-5f);
    EXPECT_EQ(Weight(3, 2), 0.0f);
    TarnwickToolOptions.SeeThrough = true;
    Click(brush, MouseButton_Left, 0.0f, 0.2f);
    EXPECT_NEAR(Weight(3, 2), 0.682848f, 1e-5f);

    // From behind every vertex faces away: nothing is painted unless the user sees through.
    Mesh.CurrentSelection->Clear();
    TarnwickToolOptions.SeeThrough = false;
    SetCamera(Behind);
    Click(brush, MouseButton_Left, 0.0f, 0.2f);
    EXPECT_EQ(Weights(), std::vector<float>(size_t(Mesh.GetVertexCount()), 0.0f));
    TarnwickToolOptions.SeeThrough = true;
    Click(brush, MouseButton_Left, 0.0f, 0.2f);
    EXPECT_NEAR(Weight(3, 3), 0.435968f, 1e-5f);
}

// A 2 × 2 grid: the centre vertex (1, 1) has four quads around it; the brush reaches it alone.
TEST_F(SelectionBrush, SoftenAndHardenChangeWeightsByTheirRules)
{
    MakeMesh(2, 2);
    TTarnwick_SoftenBrush soften;
    soften.Radius = 0.05f;
    soften.Strength = 0.5f;
    SetWeight(1, 1, 1.0f);
    SetWeight(1, 0, 0.5f);
    soften.Flags &= ~static_cast<uint32_t>(ToolFlag_PaintAtRelease);
    Click(soften, MouseButton_Left, 0.0f, 0.1f);
    // The centre once and (1, 0) twice among 13 corner weights: mean 2/13; 1 + (2/13 - 1) · 0.5.
    EXPECT_NEAR(Weight(1, 1), 15.0f / 26.0f, 1e-6f);
    EXPECT_EQ(Weight(1, 0), 0.5f);
    // Painting again at the release relaxes twice: r + ((r + 1) / 13 - r) · 0.5 with r = 15/26.
    SetWeight(1, 1, 1.0f);
    soften.Flags |= ToolFlag_PaintAtRelease;
    Click(soften, MouseButton_Left, 0.0f, 0.1f);
    EXPECT_NEAR(Weight(1, 1), 0.349112f, 1e-5f);

    TTarnwick_HardenBrush harden;
    harden.Radius = 0.05f;
    harden.Strength = 0.5f;
    harden.Flags &= ~static_cast<uint32_t>(ToolFlag_PaintAtRelease);
    SetWeight(1, 1, 0.6f);
    SetWeight(0, 0, 0.1f);
    Click(harden, MouseButton_Left, 0.0f, 0.1f);
    Click(harden, MouseButton_Left, -0.1f, 0.0f);
    // Above 0.1: 0.5 · 0.6 + 0.5; at 0.1: 0.5 · 0.1.
    EXPECT_NEAR(Weight(1, 1), 0.8f, 1e-6f);
    EXPECT_NEAR(Weight(0, 0), 0.05f, 1e-6f);
    EXPECT_EQ(Weight(1, 0), 0.5f);
}

// Columns 0-1 of quads form group and material 0, columns 2-3 group and material 1.
TEST_F(SelectionBrush, WholePieceBrushesSelectExactlyTheirPieces)
{
    MakeMesh(4, 2);
    for (const char* name : {"Left", "Right"}) {
        TZAVGroup2* group = Mesh.CreateGroup2();
        group->SetNameLiteral(name);
        Mesh.Groups2.Add(group);
        TZAVMaterial* material = Mesh.CreateMaterial();
        material->SetNameLiteral(name);
        Mesh.Materials.Add(material);
    }
    for (int32_t polygon = 0; polygon < Mesh.GetPolygonCount(); polygon++) {
        Mesh.PolygonGroup[polygon] = int16_t(polygon % 4 >= 2);
        Mesh.PolygonMaterial[polygon] = int16_t(polygon % 4 >= 2);
    }
    auto selected_columns = [&](int32_t first, int32_t last) {
        std::vector<float> expected;
        for (int32_t row = 0; row <= 2; row++)
            for (int32_t column = 0; column <= 4; column++)
                expected.push_back(column >= first && column <= last ? 1.0f : 0.0f);
        return expected;
    };
    TTarnwick_SelectGroupBrush group_brush;
    group_brush.Radius = 0.05f;
    Click(group_brush, MouseButton_Left, 0.2f, 0.1f);
    EXPECT_EQ(Weights(), selected_columns(2, 4));
    Click(group_brush, MouseButton_Right, 0.2f, 0.1f);
    EXPECT_EQ(Weights(), selected_columns(5, 5));

    // The vertex at the border of the two materials takes both.
    TTarnwick_SelectMaterialBrush material_brush;
    material_brush.Radius = 0.05f;
    Click(material_brush, MouseButton_Left, 0.0f, 0.1f);
    EXPECT_EQ(Weights(), selected_columns(0, 4));
    Click(material_brush, MouseButton_Right, -0.2f, 0.0f);
    EXPECT_EQ(Weights(), selected_columns(3, 4));

    // A layer hides column 2 of quads: the element flood stops at its vertices.
    Mesh.CurrentSelection->Clear();
    for (int32_t polygon : {2, 6})
        Mesh.PolygonFlags[polygon] |= PolygonFlag_Hidden;
    for (int32_t row = 0; row <= 2; row++)
        for (int32_t column : {2, 3})
            Mesh.VertexFlags[Vertex(column, row)] |= VertexFlag_Hidden;
    TTarnwick_SelectElementBrush element;
    element.Radius = 0.05f;
    Click(element, MouseButton_Left, -0.2f, 0.2f);
    EXPECT_EQ(Weights(), selected_columns(0, 1));

    // The layer brush puts the quads with a corner under it into the current layer.
    TTarnwick_LayerList layers;
    TTarnwick_LayerBrush layer_brush;
    layer_brush.Layers = &layers;
    layer_brush.Radius = 0.05f;
    layers.SetCurrentLayer(3);
    Click(layer_brush, MouseButton_Left, -0.1f, 0.1f);
    for (int32_t polygon = 0; polygon < Mesh.GetPolygonCount(); polygon++)
        EXPECT_EQ(Mesh.PolygonLayerFlags[polygon],
                  polygon == 0 || polygon == 1 || polygon == 4 || polygon == 5 ? LayerBit(3) : 0u)
            << polygon;
    // Not on a locked layer.
    layers.GetLayer(3)->Locked = 1;
    Click(layer_brush, MouseButton_Right, -0.1f, 0.1f);
    EXPECT_EQ(Mesh.PolygonLayerFlags[0], LayerBit(3));
}

TEST_F(SelectionBrush, UndoCopyRestoresAndRefusedStrokesChangeNothing)
{
    MakeMesh(4, 4);
    // Each record put back over the weights after it gives the weights before its stroke.
    std::vector<std::vector<float>> undo_copies;
    TarnwickSelectionBrushHooks.RecordUndo = [&](TTarnwick_Mesh& mesh, std::span<const int32_t> vertices,
                                                 std::span<const float> old_weights) {
        undo_copies.emplace_back();
        for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++)
            undo_copies.back().push_back(mesh.CurrentSelection->GetVSelect(vertex));
        for (size_t i = 0; i < vertices.size(); i++)
            undo_copies.back()[vertices[i]] = old_weights[i];
    };
    SetWeight(1, 1, 0.3f);
    const std::vector<float> before = Weights();
    TTarnwick_FractalBrush brush;
    brush.Radius = 0.3f;
    brush.Activate(Mesh);
    ASSERT_TRUE(brush.MouseButton(Mesh, View, MouseButton_Left, ButtonState_Pressed, 0.0f, 0.2f));
    EXPECT_TRUE(brush.MouseDrag(Mesh, View, 0.1f, 0.2f));
    brush.MouseButton(Mesh, View, MouseButton_Left, ButtonState_Released, 0.1f, 0.2f);
    ASSERT_EQ(undo_copies.size(), 1u);
    EXPECT_EQ(undo_copies[0], before);
    EXPECT_NE(Weights(), before);

    // A read-only selection: nothing recorded, painted or committed, for the whole stroke.
    Mesh.CurrentSelection->ReadOnly = true;
    const std::vector<float> painted = Weights();
    TTarnwick_DefaultBrush paint;
    paint.Activate(Mesh);
    EXPECT_FALSE(paint.MouseButton(Mesh, View, MouseButton_Left, ButtonState_Pressed, 0.0f, 0.2f));
    EXPECT_FALSE(paint.MouseDrag(Mesh, View, 0.1f, 0.1f));
    EXPECT_FALSE(paint.MouseButton(Mesh, View, MouseButton_Left, ButtonState_Released, 0.1f, 0.1f));
    EXPECT_EQ(Weights(), painted);
    EXPECT_EQ(undo_copies.size(), 1u);

    // Without a current selection the selection panel is asked for.
    TTarnwick_Selection* selection = Mesh.CurrentSelection;
    selection->ReadOnly = false;
    Mesh.CurrentSelection = nullptr;
    while (PopEvent() != nullptr) {
    }
    EXPECT_FALSE(Click(paint, MouseButton_Left, 0.0f, 0.2f));
    std::unique_ptr<TZAVEvent> event = PopEvent();
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->GetID(), ChooseSelectionCommand);
    Mesh.CurrentSelection = selection;
    EXPECT_EQ(Weights(), painted);
}

} // namespace

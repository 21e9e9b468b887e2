// The deformers on a flat 4 × 2 quad grid seen straight down the Z axis: vertex j · 5 + i sits at
// (i - 2, j, 0), and the view maps x and y to the screen unchanged. Each stroke is a press, one drag
// and a release; the expected displacements are worked out by hand.
#include "tools/deformer.h"
#include "tools/deformer_smooth.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "core/event_queue.h"
#include "files/settings.h"
#include "mesh/layer.h"
#include "mesh/scene_object.h"
#include "paint/undo_buffer.h"
#include "support/paged_items.h"
#include "support/scripted_dialogs.h"
#include "support/sculpt_meshes.h"

namespace {

const float Identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
constexpr int32_t Raised = 7;

struct TVertexMove
{
    int32_t Vertex;
    float Weight;
    float Expected[3];
};

struct TStrokeCase
{
    const char* Name;
    std::function<TTarnwick_Deformer*()> Make;
    int32_t Width, Height;
    float From[2], To[2];
    // Vertex 7 lifted to z = 1 in the base shape.
    bool Raise;
    TVertexMove Moves[3];
};

class Deformer : public PagedItemTest
{
protected:
    void SetUp() override
    {
        PagedItemTest::SetUp();
        TarnwickSettings = &Settings;
        TarnwickToolOptions = {};
        TarnwickDeformerOptions = {};
        Buffer = std::make_unique<TTarnwick_UndoBuffer>(
            TTarnwick_UndoScene{&Tree, &Current, &Layers, &SceneChanged, {}, {}});
        TarnwickDeformerOptions.RecordMorphUndo = [this](TTarnwick_Mesh&, std::span<const int32_t> vertices,
                                                         std::span<const float> old_deltas) {
            Buffer->ActionCounter++;
            Buffer->AddUndoNode(Buffer->CreatePatch(UndoType_Morph, vertices, old_deltas));
        };
        Current = new TTarnwick_Object;
        Current->SetMesh(std::make_unique<TTarnwick_Mesh>());
        Tree->List.Add(Current);
        MakeGrid(*Current->Mesh, 4, 2);
    }

    void TearDown() override
    {
        TarnwickDeformerOptions = {};
        TarnwickEvents_ProcessEvents();
        Buffer.reset();
        Tree.reset();
        TarnwickSettings = nullptr;
        PagedItemTest::TearDown();
    }

    TTarnwick_Mesh& Mesh() { return *Current->Mesh; }

    void Shape(bool raise)
    {
        for (int32_t vertex = 0; vertex < Mesh().GetVertexCount(); vertex++)
            Mesh().Vertices[3 * vertex + 2] = vertex == Raised && raise ? 1.0f : 0.0f;
        Mesh().ResolveVertices();
        Mesh().ComputeNormals(TZAVNormalScope::All);
    }

    void Select(std::initializer_list<std::pair<int32_t, float>> weights)
    {
        for (auto [vertex, weight] : weights)
            Mesh().CurrentSelection->SetVSelect(vertex, weight);
    }

    void Press(TTarnwick_Deformer& tool, float x, float y, bool expected = true)
    {
        tool.Activate(Mesh());
        EXPECT_EQ(tool.MouseButton(Mesh(), View, MouseButton_Left, ButtonState_Pressed, x, y), expected);
    }

    void Release(TTarnwick_Deformer& tool, float x, float y)
    {
        tool.MouseButton(Mesh(), View, MouseButton_Left, ButtonState_Released, x, y);
    }

    void Stroke(TTarnwick_Deformer& tool, float x, float y, float to_x, float to_y)
    {
        Press(tool, x, y);
        EXPECT_TRUE(tool.MouseDrag(Mesh(), View, to_x, to_y));
        Release(tool, to_x, to_y);
    }

    std::vector<float> Deltas() { return DenseDeltas(*Mesh().CurrentMorph); }

    void ExpectMoved(const std::vector<float>& before, const std::vector<float>& after, int32_t vertex,
                     const float expected[3], const char* what)
    {
        for (int32_t k = 0; k < 3; k++)
            EXPECT_NEAR(after[3 * vertex + k] - before[3 * vertex + k], expected[k], 2e-5f)
                << what << ", vertex " << vertex << ", axis " << k;
    }

    TTarnwick_Settings Settings;
    std::unique_ptr<TTarnwick_ObjectTreeGroup> Tree =
        std::make_unique<TTarnwick_ObjectTreeGroup>(CreateSceneObject);
    TTarnwick_Object* Current = nullptr;
    TTarnwick_LayerList Layers;
    bool SceneChanged = false;
    std::unique_ptr<TTarnwick_UndoBuffer> Buffer;
    TTarnwick_ToolView View;
};

TTarnwick_Deformer* MakePlainSmooth()
{
    auto* smooth = new TTarnwick_Smooth;
    smooth->NoShrink = false;
    return smooth;
}

const TStrokeCase StrokeCases[] = {
    // D = (dx, dy · aspect 0.5, 0) = (0.3, 0.2, 0), times the weight.
    {"move",
     [] { return new TTarnwick_MoveInPlane; },
     200,
     100,
     {0, 0},
     {0.3f, 0.4f},
     false,
     {{6, 1, {0.3f, 0.2f, 0}}, {7, 0.5f, {0.15f, 0.1f, 0}}, {8, 0.25f, {0.075f, 0.05f, 0}}}},
    // 50 degrees per unit of dy (200 pixels / 4): 90° · w about -Z through the origin.
    {"rotate",
     [] { return new TTarnwick_Rotate; },
     100,
     200,
     {0, 0},
     {0, 1.8f},
     false,
     {{9, 1, {-1, -3, 0}},                           // (2, 1) -> (1, -2)
      {8, 0.5f, {0.4142136f, -1, 0}},                // (1, 1) by 45° -> (√2, 0)
      {7, 0.25f, {0.3826834f, 0.9238795f - 1, 0}}}}, // (0, 1) by 22.5°
    // s = 0.5; offset from the press point (1, 0) on screen, times s · w.
    {"pinch",
     [] { return new TTarnwick_Pinch; },
     100,
     100,
     {1, 0},
     {1.5f, 0.3f},
     false,
     {{9, 1, {0.5f, 0.5f, 0}}, {8, 1, {0, 0.5f, 0}}, {14, 0.5f, {0.25f, 0.5f, 0}}}},
    // s = 0.5; centre z = 0.5 / 2 = 0.25, pivot (0.5, 0.5, 0.25); (p - pivot) · s · w.
    {"scale",
     [] { return new TTarnwick_Scale; },
     100,
     100,
     {0.5f, 0.5f},
     {1, 0.2f},
     true,
     {{9, 1, {0.75f, 0.25f, -0.125f}},
      {8, 0.5f, {0.125f, 0.125f, -0.0625f}},
      {7, 0.5f, {-0.125f, 0.125f, 0.1875f}}}},
    // s = 0.5 along the normal +Z, times w.
    {"bulge",
     [] { return new TTarnwick_Bulge; },
     100,
     100,
     {0, 0},
     {0.5f, 0},
     false,
     {{6, 1, {0, 0, 0.5f}}, {7, 0.5f, {0, 0, 0.25f}}, {8, 0.25f, {0, 0, 0.125f}}}},
    // One pass of 0.5 towards the average of the vertex and its 12 (or 6) corners.
    {"smooth",
     MakePlainSmooth,
     100,
     100,
     {0, 0},
     {0.5f, 0},
     true,
     {{7, 1, {0, 0, 0.5f / 13 - 0.5f}},      // a.z = 1/13
      {6, 1, {0, 0, 1.0f / 13}},             // a.z = 2/13
      {2, 0.5f, {0, 1.0f / 7, 1.0f / 14}}}}, // t = 0.25, a = (0, 4/7, 2/7)
    // Plane z = 0.5 / 2.5 = 0.2 with normal +Z; s = 0.5; h · s · w.
    {"flatten",
     [] { return new TTarnwick_Flatten; },
     100,
     100,
     {0, 0},
     {0.5f, 0.7f},
     true,
     {{0, 1, {0, 0, 0.1f}}, {4, 1, {0, 0, 0.1f}}, {7, 0.5f, {0, 0, -0.2f}}}},
};

TEST_F(Deformer, EachKindMovesTheSelectionAsWorkedOutByHand)
{
    for (const TStrokeCase& test : StrokeCases) {
        Mesh().CurrentMorph->Clear();
        Shape(test.Raise);
        Mesh().CurrentSelection->Clear();
        for (const TVertexMove& move : test.Moves)
            Select({{move.Vertex, move.Weight}});
        View.SetCamera(Identity, Identity, test.Width, test.Height, false);
        std::unique_ptr<TTarnwick_Deformer> tool(test.Make());
        const std::vector<float> press = Mesh().DisplayedVertices;

        Press(*tool, test.From[0], test.From[1]);
        // A drag on the way shows a step of its own; the last drag starts again from the press.
        ASSERT_TRUE(tool->MouseDrag(Mesh(), View, (test.From[0] + 3 * test.To[0]) / 4,
                                    (test.From[1] + 3 * test.To[1]) / 4))
            << test.Name;
        ASSERT_TRUE(tool->MouseDrag(Mesh(), View, test.To[0], test.To[1])) << test.Name;
        for (const TVertexMove& move : test.Moves)
            ExpectMoved(press, Mesh().DisplayedVertices, move.Vertex, move.Expected, test.Name);
        Release(*tool, test.To[0], test.To[1]);

        const std::vector<float> zero(press.size(), 0.0f);
        for (const TVertexMove& move : test.Moves)
            ExpectMoved(zero, Deltas(), move.Vertex, move.Expected, test.Name);
        EXPECT_EQ(DenseDeltas(*Mesh().TempMorph), zero) << test.Name;
    }
}

TEST_F(Deformer, UnmorphTakesOffTheWeightedShareOfTheMorph)
{
    SetDelta(*Mesh().CurrentMorph, 6, 0.2f, 0, 0.4f);
    SetDelta(*Mesh().CurrentMorph, 7, 0, 0, 1);
    SetDelta(*Mesh().CurrentMorph, 8, 0.4f, 0.4f, 0);
    Shape(false);
    Select({{6, 1}, {7, 0.5f}, {8, 0.25f}});
    View.SetCamera(Identity, Identity, 100, 100, false);
    TTarnwick_Unmorph unmorph;
    const std::vector<float> before = Deltas();

    // s = 0.5: factor -s · w of the morph's delta.
    Stroke(unmorph, 0, 0, 0.5f, 0);
    const float expected[3][3] = {{-0.1f, 0, -0.2f}, {0, 0, -0.25f}, {-0.05f, -0.05f, 0}};
    for (int32_t i = 0; i < 3; i++)
        ExpectMoved(before, Deltas(), 6 + i, expected[i], "unmorph");

    // Far right removes the morph where the weight is 1; dragging left does nothing.
    Stroke(unmorph, 0, 0, 5, 0);
    EXPECT_EQ(Deltas()[3 * 6 + 2], 0.0f);
    const std::vector<float> far = Deltas();
    Stroke(unmorph, 0, 0, -1, 0);
    EXPECT_EQ(Deltas(), far);
}

TEST_F(Deformer, SymmetryMovesTheMirrorVertexByTheMirroredAmount)
{
    Shape(false);
    Mesh().BuildMirrorTables(4);
    TarnwickDeformerOptions.Symmetry = true;
    Select({{8, 1}, {7, 1}});
    View.SetCamera(Identity, Identity, 200, 100, false);
    TTarnwick_MoveInPlane move;

    Stroke(move, 0, 0, 0.3f, 0.4f);
    const std::vector<float> zero(Deltas().size(), 0.0f);
    const float source[3] = {0.3f, 0.2f, 0};
    const float mirrored[3] = {-0.3f, 0.2f, 0};
    // On the mirror plane the component across it is dropped.
    const float on_plane[3] = {0, 0.2f, 0};
    ExpectMoved(zero, Deltas(), 8, source, "source");
    ExpectMoved(zero, Deltas(), 6, mirrored, "mirror");
    ExpectMoved(zero, Deltas(), 7, on_plane, "on the plane");

    // Given a mirror axis (as the head template tool does), the negative side moves mirrored.
    float out[3];
    move.DeformVertex(Mesh(), 6, source, 1, nullptr, nullptr, out, 0);
    ExpectMoved(zero, std::vector<float>(out, out + 3), 0, mirrored, "mirror axis");
    move.DeformVertex(Mesh(), 8, source, 1, nullptr, nullptr, out, 0);
    ExpectMoved(zero, std::vector<float>(out, out + 3), 0, source, "mirror axis, positive side");
}

// The drags leave the octree and the views' screen positions to the release, which brings both up
// to date with everything the stroke moved.
TEST_F(Deformer, AfterAStrokeTheOctreeAndTheViewsFindTheMovedVertices)
{
    Shape(false);
    Select({{6, 1}, {7, 1}});
    View.SetCamera(Identity, Identity, 100, 100, false);
    Mesh().BuildOctree();
    View.UpdateScreenPositions(Mesh());
    TTarnwick_Bulge bulge;
    Press(bulge, 0, 0);
    ASSERT_TRUE(bulge.MouseDrag(Mesh(), View, 0.3f, 0));
    ASSERT_TRUE(bulge.MouseDrag(Mesh(), View, 0.6f, 0));
    Release(bulge, 0.6f, 0);

    const float* moved = &Mesh().DisplayedVertices[3 * 7];
    ASSERT_GT(moved[2], 0.5f);
    std::vector<int32_t> vertices, polygons;
    Mesh().GetOctree()->QuerySphere(moved, 1e-3f, vertices, polygons);
    EXPECT_EQ(vertices, std::vector<int32_t>{7});
    View.UpdateScreenPositions(Mesh());
    TTarnwick_ToolView fresh;
    fresh.SetCamera(Identity, Identity, 100, 100, false);
    fresh.UpdateScreenPositions(Mesh());
    EXPECT_EQ(View.Screen, fresh.Screen);
}

TEST_F(Deformer, DraggingBackRestoresThePressShapeAndUndoRestoresTheMorph)
{
    SetDelta(*Mesh().CurrentMorph, 7, 0.1f, 0.2f, 0.3f);
    Shape(true);
    Select({{6, 1}, {7, 0.75f}, {12, 0.5f}});
    View.SetCamera(Identity, Identity, 100, 100, false);
    TTarnwick_Smooth smooth;
    const std::vector<float> before = Deltas();
    const std::vector<float> press = Mesh().DisplayedVertices;
    const std::vector<float> normals = Mesh().Normals;

    Press(smooth, 0, 0);
    ASSERT_TRUE(smooth.MouseDrag(Mesh(), View, 1.7f, 0));
    ASSERT_NE(Mesh().DisplayedVertices, press);
    ASSERT_TRUE(smooth.MouseDrag(Mesh(), View, 0, 0));
    EXPECT_EQ(Mesh().DisplayedVertices, press);
    EXPECT_EQ(Mesh().Normals, normals);
    ASSERT_TRUE(smooth.MouseDrag(Mesh(), View, 1.7f, 0));
    Release(smooth, 1.7f, 0);
    ASSERT_NE(Deltas(), before);

    Buffer->Undo();
    EXPECT_EQ(Deltas(), before);
}

TEST_F(Deformer, StrokesWithoutAWritableMorphAreRefusedAndChangeNothing)
{
    Shape(false);
    Select({{6, 1}, {7, 1}});
    View.SetCamera(Identity, Identity, 100, 100, false);
    TTarnwick_Bulge bulge;
    TTarnwick_Morph* morph = Mesh().CurrentMorph;
    const std::vector<float> press = Mesh().DisplayedVertices;
    ScriptedDialogs dialogs;

    Mesh().SetCurrentMorph(nullptr);
    Press(bulge, 0, 0, false);
    EXPECT_FALSE(bulge.MouseDrag(Mesh(), View, 0.5f, 0));
    Release(bulge, 0.5f, 0);
    EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Message, "Please choose a morph target first"));

    Mesh().SetCurrentMorph(morph);
    morph->ReadOnly = true;
    Press(bulge, 0, 0, false);
    EXPECT_FALSE(bulge.MouseDrag(Mesh(), View, 0.5f, 0));
    Release(bulge, 0.5f, 0);
    EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Message, "designated as read-only"));
    EXPECT_EQ(Mesh().DisplayedVertices, press);
    EXPECT_EQ(DenseDeltas(*morph), std::vector<float>(press.size(), 0.0f));

    // Made read-only during the stroke: the release keeps the morph and takes the step off.
    morph->ReadOnly = false;
    Press(bulge, 0, 0);
    ASSERT_TRUE(bulge.MouseDrag(Mesh(), View, 0.5f, 0));
    morph->ReadOnly = true;
    EXPECT_FALSE(bulge.MouseDrag(Mesh(), View, 0.7f, 0));
    Release(bulge, 0.7f, 0);
    EXPECT_EQ(DenseDeltas(*morph), std::vector<float>(press.size(), 0.0f));
    EXPECT_EQ(Mesh().DisplayedVertices, press);
}

} // namespace

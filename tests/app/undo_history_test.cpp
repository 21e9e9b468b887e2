// Undo and redo over a long history made the way the application makes it: selection-brush and
// deformer strokes driven through the tools with the hooks the toolbox installs, and renames, on
// the process-wide project. A grid 1 unit wide lies in the plane of the screen of a fixed
// orthographic view, so screen x and y are the scene's x and y.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/toolbox.h"
#include "core/event_queue.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/scene_object.h"
#include "paint/undo_buffer.h"
#include "support/paged_items.h"
#include "support/scripted_dialogs.h"
#include "support/sculpt_meshes.h"
#include "tools/brush.h"
#include "tools/selection_brush.h"
#include "tools/tool.h"

namespace {

const float Identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
// The default, bitmap, soften, harden and fractal brushes lead the tool bar.
constexpr int32_t PaintingBrushes = 5;

// Everything an undo may have to put back.
struct TSnapshot
{
    std::vector<std::string> Names;
    // The weights of each selection and the displacements of each morph, in tree order.
    std::vector<std::vector<float>> Weights;
    std::vector<std::vector<float>> Deltas;
    std::vector<float> Displayed;
    std::vector<float> Normals;
    bool operator==(const TSnapshot&) const = default;
};

std::string FirstDifference(const TSnapshot& got, const TSnapshot& expected)
{
    if (got.Names != expected.Names)
        return "names";
    if (got.Weights != expected.Weights)
        return "selection weights";
    if (got.Deltas != expected.Deltas)
        return "morph displacements";
    return got.Displayed != expected.Displayed ? "displayed positions" : "normals";
}

class UndoHistory : public PagedItemTest
{
protected:
    void SetUp() override
    {
        PagedItemTest::SetUp();
        TarnwickSettings = &Settings;
        TarnwickToolOptions = {};
        // The bitmap brush starts with the stamp in the build's Data folder.
        const std::string data = TARNWICK_BUILD_DATA;
        TarnwickApp.ProgramFolder = data.substr(0, data.size() - std::string("Data/").size());
        ApplicationToolbox();
        View.SetCamera(Identity, Identity, 100, 100, false);
    }

    void TearDown() override
    {
        TTarnwick_SelectionBrush::Weights.Forget();
        DrainEvents();
        TarnwickProject = nullptr;
        Project.reset();
        TarnwickSettings = nullptr;
        PagedItemTest::TearDown();
    }

    static void DrainEvents()
    {
        while (PopEvent() != nullptr) {
        }
    }

    // A fresh project holding a columns × rows grid with two selections, the writable current morph
    // the deformers change and a second morph that only renames change. Which morph is current
    // decides the displayed positions, and choosing one is no action, so it stays.
    void NewProject(int32_t columns, int32_t rows)
    {
        TTarnwick_SelectionBrush::Weights.Forget();
        TarnwickProject = nullptr;
        Project = std::make_unique<TTarnwick_Project>();
        TarnwickProject = Project.get();
        auto* object = new TTarnwick_Object;
        object->SetNameLiteral("Figure");
        object->SetMesh(std::make_unique<TTarnwick_Mesh>());
        TTarnwick_Mesh& mesh = *object->Mesh;
        MakeGrid(mesh, columns, rows, 1.0f / float(columns));
        mesh.BuildVisiblePolygons();
        Morphs = {mesh.CurrentMorph, mesh.NewMorph(-1)};
        SetDelta(*Morphs[1], 3, 0.5f, -0.25f, 1.0f);
        Selections = {mesh.CurrentSelection, mesh.NewSelection(-1)};
        Project->AddObject(object);
        Seed = 2024;
    }

    TTarnwick_Mesh& Mesh() { return *Project->CurrentObject->Mesh; }
    TTarnwick_UndoBuffer& Undo() { return Project->UndoBuffer; }

    uint32_t Next(uint32_t range)
    {
        Seed = Seed * 1664525u + 1013904223u;
        return (Seed >> 8) % range;
    }
    float NextIn(float low, float high) { return low + (high - low) * float(Next(1000)) / 1000.0f; }

    // A press, two drags and a release, as the main window hands them to the current tool.
    void Stroke(TTarnwick_Tool& tool, int32_t button)
    {
        const float x = NextIn(-0.35f, 0.35f), y = NextIn(0.1f, 0.7f);
        const float to_x = x + NextIn(-0.15f, 0.15f), to_y = y + NextIn(-0.15f, 0.15f);
        TTarnwick_Mesh& mesh = Mesh();
        tool.Activate(mesh);
        tool.MouseButton(mesh, View, button, ButtonState_Pressed, x, y);
        tool.MouseDrag(mesh, View, (x + to_x) / 2, (y + to_y) / 2);
        tool.MouseDrag(mesh, View, to_x, to_y);
        tool.MouseButton(mesh, View, button, ButtonState_Released, to_x, to_y);
        DrainEvents();
    }

    // The brush is one of the painting brushes, the button left or right; -1 chooses at random.
    void BrushStroke(int32_t selection, int32_t brush, int32_t button)
    {
        Mesh().SetCurrentSelection(Selections[selection], TZAVOldSelection::Compress);
        TTarnwick_Tool* tool = nullptr;
        ApplicationToolbox().Brushes.Get(tool, brush >= 0 ? brush : int32_t(Next(PaintingBrushes)));
        static_cast<TTarnwick_Brush*>(tool)->Radius = 0.3f;
        Stroke(*tool, button >= 0 ? button : Next(4) == 0 ? MouseButton_Right : MouseButton_Left);
    }

    void DeformerStroke()
    {
        const TZAVMultiList<TTarnwick_Tool*>& deformers = ApplicationToolbox().Transforms;
        TTarnwick_Tool* tool = nullptr;
        while (tool == nullptr)
            deformers.Get(tool, int32_t(Next(uint32_t(deformers.Count()))));
        Stroke(*tool, MouseButton_Left);
    }

    // A rename: the old name is recorded, then the new one set.
    void Rename(TTarnwick_Thingy& item, const std::string& name)
    {
        TTarnwick_UndoNodePtr record = Undo().CreateUndoNode(UndoType_Rename, -1);
        ASSERT_NE(record, nullptr);
        record->ItemID = item.ID;
        record->SavedName = item.Name;
        record->HasName = true;
        Undo().AddUndoNode(std::move(record));
        item.SetNameLiteral(name);
    }

    // One user action; the main window raises the counter for every press and key.
    void Act(int32_t index)
    {
        Undo().ActionCounter++;
        const std::string name = "Name " + std::to_string(index);
        // Both selections get weights first, so that the deformers have something to move.
        if (index < 2) {
            BrushStroke(index, 0, MouseButton_Left);
            return;
        }
        switch (Next(5)) {
        case 0:
        case 1:
            BrushStroke(int32_t(Next(2)), -1, -1);
            break;
        case 2:
        case 3:
            DeformerStroke();
            break;
        default: {
            TTarnwick_Thingy* items[] = {Morphs[0], Morphs[1], Selections[0], Selections[1],
                                         Project->CurrentObject};
            Rename(*items[Next(5)], name);
        }
        }
    }

    TSnapshot Snapshot()
    {
        TSnapshot snapshot;
        TTarnwick_Mesh& mesh = Mesh();
        snapshot.Names.push_back(Project->CurrentObject->Name);
        std::vector<TTarnwick_TreeRow> rows;
        TTarnwick_TreeGroup::FlattenTree(mesh.SelectionTree.get(), rows);
        for (const TTarnwick_TreeRow& row : rows)
            if (auto* selection = dynamic_cast<TTarnwick_Selection*>(row.Item)) {
                snapshot.Names.push_back(selection->Name);
                snapshot.Weights.emplace_back();
                for (int32_t vertex = 0; vertex < selection->vcount; vertex++)
                    snapshot.Weights.back().push_back(selection->GetVSelect(vertex));
            }
        rows.clear();
        TTarnwick_TreeGroup::FlattenTree(mesh.MorphTree.get(), rows);
        for (const TTarnwick_TreeRow& row : rows)
            if (auto* morph = dynamic_cast<TTarnwick_Morph*>(row.Item)) {
                snapshot.Names.push_back(morph->Name);
                snapshot.Deltas.push_back(DenseDeltas(*morph));
            }
        snapshot.Displayed = mesh.DisplayedVertices;
        snapshot.Normals = mesh.Normals;
        return snapshot;
    }

    // Runs the idle slice the main window runs between events.
    void Idle(bool idle)
    {
        if (idle)
            Undo().OptimzeUndoNodes(0.033);
    }

    TTarnwick_Settings Settings;
    std::unique_ptr<TTarnwick_Project> Project;
    TTarnwick_ToolView View;
    std::vector<TTarnwick_Morph*> Morphs;
    std::vector<TTarnwick_Selection*> Selections;
    uint32_t Seed = 0;
};

#define ASSERT_STATE(expected, what)                                                                         \
    do {                                                                                                     \
        const TSnapshot got = Snapshot();                                                                    \
        ASSERT_TRUE(got == (expected)) << what << ": " << FirstDifference(got, expected);                    \
    } while (false)

// The second round runs the idle slice after every action, undo and redo: records are compressed
// and paged out between them.
TEST_F(UndoHistory, FiftyMixedActionsUndoAndRedoToEveryState)
{
    constexpr int32_t Actions = 50;
    for (bool idle : {false, true}) {
        SCOPED_TRACE(idle ? "with idle work" : "without idle work");
        NewProject(20, 16);
        std::vector<TSnapshot> states{Snapshot()};
        int32_t changed = 0;
        for (int32_t action = 0; action < Actions; action++) {
            Act(action);
            Idle(idle);
            states.push_back(Snapshot());
            changed += states.back() != states[states.size() - 2];
        }
        // Nearly every stroke changes something, or the comparisons below prove little.
        EXPECT_GE(changed, Actions * 4 / 5);
        if (idle) {
            while (!Undo().OptimzeUndoNodes(0.033)) {
            }
            EXPECT_TRUE(Undo().Newest()->Optimised);
        }

        for (int32_t action = Actions; action > 0; action--) {
            // The display drew the selection; restored weights must have it drawn again.
            Mesh().SelectionDisplayStale = false;
            Undo().Undo();
            DrainEvents();
            Idle(idle);
            ASSERT_STATE(states[size_t(action - 1)], "undo to " << action - 1);
            if (states[size_t(action)].Weights != states[size_t(action - 1)].Weights) {
                EXPECT_TRUE(Mesh().SelectionDisplayStale) << "undo to " << action - 1;
            }
        }
        {
            ScriptedDialogs dialogs;
            Undo().Undo();
            EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Message));
            ASSERT_STATE(states[0], "undo with nothing left");
        }
        for (int32_t action = 1; action <= Actions; action++) {
            Undo().Redo();
            DrainEvents();
            Idle(idle);
            ASSERT_STATE(states[size_t(action)], "redo to " << action);
        }

        // A new action after some undos leaves nothing to redo; undo still goes back through it.
        for (int32_t step = 0; step < 3; step++)
            Undo().Undo();
        Act(Actions);
        const TSnapshot after_new = Snapshot();
        EXPECT_EQ(Undo().RedoCount(), 0);
        {
            ScriptedDialogs dialogs;
            Undo().Redo();
            EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Message, "nothing to redo"));
            ASSERT_STATE(after_new, "redo after a new action");
        }
        Undo().Undo();
        ASSERT_STATE(states[Actions - 3], "undo of the new action");
        Undo().Undo();
        ASSERT_STATE(states[Actions - 4], "undo before the new action");
    }
}

// Each selection record holds 4 bytes per vertex of a 25,000-vertex grid; every third action also
// moves the figure within the same press, so it has two records.
TEST_F(UndoHistory, SmallLimitDropsTheOldestWholeActions)
{
    constexpr int32_t Actions = 24;
    constexpr int64_t Limit = 1 << 20;
    Settings.UndoLimit = 1;
    NewProject(180, 140);
    std::vector<TSnapshot> states{Snapshot()};
    for (int32_t action = 0; action < Actions; action++) {
        Undo().ActionCounter++;
        BrushStroke(0, 0, MouseButton_Left);
        if (action % 3 == 2)
            DeformerStroke();
        states.push_back(Snapshot());
        ASSERT_LE(Undo().MemoryUse(), Limit) << "after action " << action;
    }

    int32_t undone = 0;
    for (;; undone++) {
        ScriptedDialogs dialogs;
        Undo().Undo();
        DrainEvents();
        if (dialogs.Shown(TZAVDialogKind::Message))
            break;
        ASSERT_LE(Undo().MemoryUse(), Limit) << "after undo " << undone + 1;
        ASSERT_STATE(states[size_t(Actions - 1 - undone)], "undo " << undone + 1);
    }
    // The oldest went, the newest stayed, and nothing left was half an action.
    EXPECT_GE(undone, 1);
    EXPECT_LT(undone, Actions);
    ASSERT_STATE(states[size_t(Actions - undone)], "undo past what is left");

    for (int32_t redone = 1; redone <= undone; redone++) {
        Undo().Redo();
        DrainEvents();
        ASSERT_LE(Undo().MemoryUse(), Limit) << "after redo " << redone;
        ASSERT_STATE(states[size_t(Actions - undone + redone)], "redo " << redone);
    }
}

} // namespace

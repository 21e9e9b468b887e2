// The layer commands: refusals and their channels, membership edits from the selection, layer
// selections, the lock cycle, display flags, colour, names and the interface hooks.
#include "mesh/layer_commands.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/event.h"
#include "core/event_queue.h"
#include "core/paths.h"
#include "core/tree_group.h"
#include "support/paged_items.h"
#include "support/scripted_dialogs.h"
#include "support/strip_mesh.h"

namespace {

struct HookCalls
{
    int32_t Refreshed = 0;
    int32_t Rebuilt = 0;
    int32_t Redrawn = 0;
    int32_t BrushSelected = 0;
    int32_t SelectionRefreshed = 0;
    std::vector<void*> MainWindowContexts;
};

HookCalls& CallsOf(void* data)
{
    return *static_cast<HookCalls*>(data);
}

class LayerCommands : public PagedItemTest
{
protected:
    void SetUp() override
    {
        PagedItemTest::SetUp();
        auto first = MakeStripObject(4);
        auto second = MakeStripObject(2);
        Figure = first.get();
        Objects.List.Add(first.release());
        Objects.List.Add(second.release());
        Model.Layers = &Layers;
        Model.Objects = &Objects;
        Model.CurrentObject = Figure;
        Model.UserFolder = Folders.UserFolderPath();
        TTarnwick_LayerHooks& hooks = Layers.Hooks;
        hooks.Data = &Calls;
        hooks.RefreshLayerPanel = [](void* data) { CallsOf(data).Refreshed++; };
        hooks.RebuildLayerPanel = [](void* data) { CallsOf(data).Rebuilt++; };
        hooks.Redraw = [](void* data) { CallsOf(data).Redrawn++; };
        hooks.SelectLayerBrush = [](void* data) { CallsOf(data).BrushSelected++; };
        hooks.RefreshSelection = [](void* data) { CallsOf(data).SelectionRefreshed++; };
        hooks.MainWindowLayerHandling = [](void* data, TZAVEvent* event) {
            CallsOf(data).MainWindowContexts.push_back(event->Context);
        };
        while (PopEvent() != nullptr) {
        }
    }

    void TearDown() override
    {
        Objects.List.Clear();
        PagedItemTest::TearDown();
    }

    bool Run(TZAVLayerCommand command, int32_t index = -1, int32_t parameter = 0, void* context = nullptr)
    {
        return RunEvent(int32_t(command), index, parameter, context);
    }

    bool RunEvent(int32_t id, int32_t index = -1, int32_t parameter = 0, void* context = nullptr)
    {
        TZAVEvent event(id);
        event.SetIndex(index);
        event.IntegerParameters[0] = parameter;
        event.Context = context;
        return HandleLayerCommand(Model, &event);
    }

    std::vector<uint32_t>& Masks() { return Figure->Mesh->PolygonLayerFlags; }

    void SetWeights(const std::vector<float>& weights)
    {
        for (size_t vertex = 0; vertex < weights.size(); vertex++)
            Figure->Mesh->CurrentSelection->SetVSelect(int32_t(vertex), weights[vertex]);
    }

    std::vector<float> Weights()
    {
        std::vector<float> weights;
        for (int32_t vertex = 0; vertex < Figure->Mesh->GetVertexCount(); vertex++)
            weights.push_back(Figure->Mesh->CurrentSelection->GetVSelect(vertex));
        return weights;
    }

    TTarnwick_LayerList Layers;
    TTarnwick_ObjectTreeGroup Objects{CreateSceneObject};
    TTarnwick_Object* Figure = nullptr;
    TTarnwick_LayerCommandModel Model;
    HookCalls Calls;
};

} // namespace

// [SECTION] Refusals

TEST_F(LayerCommands, RefusalsUseTheirTextsAndChannels)
{
    ScriptedDialogs dialogs;
    const std::vector<uint32_t> before = Masks();
    struct Refusal
    {
        TZAVLayerCommand Command;
        int32_t Index;
        int32_t CurrentLayer;
        const char* Text;
        bool InStatus;
    };
    const Refusal refusals[] = {
        {TZAVLayerCommand::AddSelected, 32, 0, "Please select a layer before proceeding", true},
        {TZAVLayerCommand::AddSelected, 30, 0, "Please select a custom layer before proceeding", true},
        {TZAVLayerCommand::Clear, -1, 0, "Please select a layer before proceeding", false},
        {TZAVLayerCommand::Clear, 31, 0, "Please select a custom layer before proceeding", false},
        {TZAVLayerCommand::RemoveSelected, 5, 0, "Please select a layer beforee proceeding", false},
        {TZAVLayerCommand::RemoveAll, 5, 0, "Please select a layer beforee proceeding", false},
        {TZAVLayerCommand::AddAll, 5, 30, "Please select a custom layer before proceeding", false},
        {TZAVLayerCommand::AddAll, 5, 0, "Please select a custom layer before proceeding", false},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(testing::Message()
                     << "event " << int32_t(refusal.Command) << " index " << refusal.Index);
        Layers.CurrentLayer = refusal.CurrentLayer;
        size_t shown = dialogs.Requests().size();
        TakeStatusLines();
        EXPECT_TRUE(Run(refusal.Command, refusal.Index));
        std::vector<TZAVStatusLine> lines = TakeStatusLines();
        if (refusal.InStatus) {
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_EQ(lines[0].Kind, TZAVStatusKind::Status);
            EXPECT_EQ(lines[0].Text, refusal.Text);
            EXPECT_EQ(dialogs.Requests().size(), shown);
        } else {
            EXPECT_TRUE(lines.empty());
            ASSERT_EQ(dialogs.Requests().size(), shown + 1);
            EXPECT_EQ(dialogs.Requests().back().Kind, TZAVDialogKind::Message);
            EXPECT_EQ(dialogs.Requests().back().Text, refusal.Text);
        }
    }
    EXPECT_EQ(Masks(), before);
    EXPECT_EQ(Calls.Redrawn, 0);
}

TEST_F(LayerCommands, BuiltInLayersTakeSelectionsOnlyWhenAsked)
{
    SetWeights({0, 0, 0, 0, 0, 1});
    TakeStatusLines();
    // The hide-selection commands fill the hidden layer.
    EXPECT_TRUE(Run(TZAVLayerCommand::AddSelected, 30, 1));
    EXPECT_EQ(Masks(), (std::vector<uint32_t>{0, 0, 0, LayerBit(30)}));
    EXPECT_EQ(Figure->Mesh->VisiblePolygons, (std::vector<int32_t>{0, 1, 2}));
    // Layer 0 has no membership bit to give.
    EXPECT_TRUE(Run(TZAVLayerCommand::AddSelected, 0, 1));
    EXPECT_EQ(Masks(), (std::vector<uint32_t>{0, 0, 0, LayerBit(30)}));
    EXPECT_EQ(TakeStatusLines().size(), 1u); // the refusal
}

TEST_F(LayerCommands, NothingHappensWithoutACurrentObject)
{
    Model.CurrentObject = nullptr;
    EXPECT_TRUE(Run(TZAVLayerCommand::MakeCurrent, 4));
    EXPECT_TRUE(Run(TZAVLayerCommand::AddAll, 4));
    // No question either: the responder would fail the test.
    ScriptedDialogs dialogs;
    EXPECT_TRUE(Run(TZAVLayerCommand::DeleteAllLayerSets));
    EXPECT_EQ(Layers.CurrentLayer, 0);
    EXPECT_TRUE(dialogs.Requests().empty());
    EXPECT_FALSE(RunEvent(int32_t(TZAVLayerCommand::LastInGroup) + 1));
    EXPECT_FALSE(RunEvent(int32_t(TZAVLayerCommand::FirstInGroup) - 1));
}

// [SECTION] Membership

TEST_F(LayerCommands, MembershipFollowsTheSelection)
{
    // Polygon p uses vertices p .. p + 2; only weights above 0.1 count.
    SetWeights({0.5f, 0, 0, 0, 0, 0.1f});
    EXPECT_TRUE(Run(TZAVLayerCommand::AddSelected, 3));
    EXPECT_EQ(Masks(), (std::vector<uint32_t>{LayerBit(3), 0, 0, 0}));

    SetWeights({0, 0, 0, 1, 0, 0});
    EXPECT_TRUE(Run(TZAVLayerCommand::AddSelected, 3));
    EXPECT_EQ(Masks(), (std::vector<uint32_t>{LayerBit(3), LayerBit(3), LayerBit(3), LayerBit(3)}));

    Layers.SetCurrentLayer(3);
    SetWeights({0, 0, 0, 0, 1, 0});
    EXPECT_TRUE(Run(TZAVLayerCommand::RemoveSelected));
    EXPECT_EQ(Masks(), (std::vector<uint32_t>{LayerBit(3), LayerBit(3), 0, 0}));

    Layers.SetCurrentLayer(7);
    EXPECT_TRUE(Run(TZAVLayerCommand::AddAll));
    const uint32_t both = LayerBit(3) | LayerBit(7);
    EXPECT_EQ(Masks(), (std::vector<uint32_t>{both, both, LayerBit(7), LayerBit(7)}));
    EXPECT_TRUE(Run(TZAVLayerCommand::Clear, 3));
    EXPECT_EQ(Masks(), (std::vector<uint32_t>(4, LayerBit(7))));
    EXPECT_TRUE(Run(TZAVLayerCommand::RemoveAll));
    EXPECT_EQ(Masks(), (std::vector<uint32_t>(4, 0)));
    EXPECT_EQ(Calls.Redrawn, 6);
}

TEST_F(LayerCommands, LayerSelectionSetsWeightsOrPostsTheWholeObjectCommands)
{
    EXPECT_TRUE(Run(TZAVLayerCommand::SelectLayer));
    EXPECT_TRUE(Run(TZAVLayerCommand::DeselectLayer));
    std::unique_ptr<TZAVEvent> first = PopEvent();
    std::unique_ptr<TZAVEvent> second = PopEvent();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->GetID(), 141);
    EXPECT_EQ(second->GetID(), 142);
    EXPECT_EQ(PopEvent(), nullptr);

    Masks() = {0, LayerBit(4), 0, LayerBit(4)};
    Layers.SetCurrentLayer(4);
    EXPECT_TRUE(Run(TZAVLayerCommand::SelectLayer));
    EXPECT_EQ(Weights(), (std::vector<float>{0, 1, 1, 1, 1, 1}));
    Masks()[3] = 0;
    EXPECT_TRUE(Run(TZAVLayerCommand::DeselectLayer));
    EXPECT_EQ(Weights(), (std::vector<float>{0, 0, 0, 0, 1, 1}));
    EXPECT_EQ(Calls.SelectionRefreshed, 2);
    EXPECT_EQ(PopEvent(), nullptr);
}

// [SECTION] Layer state

TEST_F(LayerCommands, LockStateCyclesBackToVisibleAndUnlocked)
{
    Masks() = {LayerBit(2), 0, 0, 0};
    TTarnwick_Layer& layer = Layers.Layers[2];

    EXPECT_TRUE(Run(TZAVLayerCommand::StepLock, 2));
    EXPECT_EQ(Layers.CurrentLayer, 2);
    EXPECT_EQ(layer.Locked, 1);
    EXPECT_FALSE(layer.IsHidden());
    EXPECT_EQ(Figure->Mesh->PolygonFlags[0] & PolygonFlag_Locked, uint32_t(PolygonFlag_Locked));

    EXPECT_TRUE(Run(TZAVLayerCommand::StepLock, 2));
    EXPECT_EQ(layer.Locked, 0);
    EXPECT_TRUE(layer.IsHidden());
    EXPECT_EQ(Figure->Mesh->PolygonFlags[0], uint32_t(PolygonFlag_Hidden));

    EXPECT_TRUE(Run(TZAVLayerCommand::StepLock, 2));
    EXPECT_EQ(layer.Locked, 0);
    EXPECT_FALSE(layer.IsHidden());
    EXPECT_EQ(Figure->Mesh->PolygonFlags[0], 0u);
    EXPECT_EQ(Calls.Redrawn, 3);
}

TEST_F(LayerCommands, HiddenAndDisplayFlagsToggle)
{
    Masks() = {0, LayerBit(9), 0, 0};
    EXPECT_TRUE(Run(TZAVLayerCommand::ToggleHidden, 9));
    EXPECT_EQ(Layers.CurrentLayer, 9);
    EXPECT_EQ(Figure->Mesh->VisiblePolygons, (std::vector<int32_t>{0, 2, 3}));
    EXPECT_TRUE(Run(TZAVLayerCommand::ToggleHidden, 9));
    EXPECT_EQ(Figure->Mesh->VisiblePolygons.size(), 4u);

    // Display flags keep the current layer with Index -1 and edits the layer the Context names.
    TTarnwick_Layer& target = Layers.Layers[12];
    uint32_t flags = target.DisplayFlags;
    EXPECT_TRUE(
        Run(TZAVLayerCommand::ToggleDisplayFlags, -1, LayerDisplay_WireFrame | LayerDisplay_Hidden, &target));
    EXPECT_EQ(Layers.CurrentLayer, 9);
    EXPECT_EQ(target.DisplayFlags, flags ^ (LayerDisplay_WireFrame | LayerDisplay_Hidden));
    EXPECT_TRUE(Run(TZAVLayerCommand::ToggleDisplayFlags, 5, LayerDisplay_WireFrame, &target));
    EXPECT_EQ(Layers.CurrentLayer, 5);
    EXPECT_EQ(target.DisplayFlags, flags ^ LayerDisplay_Hidden);

    // A context that is not one of the project's layers is left alone.
    TTarnwick_Layer stranger;
    uint32_t stranger_flags = stranger.DisplayFlags;
    EXPECT_TRUE(Run(TZAVLayerCommand::ToggleDisplayFlags, -1, LayerDisplay_Points, &stranger));
    EXPECT_EQ(stranger.DisplayFlags, stranger_flags);
}

TEST_F(LayerCommands, ColourNameAndPanelHooks)
{
    {
        ScriptedDialogs dialogs;
        dialogs.ExpectColour(255, 0, 51).Expect(TZAVDialogKind::Colour, false);
        EXPECT_TRUE(Run(TZAVLayerCommand::ChooseColour, 6));
        // The dialog starts from the layer's colour, not from its own last answer.
        Layers.Layers[6].Color[1] = 1.0f;
        EXPECT_TRUE(Run(TZAVLayerCommand::ChooseColour, 6));
        EXPECT_EQ(dialogs.Requests()[1].InitialColour[1], 255);
        EXPECT_FLOAT_EQ(Layers.Layers[6].Color[0], 1.0f);
        EXPECT_FLOAT_EQ(Layers.Layers[6].Color[2], 0.2f);
    }

    TZAVEvent rename(int32_t(TZAVLayerCommand::Rename));
    rename.SetIndex(8);
    rename.AddStringParameter("Left %s arm", 0);
    EXPECT_TRUE(HandleLayerCommand(Model, &rename));
    EXPECT_EQ(Layers.Layers[8].Name, "Left %s arm");

    Calls = HookCalls();
    EXPECT_TRUE(Run(TZAVLayerCommand::SelectForBrush, 3));
    EXPECT_EQ(Calls.BrushSelected, 1);
    EXPECT_EQ(Calls.Refreshed, 2);
    EXPECT_TRUE(Run(TZAVLayerCommand::RebuildPanel, 3));
    EXPECT_EQ(Calls.Rebuilt, 1);
    int context = 0;
    EXPECT_TRUE(Run(TZAVLayerCommand::MainWindow, -1, 0, &context));
    EXPECT_EQ(Calls.MainWindowContexts, std::vector<void*>{&context});
    EXPECT_EQ(Layers.CurrentLayer, 3);
    EXPECT_TRUE(Run(TZAVLayerCommand::Nothing, 20));
    EXPECT_EQ(Layers.CurrentLayer, 3);
}

TEST_F(LayerCommands, DeletingAllLayerSetsAsksFirst)
{
    std::string folder = LayerSetFolder(Model.UserFolder);
    ASSERT_TRUE(EnsureFolder(folder));
    ASSERT_TRUE(AddLayerSetToIndex(folder, "a.LaySet"));
    ScriptedDialogs dialogs;
    dialogs.Expect(TZAVDialogKind::YesNo, true,
                   "Are you sure that you would like to delete all of these layer sets?");
    EXPECT_TRUE(Run(TZAVLayerCommand::DeleteAllLayerSets));
    EXPECT_FALSE(FileExists(folder + "Files.txt"));
}

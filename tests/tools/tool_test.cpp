#include "tools/tool.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/event_queue.h"
#include "core/status.h"
#include "support/strip_mesh.h"
#include "tools/brush.h"

namespace {

std::vector<std::string> Calls;

class TRecordingTool : public TTarnwick_Brush
{
public:
    explicit TRecordingTool(const char* name) { SetNameLiteral(name); }
    void Selected(TTarnwick_Mesh*) override { Calls.push_back(Name + " selected"); }
    void Deselected(TTarnwick_Mesh*) override { Calls.push_back(Name + " deselected"); }
    void ParameterChanged(TTarnwick_Parameter& parameter) override
    {
        Calls.push_back(Name + " changed " + std::to_string(Parameters.IndexOf(&parameter)));
    }
};

// The commands waiting in the queue, which is emptied.
std::vector<int32_t> TakeCommands()
{
    std::vector<int32_t> commands;
    BeginProcessing();
    while (std::unique_ptr<TZAVEvent> event = PopEvent())
        commands.push_back(event->GetID());
    EndProcessing();
    return commands;
}

class Tool : public testing::Test
{
protected:
    void SetUp() override
    {
        Calls.clear();
        TakeCommands();
        TarnwickToolOptions = {};
    }
    void TearDown() override { TarnwickToolOptions = {}; }
};

TEST_F(Tool, SwitchDeselectsTheOldToolThenSelectsTheNewOne)
{
    TTarnwick_Toolbox toolbox;
    auto* first = new TRecordingTool("first");
    auto* second = new TRecordingTool("second");
    toolbox.Brushes.Add(first);
    toolbox.Brushes.Add(nullptr);
    toolbox.Brushes.Add(second);
    ASSERT_TRUE(toolbox.SwitchTool(first, nullptr));
    ASSERT_TRUE(toolbox.SwitchTool(second, nullptr));
    EXPECT_EQ(toolbox.CurrentTool, second);
    EXPECT_EQ(Calls, (std::vector<std::string>{"first selected", "first deselected", "second selected"}));
    EXPECT_EQ(TakeCommands(), (std::vector<int32_t>{ToolChangedCommand, ToolChangedCommand}));

    // A busy tool (a grabber at work) is not replaced, and nothing is announced.
    Calls.clear();
    second->Busy = true;
    EXPECT_FALSE(toolbox.SwitchTool(first, nullptr));
    EXPECT_EQ(toolbox.CurrentTool, second);
    EXPECT_TRUE(Calls.empty());
    EXPECT_TRUE(TakeCommands().empty());
}

TEST_F(Tool, SlidersStayInTheirRangeAndReportChangesToTheirTool)
{
    TRecordingTool brush("brush");
    ASSERT_EQ(brush.Parameters.Count(), 3);
    TTarnwick_Parameter* radius = nullptr;
    ASSERT_TRUE(brush.Parameters.Get(radius, 0));
    EXPECT_EQ(radius->FloatValue, &brush.Radius);
    EXPECT_TRUE(radius->ToolbarFlag);

    EXPECT_TRUE(radius->SetFloatValue(1.5f));
    EXPECT_EQ(brush.Radius, 1.0f);
    EXPECT_FALSE(radius->SetFloatValue(2.0f));
    EXPECT_TRUE(radius->SetFloatValue(-0.5f));
    EXPECT_EQ(brush.Radius, 0.0f);

    BeginProcessing();
    std::unique_ptr<TZAVEvent> event = PopEvent();
    EndProcessing();
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->GetID(), SliderChangedCommand);
    EXPECT_TRUE(RelayParameterChange(*event));
    EXPECT_EQ(Calls, std::vector<std::string>{"brush changed 0"});
    TakeCommands();
}

TEST_F(Tool, StrokeKeepsThePressPointAndShowsTheHintOnce)
{
    auto mesh = MakeStripMesh(2);
    TTarnwick_ToolView view;
    TRecordingTool brush("brush");
    TakeStatusLines();
    ASSERT_TRUE(brush.MouseButton(*mesh, view, MouseButton_Right, ButtonState_Pressed, 0.1f, 0.2f));
    ASSERT_TRUE(brush.MouseDrag(*mesh, view, 0.3f, 0.4f));
    EXPECT_TRUE(brush.Dragged);
    ASSERT_TRUE(brush.MouseButton(*mesh, view, MouseButton_Right, ButtonState_Released, 0.5f, 0.6f));
    EXPECT_FALSE(brush.Dragged);
    EXPECT_EQ(brush.PressX, 0.1f);
    EXPECT_EQ(brush.PressY, 0.2f);
    EXPECT_EQ(brush.CurrentX, 0.5f);
    EXPECT_EQ(brush.Button, MouseButton_Right);
    EXPECT_EQ(brush.ButtonState, ButtonState_Released);
    EXPECT_EQ(brush.StrokePoints, (std::vector<float>{0.1f, 0.2f, 0, 0.3f, 0.4f, 0}));
    // The mesh's screen positions were brought up to date for the press.
    ASSERT_EQ(view.Screen.size(), 3 * size_t(mesh->GetVertexCount()));
    EXPECT_EQ(view.ScreenPosition(3)[0], 1.0f);

    ASSERT_TRUE(brush.MouseButton(*mesh, view, MouseButton_Left, ButtonState_Pressed, 0.7f, 0.8f));
    EXPECT_EQ(brush.PressX, 0.7f);
    EXPECT_EQ(brush.StrokePoints.size(), 3u);
    EXPECT_EQ(TakeStatusLines().size(), 1u);
}

TEST_F(Tool, ViewsKeepScreenPositionsAndFacingMarksTheirOwn)
{
    auto mesh = MakeStripMesh(6);
    mesh->ResolveVertices();
    mesh->ComputeNormals(TZAVNormalScope::All);
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    // Half a turn about y: the back of the strip.
    const float behind[16] = {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1};
    auto facing_marks = [&] {
        std::vector<bool> marks;
        for (uint32_t flags : mesh->VertexFlags)
            marks.push_back((flags & ToolVertexFlag_FacingAway) != 0);
        return marks;
    };
    TTarnwick_ToolView front, back;
    front.SetCamera(identity, identity, 100, 100, false);
    back.SetCamera(behind, identity, 100, 100, false);
    front.UpdateScreenPositions(*mesh);
    const std::vector<bool> front_marks = facing_marks();
    back.UpdateScreenPositions(*mesh);
    ASSERT_NE(facing_marks(), front_marks);
    // The front view's positions are current, but the marks are the back view's.
    front.UpdateScreenPositions(*mesh);
    EXPECT_EQ(facing_marks(), front_marks);

    // A partial update: the view brings the moved vertex and its neighbours' normals up to date
    // as a view projecting everything afresh would.
    mesh->Vertices[3 * 3 + 2] = 0.5f;
    const std::vector<int32_t> moved = {3};
    mesh->UpdateVertices(moved);
    front.UpdateScreenPositions(*mesh);
    TTarnwick_ToolView fresh;
    fresh.SetCamera(identity, identity, 100, 100, false);
    const std::vector<bool> partial_marks = facing_marks();
    fresh.UpdateScreenPositions(*mesh);
    EXPECT_EQ(front.Screen, fresh.Screen);
    EXPECT_EQ(partial_marks, facing_marks());
    EXPECT_EQ(front.ScreenPosition(3)[2], 0.5f);
}

} // namespace

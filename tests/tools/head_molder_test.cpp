// The head template tool: its definitions reader, the evaluation of random values, and its
// commands on the default figure with the head data the build made.
#include "tools/head_molder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/event_queue.h"
#include "core/status.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/scene_object.h"
#include "paint/undo_buffer.h"
#include "support/paged_items.h"
#include "support/sculpt_meshes.h"

namespace {

const std::string BuildData = TARNWICK_BUILD_DATA;
const std::string ProgramFolder = BuildData.substr(0, BuildData.size() - std::string("Data/").size());

bool StatusSays(const std::vector<TZAVStatusLine>& lines, const std::string& text)
{
    for (const TZAVStatusLine& line : lines)
        if (line.Text.find(text) != std::string::npos)
            return true;
    return false;
}

class HeadMolder : public PagedItemTest
{
protected:
    std::string Write(const std::string& name, const std::string& text)
    {
        return Folders.Root.Write(name, text);
    }

    TTarnwick_HeadMolderTemplate Template;
    std::string Problem;
};

TEST_F(HeadMolder, DefinitionsReaderRefusesBadLinesNamingFileAndLine)
{
    const struct
    {
        const char* Text;
        const char* Expected;
    } cases[] = {
        {"Category A\nSection S\nTransform Twist 0 0 0 1 1 1\n", "(line 3): Unrecognized transform Twist"},
        {"Category A\nSection S\nTransform Scale 0 0 0 1 1\n", "(line 3): a transform needs"},
        {"Category A\nSection S\nTransform Scale 0 0 x 1 1 1\n", "(line 3): \"x\" is no number"},
        {"Section S\n", "(line 1): a section before any category"},
        {"Category A\nSection S\nTransform Rotate 0 0 0 1 1 1\nSymmetry 3\n", "(line 4): a symmetry axis"},
        {"Category A\nSection S\nTransform Rotate 0 0 0 1 1 1\nExponent 0\n", "(line 4): an exponent"},
    };
    for (const auto& bad : cases) {
        TTarnwick_HeadMolderTemplate read;
        EXPECT_FALSE(read.LoadDefinitions(Write("bad.dat", bad.Text), Problem)) << bad.Text;
        EXPECT_NE(Problem.find(bad.Expected), std::string::npos) << Problem;
    }
    EXPECT_FALSE(Template.LoadDefinitions(Folders.Root.Path() + "none.dat", Problem));
    EXPECT_EQ(Problem.find("Cannot open the file "), 0u);
}

TEST_F(HeadMolder, EvaluationFollowsExponentStrengthsAndSymmetry)
{
    ASSERT_TRUE(
        Template.LoadDefinitions(Write("t.dat", "Category A\n"
                                                "Section S\n"
                                                "Transform Scale 0.5 0.5 0.5 1.5 1.5 1.5\n"
                                                "Exponent 2\n"
                                                "Transform Translate -0.02 -0.02 -0.02 0.02 0.02 0.02\n"
                                                "Transform Translate -0.02 -0.02 -0.02 0.02 0.02 0.02\n"
                                                "Symmetry 0\n"
                                                "Unknown words are ignored\n"),
                                 Problem))
        << Problem;
    const auto& transforms = Template.Categories[0]->Sections[0]->Transforms;
    ASSERT_EQ(transforms.size(), 3u);
    TTarnwick_HeadMolderTransform& scale = *transforms[0];
    TTarnwick_HeadMolderTransform& move = *transforms[1];
    TTarnwick_HeadMolderTransform& mirrored_move = *transforms[2];
    for (auto* transform : {&scale, &move, &mirrored_move}) {
        std::fill_n(transform->RandomFactor, 3, transform == &scale ? 0.5f : 0.75f);
        transform->Random = true;
    }
    Template.SymmetryAmount = 1.0f;
    Template.Evaluate();
    // Exponent 2 with factor 0.5: a quarter of the way from Min to Max.
    EXPECT_NEAR(scale.Value[1], scale.Min[1] + 0.25f * (scale.Max[1] - scale.Min[1]), 1e-6f);
    // Full symmetry: no sideways move, except for a mirrored section.
    EXPECT_EQ(move.Value[0], 0.0f);
    EXPECT_NE(move.Value[1], 0.0f);
    EXPECT_NE(mirrored_move.Value[0], 0.0f);
    // The strengths scale the way from Default.
    Template.Strength = 0.5f;
    Template.Categories[0]->Factor = 0.5f;
    const float full = scale.Value[2];
    Template.Evaluate();
    EXPECT_NEAR(scale.Value[2] - scale.Default[2], 0.25f * (full - scale.Default[2]), 1e-6f);
}

// The default project's figure, with the head data and a morph of the tool's own.
class HeadMolderOnFigure : public HeadMolder
{
protected:
    void SetUp() override
    {
        HeadMolder::SetUp();
        TarnwickSettings = &Settings;
        ASSERT_TRUE(Project.OpenProjectFile(BuildData + "Default.Tarnwick")) << Project.Error();
        Project.ChooseCurrentObject();
        ASSERT_NE(Project.CurrentObject, nullptr);
        Mesh = Project.CurrentObject->Mesh.get();
        ASSERT_TRUE(ImportSelectionSet(*Mesh, BuildData + "Selection Sets/Default_Head.txt", Problem))
            << Problem;
        TTarnwick_Morph* morph = Mesh->NewMorph(-1);
        morph->SetNameLiteral(HeadMolderMorphName);
        Mesh->SetCurrentMorph(morph);
        TarnwickHeadMolderHooks.CurrentMesh = [this] { return Mesh; };
        TarnwickHeadMolderHooks.RecordUndo = [this](TTarnwick_Mesh&, TTarnwick_HeadMolder& tool) {
            TTarnwick_UndoBuffer& buffer = Project.UndoBuffer;
            buffer.AddUndoNode(buffer.CreateUndoNode(UndoType_Morph, -1));
            TTarnwick_UndoNodePtr record = buffer.CreateUndoNode(UndoType_HeadTemplate, -1);
            record->Hook = std::make_unique<TTarnwick_HeadMolderUndo<TTarnwick_UndoHook, TTarnwick_UndoNode>>(
                tool, tool.CaptureValues());
            buffer.AddUndoNode(std::move(record));
        };
        Tool = std::make_unique<TTarnwick_HeadMolder>(ProgramFolder);
        ASSERT_TRUE(Tool->Template);
    }

    void TearDown() override
    {
        TarnwickHeadMolderHooks = {};
        Tool.reset();
        TarnwickEvents_ProcessEvents();
        Project.ObjectTree.reset();
        TarnwickSettings = nullptr;
        HeadMolder::TearDown();
    }

    void Command(int32_t command)
    {
        Project.UndoBuffer.ActionCounter++;
        TZAVEvent event(command);
        EXPECT_EQ(Tool->ToolEvent(event), 1);
    }

    std::vector<float> Deltas() { return DenseDeltas(*Mesh->CurrentMorph); }

    TTarnwick_Settings Settings;
    TTarnwick_Project Project;
    TTarnwick_Mesh* Mesh = nullptr;
    std::unique_ptr<TTarnwick_HeadMolder> Tool;
};

TEST_F(HeadMolderOnFigure, RandomHeadIsReproducibleAndUndone)
{
    const std::vector<float> shown_before = Mesh->DisplayedVertices;
    Tool->SeedRandom(7);
    Command(HeadMolderCommand_RandomHead);
    const std::vector<float> first = Deltas();
    EXPECT_NE(first, std::vector<float>(first.size(), 0.0f));
    EXPECT_NE(Mesh->DisplayedVertices, shown_before);
    // The optional section without a selection stays quiet; the others all have theirs.
    EXPECT_FALSE(StatusSays(TakeStatusLines(), "Cannot find selection"));
    EXPECT_FALSE(Tool->Template->Incomplete);

    const TTarnwick_HeadMolderValues first_values = Tool->CaptureValues();
    Tool->SeedRandom(7);
    Command(HeadMolderCommand_RandomHead);
    EXPECT_EQ(Deltas(), first);
    Tool->SeedRandom(8);
    Command(HeadMolderCommand_RandomHead);
    EXPECT_NE(Deltas(), first);

    // Undo puts back the morph and the values of the head before.
    Project.UndoBuffer.Undo();
    EXPECT_EQ(Deltas(), first);
    EXPECT_EQ(Tool->CaptureValues().Numbers, first_values.Numbers);
    Project.UndoBuffer.Redo();
    EXPECT_NE(Deltas(), first);
}

TEST_F(HeadMolderOnFigure, OneSliderMovesOnlyItsSection)
{
    Tool->SeedRandom(3);
    Command(HeadMolderCommand_RandomHead);
    Command(HeadMolderCommand_Reset);
    EXPECT_EQ(Deltas(), std::vector<float>(Deltas().size(), 0.0f));
    TTarnwick_Selection* nose = FindSelectionNamed(*Mesh, "Nose");
    ASSERT_NE(nose, nullptr);
    // The nose's move slider, up and forward.
    TTarnwick_HeadMolderTransform* move = nullptr;
    Tool->Template->ForEachTransform([&](auto&, auto& section, TTarnwick_HeadMolderTransform& transform) {
        if (section.Name == "Nose" && transform.Type == TTarnwick_HeadTransformType::Move)
            move = &transform;
    });
    ASSERT_NE(move, nullptr);
    TTarnwick_Parameter* slider = nullptr;
    for (TTarnwick_Parameter* parameter : Tool->Parameters)
        if (parameter->FloatValue == &move->Value[2])
            slider = parameter;
    ASSERT_NE(slider, nullptr);
    *slider->FloatValue = 0.8f;
    Command(HeadMolderCommand_Update);
    const std::vector<float> deltas = Deltas();
    int32_t moved = 0;
    for (int32_t vertex = 0; vertex < Mesh->GetVertexCount(); vertex++) {
        const bool changed = deltas[3 * vertex + 2] != 0.0f;
        EXPECT_EQ(changed, nose->GetVSelect(vertex) > 0) << "vertex " << vertex;
        moved += changed;
    }
    EXPECT_GT(moved, 0);

    // A required section without its selection is named, and the rest still applies.
    ASSERT_TRUE(Tool->LoadTemplate(Write("missing.dat", "Category A\nSection Nowhere\n"
                                                        "Transform Bulge 0 0 0 1 0 0\n")));
    TakeStatusLines();
    Command(HeadMolderCommand_Update);
    EXPECT_TRUE(StatusSays(TakeStatusLines(), "Cannot find selection Nowhere"));
    EXPECT_TRUE(Tool->Template->Incomplete);
}

} // namespace

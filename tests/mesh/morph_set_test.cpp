// Morph and selection set files: what is written reads back onto another copy of the figure, and a
// file for another figure or with a damaged line changes nothing and says where it went wrong.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mesh/morph_set.h"
#include "mesh/morph_tree.h"
#include "mesh/selection.h"
#include "mesh/selection_set.h"
#include "support/grid_mesh.h"
#include "support/paged_items.h"

namespace {

std::string FileText(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class SetFiles : public PagedItemTest
{
protected:
    void SetUp() override
    {
        PagedItemTest::SetUp();
        MakeGrid(Source, 4, 3);
        MakeGrid(Target, 4, 3);
        TTarnwick_Morph* smile = Source.NewMorph(-1);
        smile->SetNameLiteral("Smile Wide");
        smile->Strength = 0.375f;
        smile->GetVertex(2)[0] = 0.1f;
        smile->GetVertex(7)[2] = -1.0f / 3.0f;
        smile->Compress();
        TTarnwick_Morph* frown = Source.NewMorph(-1);
        frown->SetNameLiteral("Frown");
        frown->GetVertex(19)[1] = 1e-7f;
        TTarnwick_Selection* mouth = Source.NewSelection(-1);
        mouth->SetNameLiteral("Mouth");
        mouth->SetVSelect(0, 1.0f / 7.0f);
        mouth->SetVSelect(19, 1.0f);
    }

    std::string WriteMorphs()
    {
        const std::string path = Folders.Root.Path() + "faces.MorphSet";
        std::string problem;
        const std::vector<TTarnwick_Morph*> morphs = UserMorphs(Source);
        EXPECT_TRUE(WriteMorphSet(path, Source.GetVertexCount(), morphs, problem)) << problem;
        return path;
    }

    TTarnwick_Mesh Source;
    TTarnwick_Mesh Target;
};

TEST_F(SetFiles, MorphsReadBackExactlyAndReplaceThoseOfTheirName)
{
    const std::string path = WriteMorphs();
    // The target has a frown of its own, which the set's replaces rather than doubles.
    Target.NewMorph(-1)->SetNameLiteral("Frown");
    FindMorphNamed(Target, "Frown")->GetVertex(3)[0] = 4.0f;
    std::vector<TTarnwick_MorphSetEntry> entries;
    std::string problem;
    ASSERT_TRUE(ReadMorphSet(path, Target.GetVertexCount(), entries, problem)) << problem;
    const size_t before = UserMorphs(Target).size();
    ApplyMorphSet(Target, entries);
    EXPECT_EQ(UserMorphs(Target).size(), before + 1);
    for (const char* name : {"Smile Wide", "Frown"}) {
        TTarnwick_Morph* written = FindMorphNamed(Source, name);
        TTarnwick_Morph* read = FindMorphNamed(Target, name);
        ASSERT_NE(read, nullptr) << name;
        EXPECT_EQ(read->Strength, written->Strength);
        for (int32_t vertex = 0; vertex < Source.GetVertexCount(); vertex++)
            for (int32_t k = 0; k < 3; k++)
                EXPECT_NEAR(read->GetVertex(vertex)[k], written->GetVertex(vertex)[k], 1e-6f)
                    << name << vertex;
    }
}

TEST_F(SetFiles, AMorphSetForAnotherFigureOrWithABadLineIsRefusedNamingTheLine)
{
    const std::string path = WriteMorphs();
    TTarnwick_Mesh bigger;
    MakeGrid(bigger, 5, 3);
    std::vector<TTarnwick_MorphSetEntry> entries;
    std::string problem;
    EXPECT_FALSE(ReadMorphSet(path, bigger.GetVertexCount(), entries, problem));
    EXPECT_NE(problem.find("line 1"), std::string::npos) << problem;
    EXPECT_TRUE(entries.empty());

    const std::string written = FileText(path);
    const std::string bad_lines[][2] = {
        {"d\t7 ", "d\t20 "},                // beyond the vertices
        {"d\t7 ", "d\t1 "},                 // out of order
        {"DeltaCount\t2", "DeltaCount\t3"}, // more than listed
        {"DeltaCount\t2", "DeltaCount\t99999999"},
        {"Strength", "Strength\tnan\n\t\tx"},
    };
    for (const auto& [from, to] : bad_lines) {
        std::string text = written;
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
        const std::string bad = Folders.Root.Write("bad.MorphSet", text);
        problem.clear();
        EXPECT_FALSE(ReadMorphSet(bad, Target.GetVertexCount(), entries, problem)) << to;
        EXPECT_NE(problem.find("bad.MorphSet\", line "), std::string::npos) << problem;
        EXPECT_TRUE(entries.empty()) << to;
    }
}

TEST_F(SetFiles, SelectionsReadBackExactlyAndReplaceThoseOfTheirName)
{
    const std::string path = Folders.Root.Path() + "regions.txt";
    std::string problem;
    const std::vector<TTarnwick_Selection*> selections = UserSelections(Source);
    ASSERT_TRUE(WriteSelectionSet(path, Source.GetVertexCount(), selections, problem)) << problem;
    // The target's namesake sits in a collapsed group, whose items the panel does not list.
    auto* parts = new TTarnwick_SelectionTreeGroup;
    parts->Collapsed = true;
    Target.SelectionTree->AddChild(parts);
    auto* mouth = new TTarnwick_Selection(Target.GetVertexCount());
    mouth->SetNameLiteral("Mouth");
    parts->List.Add(mouth);
    const size_t before = UserSelections(Target).size();
    ASSERT_TRUE(ImportSelectionSet(Target, path, problem)) << problem;
    EXPECT_EQ(UserSelections(Target).size(), before);
    for (TTarnwick_Selection* written : selections) {
        TTarnwick_Selection* read = FindSelectionNamed(Target, written->Name);
        ASSERT_NE(read, nullptr) << written->Name;
        for (int32_t vertex = 0; vertex < Source.GetVertexCount(); vertex++)
            EXPECT_EQ(read->GetVSelect(vertex), written->GetVSelect(vertex)) << written->Name << vertex;
    }
}

} // namespace

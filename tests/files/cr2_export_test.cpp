#include <gtest/gtest.h>

#include <sys/stat.h>

#include <array>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/paths.h"
#include "core/status.h"
#include "core/virtual_memory.h"
#include "files/cr2_export.h"
#include "files/cr2_tree.h"
#include "mesh/material.h"
#include "support/cr2_export_figure.h"
#include "support/unprivileged.h"

namespace {

using TreePtr = std::unique_ptr<TZAVCR2TreeNode>;
using TDeltas = std::map<int32_t, std::array<float, 3>>;

TreePtr Parse(const std::string& path)
{
    TreePtr root;
    std::string error;
    EXPECT_TRUE(ParseCR2File(path, TZAVCR2Merge::Flat, root, error)) << error;
    return root;
}

std::string ReadText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Every line as "depth keyword value", depth first; the values of masked keywords are left out.
void Flatten(const TZAVCR2TreeNode* node, int32_t depth, const std::set<std::string>& masked,
             std::vector<std::string>& out)
{
    for (; node != nullptr; node = node->Next()) {
        const bool hide = masked.count(node->GetKeyword()) != 0;
        out.push_back(std::to_string(depth) + " " + node->GetKeyword() + " " +
                      (hide ? "*" : node->GetValue()));
        Flatten(node->FirstChild(), depth + 1, masked, out);
    }
}

// Every line of the source is in the output, in order, with its keyword and value.
void ExpectSourceKept(const TZAVCR2TreeNode& source, const TZAVCR2TreeNode& output,
                      const std::set<std::string>& edited)
{
    std::vector<std::string> before, after;
    Flatten(source.FirstChild(), 0, edited, before);
    Flatten(output.FirstChild(), 0, edited, after);
    size_t at = 0;
    for (const std::string& line : after)
        if (at < before.size() && line == before[at])
            at++;
    EXPECT_EQ(at, before.size()) << "first line lost: " << (at < before.size() ? before[at] : "");
}

// The "channels" node of the actor's second description.
TZAVCR2TreeNode* Channels(const TZAVCR2TreeNode& root, const char* actor)
{
    TZAVCR2TreeNode* first = root.FindChild("actor", actor);
    TZAVCR2TreeNode* second = first != nullptr ? first->FindNext("actor", actor) : nullptr;
    return second != nullptr ? second->FindChild("channels", nullptr) : nullptr;
}

int32_t CountBlocks(const TZAVCR2TreeNode* parent, const char* keyword, const char* value)
{
    int32_t count = 0;
    for (const TZAVCR2TreeNode* node = parent != nullptr ? parent->FirstChild() : nullptr; node != nullptr;
         node = node->Next())
        count += SameTextNoCase(node->GetKeyword(), keyword) && std::string(node->GetValue()) == value;
    return count;
}

// The deltas of a targetGeom block by group index; empty without the block.
TDeltas TargetDeltas(const TZAVCR2TreeNode* channels, const char* morph)
{
    TDeltas deltas;
    const TZAVCR2TreeNode* target = channels != nullptr ? channels->FindChild("targetGeom", morph) : nullptr;
    const TZAVCR2TreeNode* lines = target != nullptr ? target->FindChild("deltas", nullptr) : nullptr;
    for (const TZAVCR2TreeNode* d = lines != nullptr ? lines->FirstChild() : nullptr; d != nullptr;
         d = d->Next()) {
        int32_t index = -1;
        std::array<float, 3> delta{};
        EXPECT_EQ(std::sscanf(d->GetValue(), "%d %f %f %f", &index, &delta[0], &delta[1], &delta[2]), 4);
        deltas[index] = delta;
    }
    return deltas;
}

void ExpectDeltas(const TDeltas& actual, const TDeltas& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (const auto& [index, delta] : expected) {
        ASSERT_EQ(actual.count(index), 1u) << index;
        for (int32_t k = 0; k < 3; k++)
            EXPECT_NEAR(actual.at(index)[k], delta[k], 1e-6) << index;
    }
}

std::string Value(const TZAVCR2TreeNode* parent, const char* keyword)
{
    const TZAVCR2TreeNode* line = parent != nullptr ? parent->FindChild(keyword, nullptr) : nullptr;
    return line != nullptr ? line->GetValue() : "<none>";
}

class CR2Export : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InitVirtualMemory());
        std::string error;
        ASSERT_TRUE(figure.Make(error)) << error;
        project().ExportMaps = false;
        project().ExportMorphs = true;
        data = figure.Folder.Path() + "data/";
        ASSERT_TRUE(EnsureFolder(data));
        figure.Folder.Write("data/CR2Thumbnail.png", "picture");
        TakeStatusLines();
    }
    void TearDown() override
    {
        figure.Project.reset();
        ShutdownVirtualMemory();
    }
    TTarnwick_Project& project() { return *figure.Project; }
    TTarnwick_CR2ExportFiles Files(const std::string& output) const
    {
        TTarnwick_CR2ExportFiles files;
        files.Source = figure.Source;
        files.Output = figure.Folder.Path() + output;
        files.DataFolder = data;
        return files;
    }

    TCR2ExportFigure figure;
    std::string data;
};

} // namespace

TEST_F(CR2Export, EachKindWritesTheSculptedMorphsAndKeepsEveryOtherLine)
{
    // The shape on screen is the base moved by HipOnly: the new character's joints follow it.
    figure.Mesh->SetCurrentMorph(figure.HipOnly);
    figure.Mesh->ResolveVertices();
    ASSERT_TRUE(EnsureFolder(figure.Folder.Path() + "Runtime/geometries"));
    const TreePtr source = Parse(figure.Source);
    const TDeltas sculpted_hip = {{0, {0.25f, -0.5f, 0.125f}}, {1, {0, 0, 1e-3f}}, {2, {0.1f, 0.2f, 0.3f}}};
    // Mesh vertex 2 is the chest's first vertex.
    const TDeltas sculpted_chest = {{0, {0.1f, 0.2f, 0.3f}}};

    for (TTarnwick_CR2ExportKind kind :
         {TTarnwick_CR2ExportKind::SimpleMorphs, TTarnwick_CR2ExportKind::FullBodyMorphs,
          TTarnwick_CR2ExportKind::NewCharacter}) {
        SCOPED_TRACE(int32_t(kind));
        ApplyCR2ExportKind(project(), kind);
        const std::string name = "out" + std::to_string(int32_t(kind));
        TTarnwick_CR2ExportFiles files = Files(name + ".cr2");
        files.NewOBJ = figure.Folder.Path() + "Runtime/geometries/new.obj";
        std::string error;
        ASSERT_TRUE(ExportCR2(project(), files, error)) << error;
        const TreePtr output = Parse(files.Output);
        ASSERT_TRUE(output);

        ExpectDeltas(TargetDeltas(Channels(*output, "hip:1"), "Sculpted"), sculpted_hip);
        ExpectDeltas(TargetDeltas(Channels(*output, "hip:1"), "HipOnly"), {{0, {0, -0.5f, 0.125f}}});
        ExpectDeltas(TargetDeltas(Channels(*output, "chest:1"), "Sculpted"), sculpted_chest);
        // A part the morph leaves alone gets nothing, and the figure's own morph is not written back.
        EXPECT_EQ(CountBlocks(Channels(*output, "chest:1"), "targetGeom", "HipOnly"), 0);
        EXPECT_EQ(CountBlocks(Channels(*output, "chest:1"), "targetGeom", "Imported"), 0);
        const TZAVCR2TreeNode* target = Channels(*output, "hip:1")->FindChild("targetGeom", "Sculpted");
        EXPECT_EQ(Value(target, "indexes"), "3");
        EXPECT_EQ(Value(target, "numbDeltas"), "4");
        EXPECT_NE(target->FindChild("Figure", "1"), nullptr);

        const bool full_body = kind != TTarnwick_CR2ExportKind::SimpleMorphs;
        EXPECT_EQ(CountBlocks(Channels(*output, "BODY:1"), "valueParm", "Sculpted"), full_body ? 1 : 0);
        EXPECT_TRUE(FileExists(figure.Folder.Path() + name + ".png"));
        EXPECT_FALSE(FileExists(figure.Folder.Path() + name + ".rsr"));

        if (kind != TTarnwick_CR2ExportKind::NewCharacter) {
            ExpectSourceKept(*source, *output, {});
            continue;
        }
        ExpectSourceKept(*source, *output, {"figureResFile", "origin", "endPoint"});
        EXPECT_TRUE(FileExists(files.NewOBJ));
        const TZAVCR2TreeNode* resource = output->FindChild("figureResFile", nullptr);
        ASSERT_NE(resource->FindNext("figureResFile", nullptr), nullptr);
        EXPECT_STREQ(resource->GetValue(), ":Runtime:geometries:new.obj");
        EXPECT_STREQ(resource->FindNext("figureResFile", nullptr)->GetValue(), ":Runtime:geometries:new.obj");
        // The hip grew by half along y and gained depth along z, where its old extent was zero
        // and the scale stays 1; the chest did not change.
        const TZAVCR2TreeNode* hip = Channels(*output, "hip:1")->Parent();
        EXPECT_EQ(Value(hip, "origin"), "0.500000 -0.500000 0.062500");
        EXPECT_EQ(Value(hip, "endPoint"), "0.500000 1.000000 0.062500");
        EXPECT_EQ(Value(Channels(*output, "chest:1")->Parent(), "origin"), "0.500000 1.000000 0.000000");
    }
}

TEST_F(CR2Export, ExportingItsOwnOutputAgainUpdatesTheSameBlocks)
{
    ApplyCR2ExportKind(project(), TTarnwick_CR2ExportKind::FullBodyMorphs);
    TTarnwick_CR2ExportFiles files = Files("again.cr2");
    std::string error;
    ASSERT_TRUE(ExportCR2(project(), files, error)) << error;
    figure.Sculpted->GetVertex(0)[0] = 2.0f;
    files.Source = files.Output;
    ASSERT_TRUE(ExportCR2(project(), files, error)) << error;

    const TreePtr output = Parse(files.Output);
    EXPECT_EQ(CountBlocks(Channels(*output, "hip:1"), "targetGeom", "Sculpted"), 1);
    EXPECT_EQ(CountBlocks(Channels(*output, "BODY:1"), "valueParm", "Sculpted"), 1);
    EXPECT_NEAR(TargetDeltas(Channels(*output, "hip:1"), "Sculpted")[0][0], 2.0f, 1e-6);
}

TEST_F(CR2Export, MaterialsPointAtTheirMapsInTheCR2Form)
{
    project().ExportMaps = true;
    project().ExportMorphs = false;
    ApplyCR2ExportKind(project(), TTarnwick_CR2ExportKind::SimpleMorphs);
    TZAVMaterial* skin = nullptr;
    ASSERT_TRUE(figure.Mesh->Materials.Get(skin, 0));
    ASSERT_EQ(skin->Name, "Skin");
    TZAVMaterialChannel* colour = skin->FindChannel("Color");
    TZAVMaterialChannel* bump = skin->FindChannel("Bump");
    TZAVMaterialChannel* transparency = skin->FindChannel("Transparency");
    ASSERT_TRUE(colour != nullptr && bump != nullptr && transparency != nullptr);
    colour->MapFileName = "/home/artist/Poser/Runtime/textures/skin.jpg";
    colour->Colors[0][0] = 0.5f;
    colour->Colors[0][1] = 0.25f;
    colour->Colors[0][2] = 1.0f;
    bump->MapFileName = "/home/artist/maps/bump.png";
    transparency->MapFileName.clear();
    transparency->Strength = 0.75f;

    const TTarnwick_CR2ExportFiles files = Files("maps.cr2");
    std::string error;
    ASSERT_TRUE(ExportCR2(project(), files, error)) << error;
    const TreePtr output = Parse(files.Output);
    const TZAVCR2TreeNode* block = output->FindChild("figure", nullptr)->FindChild("material", "Skin");
    const TZAVCR2TreeNode* texture = block->FindChild("textureMap", nullptr);
    EXPECT_STREQ(texture->GetValue(), "\":Runtime:textures:skin.jpg\"");
    EXPECT_STREQ(texture->Next()->GetKeyword(), "0");
    EXPECT_EQ(Value(block, "KdColor"), "0.5000 0.2500 1.0000 1.0");
    EXPECT_EQ(Value(block, "TextureColor"), "1 1 1 1");
    // Outside a Runtime folder the whole path is kept.
    EXPECT_EQ(Value(block, "bumpMap"), "\"/home/artist/maps/bump.png\"");
    EXPECT_EQ(Value(block, "transparencyMap"), "NO_MAP");
    EXPECT_EQ(Value(block, "tMin"), "0.75000000");
    EXPECT_EQ(Value(block, "tMax"), "0.75000000");
    // Exporting the output again finds the "0 0" lines in place.
    TTarnwick_CR2ExportFiles again = files;
    again.Source = files.Output;
    ASSERT_TRUE(ExportCR2(project(), again, error)) << error;
    EXPECT_EQ(CountBlocks(Parse(files.Output)->FindChild("figure", nullptr)->FindChild("material", "Skin"),
                          "0", "0"),
              2);
    bool reported = false;
    for (const TZAVStatusLine& line : TakeStatusLines())
        reported |= line.Text == "Cannot find a match for the material Eyes";
    EXPECT_TRUE(reported);
}

TEST_F(CR2Export, InjectionFilesHoldTheMorphOrItsRemoval)
{
    figure.Folder.Write("data/BigB.rsr", "resource");
    const std::string path = figure.Folder.Path() + "HipOnly.pz2";
    std::string error;
    ASSERT_TRUE(WriteMorphInjectionFile(path, *figure.Mesh, *figure.HipOnly, false, data, error)) << error;
    const std::string header =
        "{\n\tversion\n\t{\n\t\tnumber 4.01\n\t}\n\tactor BODY:1\n\t{\n\t\tchannels\n\t\t{\n"
        "\t\t\tvalueParm HipOnly\n\t\t\t{\n\t\t\tname HipOnly\n";
    const std::string keys =
        "\t\t\tkeys\n\t\t\t{\n\t\t\t\tstatic 0\n\t\t\t\tk 0  1\n\t\t\t}\n\t\t\t}\n\t\t}\n\t}\n"
        "\t\tactor hip:1\n\t\t{\n\t\t\tchannels\n\t\t\t{\n\t\ttargetGeom HipOnly\n\t\t\t{\n";
    EXPECT_EQ(ReadText(path), header + "\t\t\thidden 0\n" + keys +
                                  "\t\t\tname HipOnly\n\t\t\thidden 0\n\t\t\tinterpStyleLocked 0\n"
                                  "\t\t\tvalueOpDeltaAdd\n\t\t\t\t\t\t\tFigure\n\t\t\t\t\t\t\tBODY:1\n"
                                  "\t\t\t\t\t\t\tHipOnly\n\t\t\tindexes 1\n\t\t\tdeltaAddDelta 1.000000\n"
                                  "\t\t\tnumbDeltas 4\n\t\t\tdeltas\n\t\t\t\t{\n"
                                  "\t\t\t\td 0 0.00000000 -0.50000000 0.12500000\n\t\t\t\t}\n"
                                  "\t\t\t}\n\t\t\t}\n\t\t}\n}\n");
    EXPECT_EQ(ReadText(figure.Folder.Path() + "HipOnly.rsr"), "resource");

    const std::string removal = figure.Folder.Path() + "HipOnly_REM.pz2";
    ASSERT_TRUE(WriteMorphInjectionFile(removal, *figure.Mesh, *figure.HipOnly, true, data, error)) << error;
    EXPECT_EQ(ReadText(removal), header + "\t\t\thidden 1\n" + keys +
                                     "\t\t\tname -\n\t\t\thidden 1\n\t\t\tindexes 0\n\t\t\tnumbDeltas 0\n"
                                     "\t\t\t}\n\t\t\t}\n\t\t}\n}\n");
}

TEST_F(CR2Export, AReadOnlyFolderFailsAndKeepsTheOldOutput)
{
    ApplyCR2ExportKind(project(), TTarnwick_CR2ExportKind::SimpleMorphs);
    const std::string locked = figure.Folder.Path() + "locked/";
    ASSERT_TRUE(EnsureFolder(locked));
    figure.Folder.Write("locked/figure.cr2", CR2ExportFigureWithCRLF());
    figure.Folder.Write("locked/out.cr2", "the old export");
    ASSERT_EQ(chmod(locked.c_str(), 0555), 0);
    const bool failed = PassesAsUnprivilegedUserIn(locked, [&](const std::string& prefix) {
        TTarnwick_CR2ExportFiles files;
        files.Source = prefix + "figure.cr2";
        files.Output = prefix + "out.cr2";
        std::string error;
        return !ExportCR2(project(), files, error) && !error.empty();
    });
    chmod(locked.c_str(), 0755);
    EXPECT_TRUE(failed);
    EXPECT_EQ(ReadText(locked + "out.cr2"), "the old export");
    // No temporary file is left behind.
    EXPECT_EQ(TemporaryFolder::Names(locked).size(), 2u);
}

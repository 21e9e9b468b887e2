#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/tree_group.h"
#include "files/project.h"
#include "mesh/morph.h"
#include "mesh/scene_object.h"
#include "support/cr2_figure.h"
#include "support/paged_items.h"
#include "support/warnings.h"

namespace {

class CR2Import : public PagedItemTest
{
protected:
    // Imports the figure into a fresh object; fails the test when the import fails.
    bool Import(const std::string& path, TTarnwick_Object& object, bool morphs = true)
    {
        Project.ImportMorphs = morphs;
        const bool imported = Project.ImportCR2File(path, object);
        EXPECT_TRUE(imported) << Project.Error();
        return imported;
    }

    // The import's error, checking that the object was left alone.
    std::string ImportError(const std::string& path)
    {
        TTarnwick_Object object;
        Project.ImportMorphs = true;
        EXPECT_FALSE(Project.ImportCR2File(path, object));
        EXPECT_EQ(object.Mesh, nullptr);
        EXPECT_STREQ(object.GetName(), "New Object");
        return Project.Error();
    }

    std::string Root() const { return Folders.Root.Path(); }

    TTarnwick_Project Project;
};

TTarnwick_TreeGroup* ChildGroup(TTarnwick_TreeGroup* parent, const std::string& name)
{
    for (TTarnwick_TreeGroup* child = parent->FirstChildGroup(); child != nullptr; child = child->NextGroup())
        if (name == child->GetName())
            return child;
    return nullptr;
}

std::vector<std::string> ChildNames(TTarnwick_TreeGroup* parent)
{
    std::vector<std::string> names;
    for (TTarnwick_TreeGroup* child = parent->FirstChildGroup(); child != nullptr; child = child->NextGroup())
        names.emplace_back(child->GetName());
    return names;
}

std::vector<std::string> MorphNames(TTarnwick_TreeGroup* group)
{
    std::vector<std::string> names;
    for (TTarnwick_Thingy* item : group->List)
        names.emplace_back(item->GetName());
    return names;
}

TTarnwick_Thingy* Item(TZAVMultiList<TTarnwick_ThingyPtr>& list, int32_t index)
{
    TTarnwick_Thingy* item = nullptr;
    EXPECT_TRUE(list.Get(item, index));
    return item;
}

// Every vertex's displacement, checking that the morph is read-only.
std::vector<float> Displacements(TTarnwick_Thingy* item, int32_t vertex_count)
{
    auto* morph = dynamic_cast<TTarnwick_Morph*>(item);
    EXPECT_NE(morph, nullptr);
    EXPECT_TRUE(morph->ReadOnly) << morph->GetName();
    std::vector<float> values(3 * size_t(vertex_count), 0.0f);
    int32_t vertex = -1;
    float delta[3];
    for (bool more = morph->GetFirstDelta(vertex, delta); more; more = morph->GetNextDelta(vertex, delta))
        std::copy(delta, delta + 3, values.begin() + 3 * vertex);
    return values;
}

// Displacements of 8 vertices with the given ones set.
std::vector<float> Expected(std::initializer_list<std::pair<int, std::array<float, 3>>> set)
{
    std::vector<float> values(24, 0.0f);
    for (const auto& [vertex, delta] : set)
        std::copy(delta.begin(), delta.end(), values.begin() + 3 * vertex);
    return values;
}

TZAVMaterialChannel* Channel(TTarnwick_Mesh& mesh, const char* material, const char* channel)
{
    for (TZAVMaterial* candidate : mesh.Materials)
        if (std::string(candidate->GetName()) == material)
            return candidate->FindChannel(channel);
    return nullptr;
}

TEST_F(CR2Import, ReadsPartMorphsJoinedDialsAndMaterials)
{
    const TestFigure figure = WriteTestFigure(Root());
    TTarnwick_Object object;
    ASSERT_TRUE(Import(figure.CR2Path, object));
    EXPECT_STREQ(object.GetName(), "TestFigure");
    EXPECT_EQ(object.FileName, figure.CR2Path);
    EXPECT_EQ(object.OBJFileName, figure.OBJPath);
    TTarnwick_Mesh& mesh = *object.Mesh;
    ASSERT_EQ(mesh.GetVertexCount(), 8);

    TTarnwick_TreeGroup* figure_group = ChildGroup(mesh.MorphTree.get(), "TestFigure");
    ASSERT_NE(figure_group, nullptr);
    EXPECT_TRUE(figure_group->ReadOnly);
    // Tiny compresses to nothing; lShldr has no geometry, so its group goes.
    EXPECT_EQ(ChildNames(figure_group), (std::vector<std::string>{"BODY:1", "hip:1", "chest:1", "head:1"}));
    TTarnwick_TreeGroup* hip = ChildGroup(figure_group, "hip:1");
    TTarnwick_TreeGroup* chest = ChildGroup(figure_group, "chest:1");
    TTarnwick_TreeGroup* body = ChildGroup(figure_group, "BODY:1");
    EXPECT_EQ(MorphNames(hip), std::vector<std::string>{"Wide"});
    EXPECT_EQ(MorphNames(chest), (std::vector<std::string>{"Wide", "Lift"}));
    ASSERT_EQ(MorphNames(body), std::vector<std::string>{"FBM_Wide"});

    // Group vertex i is the i-th vertex of the part in mesh order.
    EXPECT_EQ(Displacements(Item(hip->List, 0), 8), Expected({{0, {0.5f, 0, 0}}, {2, {3, 0, 0}}}));
    EXPECT_EQ(Displacements(Item(chest->List, 1), 8), Expected({{3, {0, 0.25f, 0}}}));
    // The seam vertex 2 keeps the hip's longer displacement, neither the sum nor the chest's later one;
    // the head's is halved.
    EXPECT_EQ(Displacements(Item(body->List, 0), 8),
              Expected({{0, {0.5f, 0, 0}}, {2, {3, 0, 0}}, {5, {0, 0, 1}}, {7, {0, 0, 2}}}));

    const std::vector<std::string> warnings = TakeWarnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find(std::to_string(TestFigureBadDeltaLines) + " delta lines"), std::string::npos)
        << warnings[0];

    // Maps named in Windows and Mac form are found whatever their case; a missing one keeps its path.
    EXPECT_EQ(Channel(mesh, "Skin", "Color")->MapFileName, figure.SkinTexture);
    EXPECT_EQ(Channel(mesh, "Skin", "Bump")->MapFileName, figure.BumpTexture);
    EXPECT_EQ(Channel(mesh, "Skin", "Transparency")->MapFileName, Root() + "Elsewhere/Trans.png");
    EXPECT_FLOAT_EQ(Channel(mesh, "Skin", "Transparency")->Strength, 0.5f);
    EXPECT_FLOAT_EQ(Channel(mesh, "Skin", "Color")->Colors[0][1], 0.6f);
    EXPECT_EQ(Channel(mesh, "Eyes", "Color")->MapFileName, "");
    EXPECT_FLOAT_EQ(Channel(mesh, "Eyes", "Color")->Colors[0][2], 0.3f);

    // Without morphs: the geometry and the materials only.
    TTarnwick_Object plain;
    ASSERT_TRUE(Import(figure.CR2Path, plain, false));
    EXPECT_EQ(ChildGroup(plain.Mesh->MorphTree.get(), "TestFigure"), nullptr);
    EXPECT_EQ(Channel(*plain.Mesh, "Skin", "Color")->MapFileName, figure.SkinTexture);
    EXPECT_TRUE(TakeWarnings().empty());
}

TEST_F(CR2Import, MessagesNameTheRightLine)
{
    const TestFigure figure = WriteTestFigure(Root());
    const std::string text = TemporaryFolder::Read(figure.CR2Path);
    const size_t first_bad = text.find("d 2 0.5");
    ASSERT_NE(first_bad, std::string::npos);
    const auto line = 1 + std::count(text.begin(), text.begin() + std::ptrdiff_t(first_bad), '\n');
    TTarnwick_Object object;
    ASSERT_TRUE(Import(figure.CR2Path, object));
    const std::vector<std::string> warnings = TakeWarnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("(the first at line " + std::to_string(line) + ")"), std::string::npos)
        << warnings[0];

    // A stray '}' is found even when the next line evens the count.
    const std::string error = ImportError(Folders.Root.Write("stray.cr2", "}\r\n{\r\n" + text));
    EXPECT_NE(error.find("stray.cr2 (line 1): '}' found without"), std::string::npos) << error;
}

TEST_F(CR2Import, FindsTheGeometryInEveryPathFormAndPackedForm)
{
    const TestFigureOptions forms[] = {
        {.Geometry = TestPathStyle::Windows, .CrLf = false},
        {.Geometry = TestPathStyle::Posix},
        {.Geometry = TestPathStyle::MixedCase},
        {.Geometry = TestPathStyle::Mac, .GzipFigure = true, .GzipGeometry = true},
    };
    for (const TestFigureOptions& options : forms) {
        TemporaryFolder folder;
        const TestFigure figure = WriteTestFigure(folder.Path(), options);
        TTarnwick_Object object;
        ASSERT_TRUE(Import(figure.CR2Path, object)) << figure.CR2Path;
        EXPECT_EQ(object.OBJFileName, figure.OBJPath);
        EXPECT_EQ(object.Mesh->GetVertexCount(), 8);
        TTarnwick_TreeGroup* hip =
            ChildGroup(ChildGroup(object.Mesh->MorphTree.get(), "TestFigure"), "hip:1");
        ASSERT_NE(hip, nullptr);
        EXPECT_EQ(Displacements(Item(hip->List, 0), 8), Expected({{0, {0.5f, 0, 0}}, {2, {3, 0, 0}}}));
        TakeWarnings();
    }

    // A figure that names its geometry more than once loads the last one named.
    {
        TemporaryFolder folder;
        const TestFigure figure = WriteTestFigure(folder.Path());
        const std::string geometries = figure.OBJPath.substr(folder.Path().size());
        folder.Write(geometries.substr(0, geometries.rfind('/') + 1) + "Other.obj",
                     "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
        const std::string text = TemporaryFolder::Read(figure.CR2Path);
        for (const char* first : {"Other.obj", "Missing.obj"}) {
            const std::string twice = "{\nfigureResFile :Runtime:Geometries:Tarnwick:" + std::string(first) +
                                      "\n" + text.substr(text.find('{') + 1);
            TTarnwick_Object object;
            ASSERT_TRUE(Import(folder.Write("twice.cr2", twice), object)) << first;
            EXPECT_EQ(object.OBJFileName, figure.OBJPath);
            EXPECT_EQ(object.Mesh->GetVertexCount(), 8);
        }
        TakeWarnings();
    }

    // A figure moved out of its library finds the geometry beside it.
    const TestFigure figure = WriteTestFigure(Root());
    const std::string moved = Root() + "Moved/";
    mkdir(moved.c_str(), 0755);
    ASSERT_EQ(std::rename((Root() + "Runtime").c_str(), (moved + "Library").c_str()), 0);
    const std::string cr2 = moved + "Library/Libraries/Character/Tarnwick/TestFigure.cr2";
    ASSERT_EQ(std::rename(cr2.c_str(), (moved + "TestFigure.cr2").c_str()), 0);
    ASSERT_EQ(std::rename((moved + "Library/Geometries/Tarnwick/TestFigure.obj").c_str(),
                          (moved + "testfigure.obj").c_str()),
              0);
    TTarnwick_Object object;
    ASSERT_TRUE(Import(moved + "TestFigure.cr2", object));
    EXPECT_EQ(object.OBJFileName, moved + "testfigure.obj");
    TakeWarnings();
}

TEST_F(CR2Import, RefusalsNameTheFileAndLeaveTheObjectAsItWas)
{
    TestFigure figure = WriteTestFigure(Root());
    const std::string text = TemporaryFolder::Read(figure.CR2Path);

    std::string error = ImportError(Folders.Root.Write("unbalanced.cr2", text + "}\r\n"));
    EXPECT_NE(error.find("unbalanced.cr2 (line "), std::string::npos) << error;
    EXPECT_NE(error.find("'}' found without a matching '{'"), std::string::npos) << error;
    error = ImportError(Folders.Root.Write("cut.cr2", text.substr(0, text.size() / 2)));
    EXPECT_NE(error.find("ends inside the block"), std::string::npos) << error;

    std::remove(figure.OBJPath.c_str());
    error = ImportError(figure.CR2Path);
    EXPECT_NE(error.find("The geometry file :Runtime:Geometries:Tarnwick:TestFigure.obj"), std::string::npos)
        << error;
    EXPECT_NE(error.find(Root() + "Runtime/"), std::string::npos) << error;

    // Morphs kept in a binary file are named in one warning, the file with them.
    TemporaryFolder folder;
    figure = WriteTestFigure(folder.Path(), {.BinaryMorph = true});
    TTarnwick_Object object;
    ASSERT_TRUE(Import(figure.CR2Path, object));
    bool named = false;
    for (const std::string& warning : TakeWarnings())
        named |= warning.find("TestFigure.pmd") != std::string::npos &&
                 warning.find("head:1 Blink") != std::string::npos;
    EXPECT_TRUE(named);
}

} // namespace

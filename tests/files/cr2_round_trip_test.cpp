#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/tree_group.h"
#include "files/cr2_export.h"
#include "files/project.h"
#include "mesh/morph.h"
#include "mesh/scene_object.h"
#include "support/cr2_figure.h"
#include "support/paged_items.h"
#include "support/warnings.h"

namespace {

// Every morph of the tree by "group/name", with each vertex's displacement.
using TMorphs = std::map<std::string, std::vector<float>>;

// The figure's group is named after its file, so its name is left out of the paths.
void CollectMorphs(TTarnwick_TreeGroup* group, const std::string& path, int32_t vertex_count,
                   const std::string& figure, TMorphs& out)
{
    for (TTarnwick_Thingy* item : group->List) {
        auto* morph = dynamic_cast<TTarnwick_Morph*>(item);
        if (morph == nullptr)
            continue;
        std::vector<float> values(3 * size_t(vertex_count), 0.0f);
        int32_t vertex = -1;
        float delta[3];
        for (bool more = morph->GetFirstDelta(vertex, delta); more; more = morph->GetNextDelta(vertex, delta))
            std::copy(delta, delta + 3, values.begin() + 3 * vertex);
        out[path + morph->GetName()] = values;
    }
    for (TTarnwick_TreeGroup* child = group->FirstChildGroup(); child != nullptr; child = child->NextGroup()) {
        const std::string name = path.empty() && figure == child->GetName() ? "figure" : child->GetName();
        CollectMorphs(child, path + name + "/", vertex_count, figure, out);
    }
}

class CR2RoundTrip : public PagedItemTest
{
protected:
    // The figure imported with its morphs into a project of its own.
    std::unique_ptr<TTarnwick_Project> Import(const std::string& path)
    {
        auto project = std::make_unique<TTarnwick_Project>();
        project->ImportMorphs = true;
        auto object = std::make_unique<TTarnwick_Object>();
        EXPECT_TRUE(project->ImportCR2File(path, *object)) << project->Error();
        if (object->Mesh == nullptr)
            return nullptr;
        project->AddObject(object.release());
        return project;
    }
};

// The figure's geometry is a column of three quads: hip (vertices 0-3), chest (2-5), head (4-7).
// A sculpted morph on the hip alone goes out as a simple morph; one over several parts as a full
// body morph with its master dial, and as a new character. Imported again, each comes back with
// the same displacements part by part (and joined on the body's dial), and every morph the figure
// had is as it was.
TEST_F(CR2RoundTrip, SculptedMorphsComeBackFromEachKindOfExport)
{
    const TestFigure figure = WriteTestFigure(Folders.Root.Path());
    struct TCase
    {
        TTarnwick_CR2ExportKind Kind;
        const char* Name;
        std::vector<std::pair<int32_t, std::array<float, 3>>> Moves;
    };
    const TCase cases[] = {
        {TTarnwick_CR2ExportKind::SimpleMorphs, "simple", {{0, {0.25f, -0.5f, 0.125f}}, {1, {0, 0, 1e-3f}}}},
        {TTarnwick_CR2ExportKind::FullBodyMorphs, "full_body", {{1, {0.1f, 0.2f, 0.3f}}, {4, {0, 0.75f, 0}}}},
        {TTarnwick_CR2ExportKind::NewCharacter, "new_character", {{0, {0.5f, 0, 0}}, {5, {0, 0, -0.25f}}}},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.Name);
        std::unique_ptr<TTarnwick_Project> project = Import(figure.CR2Path);
        ASSERT_NE(project, nullptr);
        TTarnwick_Mesh& mesh = *project->CurrentObject->Mesh;
        const int32_t vertex_count = mesh.GetVertexCount();
        TMorphs original;
        CollectMorphs(mesh.MorphTree.get(), "", vertex_count, "TestFigure", original);
        TTarnwick_Morph* sculpted = mesh.NewMorph(-1);
        sculpted->SetNameLiteral("Sculpted");
        std::vector<float> expected(3 * size_t(vertex_count), 0.0f);
        for (const auto& [vertex, delta] : test.Moves) {
            std::copy(delta.begin(), delta.end(), sculpted->GetVertex(vertex));
            std::copy(delta.begin(), delta.end(), expected.begin() + 3 * vertex);
        }

        ApplyCR2ExportKind(*project, test.Kind);
        const std::string output = Folders.Root.Path() + test.Name + ".cr2";
        const TTarnwick_CR2ExportFiles files{figure.CR2Path, output, "", Folders.Root.Path() + test.Name + ".obj"};
        std::string error;
        ASSERT_TRUE(ExportCR2(*project, files, error)) << error;
        TakeWarnings();

        std::unique_ptr<TTarnwick_Project> again = Import(output);
        ASSERT_NE(again, nullptr);
        TMorphs back;
        CollectMorphs(again->CurrentObject->Mesh->MorphTree.get(), "", vertex_count, test.Name, back);
        // The figure's own morphs, part by part, and the sculpted one wherever a part holds it.
        std::vector<float> merged(expected.size(), 0.0f);
        for (const auto& [path, values] : back) {
            if (original.count(path) != 0) {
                EXPECT_EQ(values, original[path]) << path;
                continue;
            }
            ASSERT_EQ(path.rfind("/Sculpted"), path.size() - 9) << path << " is new";
            // The master dial of a full body morph (a new character gets them too) joins the parts.
            if (path == "figure/BODY:1/Sculpted") {
                for (size_t k = 0; k < expected.size(); k++)
                    EXPECT_NEAR(values[k], expected[k], 1e-6) << "dial, vertex " << k / 3 << ", axis " << k % 3;
                continue;
            }
            for (size_t k = 0; k < values.size(); k++)
                if (values[k] != 0.0f)
                    merged[k] = values[k];
        }
        for (size_t k = 0; k < expected.size(); k++)
            EXPECT_NEAR(merged[k], expected[k], 1e-6) << "parts, vertex " << k / 3 << ", axis " << k % 3;
        EXPECT_EQ(back.count("figure/BODY:1/Sculpted"), test.Kind != TTarnwick_CR2ExportKind::SimpleMorphs);
        for (const auto& [path, values] : original)
            EXPECT_EQ(back.count(path), 1u) << path << " went missing";
    }
}

} // namespace

// Subdividing the current object through its command, then undoing and redoing it: undo gives
// the figure back bit for bit, redo the same subdivision again.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/object_commands.h"
#include "core/event.h"
#include "core/event_queue.h"
#include "core/status.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/scene_object.h"
#include "mesh/subdivide.h"
#include "support/paged_items.h"
#include "support/sculpt_meshes.h"

namespace {

// What undo must put back, as text-free arrays: the geometry and every item's stored values.
std::vector<std::vector<float>> Contents(TTarnwick_Mesh& mesh)
{
    const TTarnwick_MeshSnapshot shot = TTarnwick_MeshSnapshot::Capture(mesh);
    std::vector<std::vector<float>> contents = {shot.Vertices, shot.TexVertices, mesh.DisplayedVertices};
    auto add = [&](const auto& values) { contents.emplace_back(values.begin(), values.end()); };
    add(shot.CornerVertex);
    add(shot.CornerTexVertex);
    add(shot.PolygonStart);
    add(shot.VertexFlags);
    add(shot.PolygonFlags);
    add(shot.PolygonLayerFlags);
    add(shot.WeldMap);
    for (const std::vector<TTarnwick_MeshSnapshot::TItem>* items : {&shot.Morphs, &shot.Selections})
        for (const TTarnwick_MeshSnapshot::TItem& item : *items) {
            add(item.Indices);
            contents.push_back(item.Values);
            contents.push_back({float(item.ID), float(item.Compressed)});
        }
    return contents;
}

class SubdivideCommand : public PagedItemTest
{
protected:
    void SetUp() override
    {
        PagedItemTest::SetUp();
        TarnwickSettings = &Settings;
        Project = std::make_unique<TTarnwick_Project>();
        TarnwickProject = Project.get();
    }
    void TearDown() override
    {
        while (PopEvent() != nullptr) {
        }
        TarnwickProject = nullptr;
        Project.reset();
        TarnwickSettings = nullptr;
        PagedItemTest::TearDown();
    }

    bool Subdivide()
    {
        TZAVEvent event(119);
        Project->UndoBuffer.ActionCounter++;
        return HandleObjectCommand(&event);
    }

    TTarnwick_Settings Settings;
    std::unique_ptr<TTarnwick_Project> Project;
};

TEST_F(SubdivideCommand, UndoRestoresTheFigureBitForBitAndRedoSubdividesAgain)
{
    EXPECT_FALSE(Subdivide());
    EXPECT_EQ(TakeStatusLines().back().Text, "Please select or load an object");

    auto* object = new TTarnwick_Object;
    object->SetMesh(std::make_unique<TTarnwick_Mesh>());
    TTarnwick_Mesh& mesh = *object->Mesh;
    MakeGrid(mesh, 3, 2);
    SetDelta(*mesh.CurrentMorph, 4, 0.1f, 0.2f, 0.3f);
    TTarnwick_Morph* sparse = mesh.NewMorph(-1);
    SetDelta(*sparse, 7, 0, 1, 0);
    sparse->Compress();
    mesh.CurrentSelection->SetVSelect(2, 0.4f);
    mesh.PolygonLayerFlags[1] = 0x20;
    mesh.ResolveVertices();
    Project->AddObject(object);
    const std::vector<std::vector<float>> before = Contents(mesh);
    const int32_t polygons = mesh.GetPolygonCount();

    ASSERT_TRUE(Subdivide());
    EXPECT_EQ(mesh.GetPolygonCount(), 4 * polygons);
    const std::vector<std::vector<float>> subdivided = Contents(mesh);
    Project->UndoBuffer.Undo();
    EXPECT_EQ(Contents(mesh), before);
    Project->UndoBuffer.Redo();
    EXPECT_EQ(Contents(mesh), subdivided);
    Project->UndoBuffer.Undo();
    EXPECT_EQ(Contents(mesh), before);
}

} // namespace

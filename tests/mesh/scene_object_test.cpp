// Scene objects, cameras and lights: display colours of new objects, text blocks, the binary record
// and what a save writes after it, and the object tree's factory.
#include "mesh/scene_object.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/tree_group.h"
#include "mesh/layer.h"
#include "support/paged_items.h"
#include "support/strip_mesh.h"

namespace {

class SceneObject : public PagedItemTest
{
};

// The chunk IDs of a binary save, in order.
std::vector<int32_t> ChunkIDs(TTarnwick_Object& object)
{
    StreamFile file(std::tmpfile());
    EXPECT_TRUE(object.SaveToStream(file.get()));
    std::rewind(file.get());
    std::vector<int32_t> ids;
    TZAVChunkHeader header;
    std::string error;
    while (ReadChunkHeader(file.get(), "object.Tarnwick", TZAVChunkLayout(), header, error) ==
           TZAVChunkReadResult::Chunk) {
        ids.push_back(header.ID);
        EXPECT_TRUE(SkipChunk(file.get(), header));
    }
    EXPECT_EQ(error, "");
    return ids;
}

void ExpectFloat3(const float actual[3], float x, float y, float z)
{
    EXPECT_FLOAT_EQ(actual[0], x);
    EXPECT_FLOAT_EQ(actual[1], y);
    EXPECT_FLOAT_EQ(actual[2], z);
}

} // namespace

// [SECTION] Construction

TEST_F(SceneObject, NewObjectsHaveIndependentColoursInStepsOf255)
{
    TTarnwick_Object first;
    TTarnwick_Object second;
    bool differ = false;
    for (int32_t k = 0; k < 3; k++) {
        for (const TTarnwick_Object* object : {&first, &second}) {
            float steps = object->DisplayColor[k] * 255.0f;
            EXPECT_GE(object->DisplayColor[k], 0.0f);
            EXPECT_LE(object->DisplayColor[k], 1.0f);
            EXPECT_NEAR(steps, std::round(steps), 1e-3f);
        }
        differ = differ || first.DisplayColor[k] != second.DisplayColor[k];
    }
    EXPECT_TRUE(differ);
}

TEST_F(SceneObject, FactoryMakesTheKindTheKeywordNames)
{
    std::unique_ptr<TTarnwick_Thingy> object(CreateSceneObject("OBJECT"));
    std::unique_ptr<TTarnwick_Thingy> camera(CreateSceneObject("camera"));
    std::unique_ptr<TTarnwick_Thingy> light(CreateSceneObject("Light"));
    EXPECT_TRUE(dynamic_cast<TTarnwick_Object*>(object.get()) != nullptr);
    EXPECT_TRUE(dynamic_cast<TTarnwick_Camera*>(object.get()) == nullptr);
    EXPECT_TRUE(dynamic_cast<TTarnwick_Camera*>(camera.get()) != nullptr);
    EXPECT_TRUE(dynamic_cast<TTarnwick_Light*>(light.get()) != nullptr);
    EXPECT_EQ(CreateSceneObject("group"), nullptr);
    EXPECT_EQ(CreateSceneObject("mesh"), nullptr);
}

// [SECTION] Text blocks

TEST_F(SceneObject, ObjectBlockLeavesOutAnEmptyOBJFileName)
{
    TTarnwick_Object object;
    object.SetNameLiteral("Torso");
    object.FileName = "/figures/torso.cr2";
    EXPECT_NE(TextOf(object).find("\tFileName\t/figures/torso.cr2\n\tPos\t"), std::string::npos);
    EXPECT_EQ(TextOf(object).find("OBJFileName"), std::string::npos);

    object.OBJFileName = "torso.obj";
    EXPECT_NE(TextOf(object).find("\tFileName\t/figures/torso.cr2\n\tOBJFileName\ttorso.obj\n\tPos\t"),
              std::string::npos);

    // Without the block frame only the item lines are written.
    StreamFile lines(std::tmpfile());
    ASSERT_TRUE(object.SaveToStream_Text(lines.get(), false));
    EXPECT_EQ(ContentsOf(lines.get()).rfind("Name\tTorso\n", 0), 0u);
}

TEST_F(SceneObject, ObjectKeysAreReadLiterally)
{
    TTarnwick_Object object;
    ASSERT_TRUE(ReadText(object, "object\tx\n{\nfilename\t/a/100%s.cr2\nOBJFileName\t%n%n.obj\n"
                                 "Pos\t1 2 3\nrot\t4 5\nScale\t0.5 0.5 0.5\nUnknown\t1\n}\n"));
    EXPECT_EQ(object.FileName, "/a/100%s.cr2");
    EXPECT_EQ(object.OBJFileName, "%n%n.obj");
    ExpectFloat3(object.Pos, 1, 2, 3);
    // Missing numbers keep their values.
    ExpectFloat3(object.Rot, 4, 5, 0);
    ExpectFloat3(object.Scale, 0.5f, 0.5f, 0.5f);

    TZAVTextReader reader(nullptr, "unused");
    EXPECT_FALSE(object.LoadFromStream_Text_ConsiderCommand(reader, "Unknown", "1"));
}

TEST_F(SceneObject, CameraAndLightKeysRoundTrip)
{
    TTarnwick_Camera camera;
    camera.SetNameLiteral("Main");
    camera.FOV = 30.0f;
    camera.Aspect = 1.5f;
    camera.HorizScale = 2.0f;
    camera.VertScale = 0.25f;
    camera.Pos[2] = -7.0f;
    std::string text = TextOf(camera);
    EXPECT_EQ(text.rfind("camera\tMain\n{\n", 0), 0u);
    // The item lines come once for the camera and once more inside the object's lines.
    size_t first = text.find("\tName\tMain\n");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(text.find("\tName\tMain\n", first + 1), std::string::npos);
    EXPECT_NE(text.find("\tVertScale\t0.25000000\n}\n"), std::string::npos);

    TTarnwick_Camera camera_read;
    ASSERT_TRUE(ReadText(camera_read, text));
    EXPECT_EQ(camera_read.FOV, 30.0f);
    EXPECT_EQ(camera_read.Aspect, 1.5f);
    EXPECT_EQ(camera_read.HorizScale, 2.0f);
    EXPECT_EQ(camera_read.VertScale, 0.25f);
    EXPECT_EQ(camera_read.Pos[2], -7.0f);

    TTarnwick_Light light;
    light.Brightness = 0.75f;
    light.Color[0] = 0.5f;
    light.Radius = 12.0f;
    light.SpotAngle = 20.0f;
    text = TextOf(light);
    EXPECT_EQ(text.rfind("Light\tNew Object\n{\n", 0), 0u);
    EXPECT_NE(text.find("\tColor\t0.50000000 1.00000000 1.00000000\n"), std::string::npos);
    TTarnwick_Light light_read;
    ASSERT_TRUE(ReadText(light_read, text));
    EXPECT_EQ(light_read.Brightness, 0.75f);
    ExpectFloat3(light_read.Color, 0.5f, 1, 1);
    EXPECT_EQ(light_read.Radius, 12.0f);
    EXPECT_EQ(light_read.SpotAngle, 20.0f);
}

TEST_F(SceneObject, ObjectTreeReadsObjectsWithTheirMeshes)
{
    TTarnwick_ObjectTreeGroup tree(CreateSceneObject);
    tree.Label = "objects";
    auto figure = MakeStripObject(3);
    figure->SetNameLiteral("Figure");
    figure->Mesh->PolygonLayerFlags = {LayerBit(2), 0, LayerBit(31)};
    tree.List.Add(figure.release());
    tree.List.Add(new TTarnwick_Camera);
    tree.List.Add(new TTarnwick_Light);
    std::string text = TextOf(tree);

    TTarnwick_ObjectTreeGroup read(CreateSceneObject);
    std::string error;
    ASSERT_TRUE(ReadText(read, text, &error)) << error;
    ASSERT_EQ(read.List.Count(), 3);
    TTarnwick_Thingy* item = nullptr;
    ASSERT_TRUE(read.List.Get(item, 0));
    auto* object = dynamic_cast<TTarnwick_Object*>(item);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->Name, "Figure");
    ASSERT_NE(object->Mesh, nullptr);
    EXPECT_EQ(object->Mesh->GetVertexCount(), 5);
    EXPECT_EQ(object->Mesh->GetPolygonCount(), 3);
    EXPECT_EQ(object->Mesh->PolygonLayerFlags, (std::vector<uint32_t>{LayerBit(2), 0, LayerBit(31)}));
    ASSERT_TRUE(read.List.Get(item, 1));
    EXPECT_NE(dynamic_cast<TTarnwick_Camera*>(item), nullptr);
    ASSERT_TRUE(read.List.Get(item, 2));
    EXPECT_NE(dynamic_cast<TTarnwick_Light*>(item), nullptr);
}

// [SECTION] Binary record

TEST_F(SceneObject, ObjectWithoutMeshWritesOnlyItsChunk)
{
    TTarnwick_Object object;
    EXPECT_EQ(ChunkIDs(object), std::vector<int32_t>{TTarnwick_FileChunkID_Object});
    // Item record, file name and three triples.
    EXPECT_EQ(PayloadOf(object).size(), AfterItemRecord + 256 + 36);
    StreamFile file(std::tmpfile());
    EXPECT_TRUE(object.SaveToStream_Alt(file.get()));
    EXPECT_EQ(ContentsOf(file.get()), "");
}

TEST_F(SceneObject, MeshTreesAndMixerFollowTheObjectsChunk)
{
    auto object = MakeStripObject(2);
    object->Mesh->NewMorph(-1);
    std::vector<int32_t> ids = ChunkIDs(*object);
    // Root groups and the hidden groups, with their items, pre-order.
    const std::vector<int32_t> expected = {
        TTarnwick_FileChunkID_Object,         TTarnwick_FileChunkID_Mesh,
        TTarnwick_FileChunkID_MorphGroup,     TTarnwick_FileChunkID_Morph,
        TTarnwick_FileChunkID_Morph,          TTarnwick_FileChunkID_MorphGroup,
        TTarnwick_FileChunkID_Morph,          TTarnwick_FileChunkID_Morph,
        TTarnwick_FileChunkID_SelectionGroup, TTarnwick_FileChunkID_Selection,
        TTarnwick_FileChunkID_SelectionGroup, TTarnwick_FileChunkID_Selection,
        TTarnwick_FileChunkID_MorphMixer,
    };
    EXPECT_EQ(ids, expected);
}

TEST_F(SceneObject, BinaryRecordReadsBackOrNotAtAll)
{
    TTarnwick_Object saved;
    saved.SetNameLiteral("50% grey");
    saved.FileName = "C:\\Figures\\body.cr2";
    saved.Pos[0] = 1.0f;
    saved.Rot[1] = 90.0f;
    saved.Scale[2] = 3.0f;
    std::string payload = PayloadOf(saved);

    TTarnwick_Object loaded;
    ASSERT_TRUE(LoadPayload(loaded, payload));
    EXPECT_EQ(loaded.Name, "50% grey");
    EXPECT_EQ(loaded.LoadedID, saved.ID);
    EXPECT_EQ(loaded.FileName, "C:\\Figures\\body.cr2");
    ExpectFloat3(loaded.Pos, 1, 0, 0);
    ExpectFloat3(loaded.Rot, 0, 90, 0);
    ExpectFloat3(loaded.Scale, 1, 1, 3);

    TTarnwick_Object short_read;
    EXPECT_FALSE(LoadPayload(short_read, payload.substr(0, payload.size() - 4)));
    EXPECT_EQ(short_read.Name, "New Object");
    EXPECT_EQ(short_read.FileName, "");
    ExpectFloat3(short_read.Pos, 0, 0, 0);
}

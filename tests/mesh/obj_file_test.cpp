// OBJ and MTL files: what a load yields, round trips through the writers, the reader's edge
// cases, and damaged input (each with its message, none reaching the caller's mesh).
#include <gtest/gtest.h>

#define TINYOBJLOADER_IMPLEMENTATION
#include <tiny_obj_loader.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "core/event_queue.h"
#include "core/paths.h"
#include "core/status.h"
#include "mesh/mtl_file.h"
#include "mesh/obj_file.h"
#include "support/temp_folder.h"
#include "support/warnings.h"

namespace {

// Quads, triangles and a pentagon over a 4 x 3 grid of vertices, with texture vertices,
// 3 groups and 2 materials.
constexpr const char* FigureObj = R"(# figure
mtllib figure.mtl
v 0 0 0
v 1 0 0
v 2 0 0
v 3 0 0
v 0 1 0
v 1 1 0
v 2 1 0
v 3 1 0
v 0 2 0.5
v 1 2 0.5
v 2 2 0.5
v 3 2 0.5
vt 0 0
vt 0.5 0
vt 1 0
vt 0 1
vt 0.5 1
vt 1 1
g torso
usemtl skin
f 1/1 2/2 6/5 5/4
f 2/2 3/3 7/6 6/5
g arm
f 3/3 4/3 8/6
f 3/3 8/6 7/6
usemtl cloth
f 5/4 6/5 10/5 9/4
g leg
f 6/5 7/6 11/6 12/6 10/5
)";

constexpr const char* FigureMtl = R"(newmtl skin
Ns 50
Ka 0.1 0.2 0.3
Kd 0.9 0.8 0.7
Ks 0.5 0.5 0.5
map_Kd skin.png
newmtl cloth
Kd 0.2 0.2 0.9
map_Bump cloth_bump.png
)";

std::vector<int32_t> CornerVertices(const TZAVPolyMesh& mesh, int32_t polygon)
{
    return {mesh.CornerVertex.begin() + mesh.PolygonStart[polygon],
            mesh.CornerVertex.begin() + mesh.PolygonStart[polygon + 1]};
}

std::vector<std::string> Names(const auto& list)
{
    std::vector<std::string> names;
    for (const auto* item : list)
        names.push_back(item->Name);
    return names;
}

class ObjFileTest : public testing::Test
{
protected:
    void SetUp() override
    {
        TakeStatusLines();
        Folder.Write("figure.mtl", FigureMtl);
        Folder.Write("skin.png", "");
        Folder.Write("cloth_bump.png", "");
        FigurePath = Folder.Write("figure.obj", FigureObj);
    }

    // Loads text as name.obj; the error text is kept in Error.
    bool Load(const std::string& text, TZAVPolyMesh& mesh, uint32_t flags = ObjRead_None,
              const std::string& name = "test.obj")
    {
        Error.clear();
        return ReadOBJ(Folder.Write(name, text), mesh, flags, Error);
    }

    TemporaryFolder Folder;
    std::string FigurePath;
    std::string Error;
};

} // namespace

// [SECTION] What a load yields

TEST_F(ObjFileTest, FigureLoadsWithItsCountsGroupsMaterialsAndFlags)
{
    TZAVPolyMesh mesh;
    ASSERT_TRUE(ReadOBJ(FigurePath, mesh, ObjRead_None, Error)) << Error;
    EXPECT_TRUE(TakeWarnings().empty());
    EXPECT_EQ(mesh.GetVertexCount(), 12);
    EXPECT_EQ(mesh.GetTexVertexCount(), 6);
    EXPECT_EQ(mesh.GetPolygonCount(), 6);
    EXPECT_EQ(CornerVertices(mesh, 5), (std::vector<int32_t>{5, 6, 10, 11, 9}));
    EXPECT_EQ(mesh.PolygonGroup, (std::vector<int16_t>{0, 0, 1, 1, 1, 2}));
    EXPECT_EQ(mesh.PolygonMaterial, (std::vector<int16_t>{0, 0, 0, 0, 1, 1}));
    EXPECT_EQ(mesh.PolygonPart, (std::vector<int16_t>(6, 0)));
    EXPECT_EQ(Names(mesh.Groups2), (std::vector<std::string>{"torso", "arm", "leg"}));
    EXPECT_EQ(Names(mesh.Materials), (std::vector<std::string>{"skin", "cloth"}));
    ASSERT_EQ(mesh.Groups.Count(), 1);
    const TZAVGroup* whole = mesh.Groups.Data()[0];
    EXPECT_EQ(whole->Name, "figure");
    EXPECT_EQ(whole->VertexRange.Last, 11);
    EXPECT_EQ(whole->PolygonRange.Last, 5);
    EXPECT_EQ(whole->LineRange.Count(), 0);
    EXPECT_FLOAT_EQ(mesh.TexVertices[2 * 4], 0.5f);
    EXPECT_FLOAT_EQ(mesh.Vertices[3 * 9 + 2], 0.5f);

    // Vertex 0 is a corner of the sheet; vertex 5 lies inside it.
    EXPECT_NE(mesh.VertexFlags[0] & VertexFlag_Open, 0u);
    EXPECT_EQ(mesh.VertexFlags[5] & VertexFlag_Open, 0u);
    // The arm's vertices 2, 4, 5 and 6 also belong to the torso, which comes first.
    const TZAVGroup2* arm = mesh.Groups2.Data()[1];
    EXPECT_EQ(arm->Vertices, (std::vector<int32_t>{2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(arm->Shared, (std::vector<uint8_t>{1, 0, 1, 1, 1, 0, 0, 0}));

    const TZAVMaterial* skin = mesh.Materials.Data()[0];
    EXPECT_FLOAT_EQ(skin->FindChannel("Glossy")->Strength, 0.5f);
    EXPECT_FLOAT_EQ(skin->FindChannel("Ambient")->Colors[0][1], 0.2f);
    EXPECT_FLOAT_EQ(skin->FindChannel("Color")->Colors[0][0], 0.9f);
    EXPECT_EQ(skin->FindChannel("Color")->MapFileName, "skin.png");
    EXPECT_EQ(mesh.Materials.Data()[1]->FindChannel("Bump")->MapFileName, "cloth_bump.png");
}

TEST_F(ObjFileTest, FigureMatchesTinyObjLoader)
{
    TZAVPolyMesh mesh;
    ASSERT_TRUE(ReadOBJ(FigurePath, mesh, ObjRead_None, Error)) << Error;
    tinyobj::attrib_t attributes;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warning;
    std::string error;
    ASSERT_TRUE(tinyobj::LoadObj(&attributes, &shapes, &materials, &warning, &error, FigurePath.c_str(),
                                 Folder.Path().c_str(), false));
    EXPECT_EQ(attributes.vertices, mesh.Vertices);
    EXPECT_EQ(attributes.texcoords, mesh.TexVertices);
    std::vector<int32_t> vertices;
    std::vector<int32_t> tex_vertices;
    for (const tinyobj::shape_t& shape : shapes)
        for (const tinyobj::index_t& index : shape.mesh.indices) {
            vertices.push_back(index.vertex_index);
            tex_vertices.push_back(index.texcoord_index);
        }
    EXPECT_EQ(vertices, mesh.CornerVertex);
    EXPECT_EQ(tex_vertices, mesh.CornerTexVertex);
}

TEST_F(ObjFileTest, CornerFormsAndCountsFollowTheFormat)
{
    std::string text = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\nv 2 1 0\nvt 0 0\nvt 1 0\n"
                       "vn 0 0 1\nvn 0 0 1\nvn 0 0 1\nvn 0 0 1\nvn 0 0 1\n"
                       "f 1/2/3 4//5 6\n"
                       "f 1 2\n"
                       "f";
    for (int32_t k = 0; k < 150; k++)
        text += " " + std::to_string(k % 6 + 1) + "/1";
    // Empty trailing indices, a face continued on the next line, and a normal index past the
    // "vn" lines, which costs the corner its normal only.
    text += "\nf -6/-2 -5/-1 -4\nf 1/2/ 2// 3/\nf 1 2 \\\r\n 3 4\nf 1//9 2 3\n";
    TZAVPolyMesh mesh;
    ASSERT_TRUE(Load(text, mesh, ObjRead_LoadNormals)) << Error;
    ASSERT_EQ(mesh.GetPolygonCount(), 7);
    EXPECT_EQ(CornerVertices(mesh, 0), (std::vector<int32_t>{0, 3, 5}));
    EXPECT_EQ(mesh.CornerTexVertex[0], 1);
    // A two-corner face keeps its slot, empty.
    EXPECT_EQ(mesh.GetPolygonCornerCount(1), 0);
    EXPECT_EQ(mesh.GetPolygonCornerCount(2), 150);
    // Negative indices count back from the last element read.
    EXPECT_EQ(CornerVertices(mesh, 3), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(mesh.CornerTexVertex[mesh.PolygonStart[3] + 1], 1);
    EXPECT_EQ(CornerVertices(mesh, 4), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(mesh.CornerTexVertex[mesh.PolygonStart[4]], 1);
    EXPECT_EQ(CornerVertices(mesh, 5), (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(CornerVertices(mesh, 6), (std::vector<int32_t>{0, 1, 2}));
    // The normals follow the vertices, whatever the file named.
    for (size_t corner = 0; corner < mesh.CornerVertex.size(); corner++)
        EXPECT_EQ(mesh.CornerNormal[corner], mesh.CornerVertex[corner]);
    std::vector<std::string> warnings = TakeWarnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("test.obj: 1 line(s) could not be read; the first is line 15; 1 face(s) or "
                               "line(s) lost texture or normal indices that name nothing; the first is line 21"),
              std::string::npos)
        << warnings[0];

    // Relative indices count from the elements read so far, not from the file's total.
    TZAVPolyMesh objects;
    ASSERT_TRUE(Load("o a\nv 0 0 0\nv 1 0 0\nv 1 1 0\nvt 0 0\nf -3/-1 -2/-1 -1/-1\n"
                     "o b\nv 5 0 0\nv 6 0 0\nv 6 1 0\nvt 1 1\nf -3/-1 -2/-1 -1/-1\n",
                     objects))
        << Error;
    EXPECT_EQ(objects.CornerVertex, (std::vector<int32_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(objects.CornerTexVertex, (std::vector<int32_t>{0, 0, 0, 1, 1, 1}));
    EXPECT_TRUE(TakeWarnings().empty());
}

TEST_F(ObjFileTest, FacesBeyondTheCornerLimitAreCutWithAWarning)
{
    std::string text = "v 0 0 0\nv 1 0 0\nv 1 1 0\nf";
    for (int32_t k = 0; k < TZAVPolyMesh::MaxCornerCount + 5; k++)
        text += " " + std::to_string(k % 3 + 1);
    text += "\nf 1 2 3\n";
    TZAVPolyMesh mesh;
    ASSERT_TRUE(Load(text, mesh)) << Error;
    EXPECT_EQ(mesh.GetPolygonCornerCount(0), TZAVPolyMesh::MaxCornerCount);
    EXPECT_EQ(CornerVertices(mesh, 1), (std::vector<int32_t>{0, 1, 2}));
    std::vector<std::string> warnings = TakeWarnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("1 face(s) of more than 32767 corners kept only their first; the first is line 4"),
              std::string::npos)
        << warnings[0];
}

TEST_F(ObjFileTest, MaterialsAndGroupsAreSharedByName)
{
    TZAVPolyMesh mesh;
    ASSERT_TRUE(Load("v 0 0 0\nv 1 0 0\nv 1 1 0\nusemtl red\ng a\nf 1 2 3\nusemtl blue\ng A\nf 1 2 3\n"
                     "usemtl red\ng b\nf 1 2 3\n",
                     mesh));
    EXPECT_EQ(Names(mesh.Materials), (std::vector<std::string>{"red", "blue"}));
    EXPECT_EQ(mesh.PolygonMaterial, (std::vector<int16_t>{0, 1, 0}));
    EXPECT_EQ(mesh.PolygonGroup, (std::vector<int16_t>{0, 0, 1}));

    TZAVPolyMesh plain;
    ASSERT_TRUE(Load("v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\nf 3 2 1\n", plain, ObjRead_None, "statue.obj"));
    EXPECT_EQ(Names(plain.Materials), (std::vector<std::string>{"statue"}));
    EXPECT_EQ(plain.PolygonMaterial, (std::vector<int16_t>{0, 0}));
    EXPECT_EQ(plain.PolygonGroup, (std::vector<int16_t>{-1, -1}));
    // Without texture vertices no corner names one.
    for (int32_t tex_vertex : plain.CornerTexVertex)
        EXPECT_EQ(tex_vertex, -1);
}

TEST_F(ObjFileTest, SingleGroupAndInternalNamesSteerTheGroups)
{
    const std::string text = "v 0 0 0\nv 1 0 0\nv 1 1 0\ng first\nf 1 2 3\n# InternalName: head\nf 1 2 3\n"
                             "g ignored\nf 1 2 3\n";
    TZAVPolyMesh single;
    ASSERT_TRUE(Load(text, single, ObjRead_SingleGroup | ObjRead_UseInternalNames));
    EXPECT_EQ(Names(single.Groups2), (std::vector<std::string>{"test.obj"}));
    EXPECT_EQ(single.PolygonGroup, (std::vector<int16_t>{0, 0, 0}));

    TZAVPolyMesh internal;
    ASSERT_TRUE(Load(text, internal, ObjRead_UseInternalNames));
    EXPECT_EQ(Names(internal.Groups2), (std::vector<std::string>{"first", "head"}));
    EXPECT_EQ(internal.PolygonGroup, (std::vector<int16_t>{0, 1, 1}));

    TZAVPolyMesh ordinary;
    ASSERT_TRUE(Load(text, ordinary));
    EXPECT_EQ(Names(ordinary.Groups2), (std::vector<std::string>{"first", "ignored"}));
}

TEST_F(ObjFileTest, LongLinesAndCarriageReturnsAreReadWhole)
{
    // A group name longer than the reader's chunk, and old Mac line ends.
    std::string long_name(3u << 20, 'x');
    TZAVPolyMesh mesh;
    ASSERT_TRUE(Load("v 0 0 0\nv 1 0 0\nv 1 1 0\ng " + long_name + "\nf 1 2 3\n", mesh));
    ASSERT_EQ(mesh.Groups2.Count(), 1);
    EXPECT_EQ(mesh.Groups2.Data()[0]->Name.size(), long_name.size());

    TZAVPolyMesh mac;
    ASSERT_TRUE(Load("v 0 0 0\rv 1 0 0\rv 1 1 0\rf 1 2 3", mac)) << Error;
    EXPECT_EQ(mac.GetVertexCount(), 3);
    EXPECT_EQ(CornerVertices(mac, 0), (std::vector<int32_t>{0, 1, 2}));
    TZAVPolyMesh dos;
    ASSERT_TRUE(Load("v 0 0 0\r\nv 1 0 0\r\nv 1 1 0\r\ng body\r\nf 1 2 3\r\n", dos));
    EXPECT_EQ(dos.Groups2.Data()[0]->Name, "body");
}

// A long load keeps the busy text moving: the reader ticks every 8,000 lines (here on a clock
// that a second passes on between readings).
TEST_F(ObjFileTest, LongLoadsTickTheBusyText)
{
    static double now = 0.0;
    static int32_t drawn = 0;
    SetBusyClock([] { return now += 1.0; });
    SetBusyDrawHook([](const char*) { drawn++; });
    std::string text;
    for (int32_t vertex = 0; vertex < 20000; vertex++)
        text += "v 0 0 0\n";
    TZAVPolyMesh mesh;
    const bool loaded = Load(text, mesh);
    SetBusyDrawHook(nullptr);
    SetBusyClock(nullptr);
    ASSERT_TRUE(loaded) << Error;
    EXPECT_EQ(drawn, 2);
}

TEST_F(ObjFileTest, PolylinesOfTwoPointsAreKeptAndWritten)
{
    TZAVPolyMesh mesh;
    ASSERT_TRUE(Load("v 0 0 0\nv 1 0 0\nv 1 1 0\nvt 0 0\nf 1 2 3\nl 1 2\nl 3/1 1/1 2/1\nl 2\n", mesh));
    ASSERT_EQ(mesh.GetLineCount(), 3);
    EXPECT_EQ(mesh.LineStart, (std::vector<int32_t>{0, 2, 5, 5}));
    EXPECT_EQ(mesh.LineVertex, (std::vector<int32_t>{0, 1, 2, 0, 1}));
    EXPECT_EQ(mesh.LineTexVertex, (std::vector<int32_t>{-1, -1, 0, 0, 0}));
    EXPECT_EQ(TakeWarnings().size(), 1u);
    const std::string path = Folder.Path() + "lines.obj";
    ASSERT_TRUE(WriteOBJ(mesh, path, ObjWrite_None, Error)) << Error;
    // The one-point line is not written: no reader would take it.
    const std::string written = TemporaryFolder::Read(path);
    EXPECT_EQ(written.substr(written.find("\nl ")), "\nl 1 2\nl 3/1 1/1 2/1\n");
}

// [SECTION] Numbers and counts

TEST_F(ObjFileTest, NumbersReadBitForBitAsFromCharsReadsThem)
{
    // Shapes the short decimal path takes, and those it must hand on: the 2^24 mantissa bound,
    // nine and ten digits, missing whole or fraction digits, signs, exponents, long runs.
    std::istringstream shapes("0 -0 +7 -0.000000 16777215 16777216 16777217 1677721.5 167772.17 "
                              "0.16777215 0.16777217 .5 -.25 5. 123456789 1234567890 0.123456789 "
                              "1.234567891 00000000012.5 1e3 -2.5E-3 0.1 0.3 3.4028235e38 1e-45 "
                              "0.000000001 99999999.9 4294967296.5 18446744073709551617 "
                              "123456789012345678901234567890 0.000000000000000000000000000000000001234567");
    std::vector<std::string> numbers{std::istream_iterator<std::string>(shapes), {}};
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<uint32_t> mantissa(0, (1u << 25) - 1);
    char text[64];
    for (int32_t i = 0; i < 20000; i++) {
        // "%.Nf" of random values over magnitudes from 1e-3 to 1e5, N from 0 to 9.
        std::snprintf(text, sizeof text, "%.*f", i % 10, unit(random) * std::pow(10.0, (i / 10) % 9 - 3));
        numbers.push_back(text);
        // Mantissas on both sides of 2^24 with the point anywhere.
        std::string digits = std::to_string(mantissa(random));
        digits.insert(digits.size() - std::min<size_t>(digits.size(), i % 9), ".");
        numbers.push_back(digits);
    }
    if (numbers.size() % 3 != 0)
        numbers.resize(numbers.size() - numbers.size() % 3);

    for (const char* separator : {"\n", "\r\n"}) {
        SCOPED_TRACE(separator[0] == '\r' ? "CR LF" : "LF");
        std::string obj;
        for (size_t i = 0; i < numbers.size(); i += 3) {
            obj += i == 0 ? "v " : std::string(separator) + "v ";
            obj += numbers[i] + " " + numbers[i + 1] + "\t" + numbers[i + 2];
        }
        TZAVPolyMesh mesh;
        ASSERT_TRUE(Load(obj, mesh)) << Error;
        EXPECT_TRUE(TakeWarnings().empty());
        ASSERT_EQ(mesh.Vertices.size(), numbers.size());
        int32_t mismatches = 0;
        for (size_t i = 0; i < numbers.size(); i++) {
            std::string_view number = numbers[i];
            if (number.starts_with('+'))
                number.remove_prefix(1);
            float expected = -1;
            auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), expected);
            ASSERT_TRUE(error == std::errc() && end == number.data() + number.size()) << numbers[i];
            if (std::bit_cast<uint32_t>(mesh.Vertices[i]) != std::bit_cast<uint32_t>(expected) &&
                mismatches++ < 10)
                ADD_FAILURE() << numbers[i] << " read as " << mesh.Vertices[i] << ", expected " << expected;
        }
        EXPECT_EQ(mismatches, 0);
    }
}

TEST_F(ObjFileTest, LastLineWithoutLineEndEndsWhereTheFileEnds)
{
    // Over a megabyte of digits ahead of it, so that the reader's buffer holds digits past the
    // end of the last line.
    std::string digits;
    for (int32_t line = 0; line < 600; line++)
        digits += "# " + std::string(2000, '7') + "\n";
    const std::string head = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 1 1 1\n";

    TZAVPolyMesh face;
    ASSERT_TRUE(Load(head + digits + "f 1 2 3", face)) << Error;
    EXPECT_TRUE(TakeWarnings().empty());
    ASSERT_EQ(face.GetPolygonCount(), 1);
    EXPECT_EQ(CornerVertices(face, 0), (std::vector<int32_t>{0, 1, 2}));

    TZAVPolyMesh vertex;
    ASSERT_TRUE(Load(head + digits + "f 1 2 3\nv 1 2 3", vertex)) << Error;
    ASSERT_EQ(vertex.GetVertexCount(), 5);
    EXPECT_EQ(std::vector<float>(vertex.Vertices.end() - 3, vertex.Vertices.end()),
              (std::vector<float>{1, 2, 3}));
}

TEST_F(ObjFileTest, CornersAreCountedExactlyWhateverTheBlanks)
{
    // Faces of 3 to 40 corners whose tokens and blank runs fall on every offset of the reader's
    // sixteen-byte steps; the first pass must size the corner arrays exactly. A CR, VT or FF inside
    // a line is a blank like any other (a stray CR ends many a converted line).
    std::string obj = "v 0 0 0\nv 1 0 0\nv 1 1 0\n";
    std::vector<int32_t> expected;
    const char* blanks[] = {" ", "\t", "  ", " \t ", "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t", "\v", "\f\r"};
    for (int32_t corners = 3; corners <= 40; corners++) {
        obj += "f";
        for (int32_t k = 0; k < corners; k++) {
            obj += blanks[(corners + k) % std::size(blanks)];
            obj += std::to_string(k % 3 + 1);
            expected.push_back(k % 3);
        }
        obj += corners % 2 == 0 ? " \t\r" : "";
        obj += corners % 3 == 0 ? "\r\n" : "\n";
    }
    TZAVPolyMesh mesh;
    ASSERT_TRUE(Load(obj, mesh)) << Error;
    EXPECT_TRUE(TakeWarnings().empty());
    EXPECT_EQ(mesh.GetPolygonCount(), 38);
    EXPECT_EQ(mesh.CornerVertex, expected);
    EXPECT_EQ(mesh.CornerVertex.capacity(), expected.size());
}

// [SECTION] Round trips

TEST_F(ObjFileTest, WrittenFigureReadsBackTheSame)
{
    TZAVPolyMesh mesh;
    ASSERT_TRUE(ReadOBJ(FigurePath, mesh, ObjRead_None, Error)) << Error;
    const std::string copy_path = Folder.Path() + "copy.obj";
    ASSERT_TRUE(WriteOBJ(mesh, copy_path, ObjWrite_Groups, Error)) << Error;
    TZAVPolyMesh copy;
    ASSERT_TRUE(ReadOBJ(copy_path, copy, ObjRead_None, Error)) << Error;
    EXPECT_TRUE(TakeWarnings().empty());
    EXPECT_EQ(copy.Vertices, mesh.Vertices);
    EXPECT_EQ(copy.TexVertices, mesh.TexVertices);
    EXPECT_EQ(copy.PolygonStart, mesh.PolygonStart);
    EXPECT_EQ(copy.CornerVertex, mesh.CornerVertex);
    EXPECT_EQ(copy.CornerTexVertex, mesh.CornerTexVertex);
    EXPECT_EQ(copy.PolygonGroup, mesh.PolygonGroup);
    EXPECT_EQ(copy.PolygonMaterial, mesh.PolygonMaterial);
    EXPECT_EQ(Names(copy.Groups2), Names(mesh.Groups2));
    EXPECT_EQ(Names(copy.Materials), Names(mesh.Materials));
    EXPECT_EQ(copy.MtlLibName, "copy.mtl");
    EXPECT_FLOAT_EQ(copy.Materials.Data()[0]->FindChannel("Glossy")->Strength, 0.5f);
    EXPECT_EQ(copy.Materials.Data()[1]->FindChannel("Bump")->MapFileName, "cloth_bump.png");

    const std::string text = TemporaryFolder::Read(copy_path);
    EXPECT_EQ(text.rfind("# This OBJ file was exported from Tarnwick\n", 0), 0u);
    EXPECT_NE(text.find("\ng arm\n"), std::string::npos);
    EXPECT_NE(text.find("f 6/5/6 7/6/7 11/6/11 12/6/12 10/5/10\n"), std::string::npos);
    EXPECT_NE(TemporaryFolder::Read(Folder.Path() + "copy.mtl").find("newmtl skin\nNs 50\n"),
              std::string::npos);
}

TEST_F(ObjFileTest, WriterFormsCornersWithoutTextureVertices)
{
    TZAVPolyMesh mesh;
    ASSERT_TRUE(Load("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\nv 2 1 0\nv 3 1 0\nf 5 6 7\n", mesh));
    const std::string path = Folder.Path() + "out.obj";
    ASSERT_TRUE(WriteOBJ(mesh, path, ObjWrite_None, Error)) << Error;
    const std::string text = TemporaryFolder::Read(path);
    EXPECT_NE(text.find("# Vertex Count 7\n"), std::string::npos);
    EXPECT_NE(text.find("v 1.00000000 1.00000000 0.00000000\n"), std::string::npos);
    EXPECT_NE(text.find("\nf 5//5 6//6 7//7\n"), std::string::npos);
    EXPECT_EQ(text.find("\ng "), std::string::npos);

    ASSERT_TRUE(WriteOBJ(mesh, path, ObjWrite_VerticesOnly, Error)) << Error;
    const std::string vertices_only = TemporaryFolder::Read(path);
    EXPECT_EQ(vertices_only.find("\nf "), std::string::npos);
    EXPECT_EQ(vertices_only.find("mtllib"), std::string::npos);
    EXPECT_NE(vertices_only.find("\nvn "), std::string::npos);
}

TEST_F(ObjFileTest, MtlRoundTripKeepsEveryMaterial)
{
    TZAVPolyMesh mesh;
    for (const char* name : {"skin", "eyes", "hair"}) {
        TZAVMaterial* material = mesh.CreateMaterial();
        material->SetNameLiteral(name);
        mesh.Materials.Add(material);
    }
    TZAVMaterial** materials = mesh.Materials.Data();
    materials[0]->FindChannel("Color")->Colors[0][1] = 0.25f;
    materials[0]->FindChannel("Color")->MapFileName = "/maps/skin.png";
    materials[1]->FindChannel("Glossy")->Strength = 0.73f;
    materials[1]->FindChannel("Specular")->Colors[0][2] = 0.125f;
    materials[2]->FindChannel("Ambient")->Colors[0][0] = 0.5f;
    materials[2]->FindChannel("Bump")->MapFileName = "hair_bump.png";
    const std::string path = Folder.Path() + "round.mtl";
    ASSERT_TRUE(WriteMTL(mesh, path, Error)) << Error;

    TZAVPolyMesh loaded;
    for (const char* name : {"skin", "eyes", "hair"}) {
        TZAVMaterial* material = loaded.CreateMaterial();
        material->SetNameLiteral(name);
        loaded.Materials.Add(material);
    }
    loaded.MtlLibName = "round.mtl";
    Folder.Write("skin.png", "");
    Folder.Write("hair_bump.png", "");
    ReadMTL(loaded, Folder.Path() + "round.obj");
    EXPECT_TRUE(TakeWarnings().empty());
    for (int32_t m = 0; m < 3; m++) {
        for (TZAVMaterialChannel* channel : mesh.Materials.Data()[m]->ArbChannels) {
            const TZAVMaterialChannel* read = loaded.Materials.Data()[m]->FindChannel(channel->Name);
            SCOPED_TRACE(channel->Name);
            for (int32_t k = 0; k < 3; k++)
                EXPECT_NEAR(read->Colors[0][k], channel->Colors[0][k], 1e-6f);
            if (channel->Name == "Glossy") {
                EXPECT_NEAR(read->Strength, channel->Strength, 0.005f);
            }
        }
    }
    // The map names lose their folder.
    EXPECT_EQ(loaded.Materials.Data()[0]->FindChannel("Color")->MapFileName, "skin.png");
    EXPECT_EQ(loaded.Materials.Data()[2]->FindChannel("Bump")->MapFileName, "hair_bump.png");
}

TEST_F(ObjFileTest, MtlVariantAppliesToEveryMaterialOfTheName)
{
    Folder.Write("twins.mtl", "newmtl Twin\nKd 0.5 0.25 0.125\nKs 1 2\n");
    for (TZAVMtlReadForm form : {TZAVMtlReadForm::FirstMatch, TZAVMtlReadForm::EveryMatch}) {
        TZAVPolyMesh mesh;
        for (const char* name : {"twin", "TWIN"}) {
            TZAVMaterial* material = mesh.CreateMaterial();
            material->SetNameLiteral(name);
            mesh.Materials.Add(material);
        }
        mesh.MtlLibName = "twins.mtl";
        ReadMTL(mesh, Folder.Path() + "twins.obj", form);
        EXPECT_FLOAT_EQ(mesh.Materials.Data()[0]->FindChannel("Color")->Colors[0][1], 0.25f);
        EXPECT_FLOAT_EQ(mesh.Materials.Data()[1]->FindChannel("Color")->Colors[0][1],
                        form == TZAVMtlReadForm::EveryMatch ? 0.25f : 1.0f);
        // "Ks 1 2" has too few numbers and changes nothing.
        EXPECT_FLOAT_EQ(mesh.Materials.Data()[0]->FindChannel("Specular")->Colors[0][0], 1.0f);
        std::vector<std::string> warnings = TakeWarnings();
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_NE(warnings[0].find("twins.mtl: 1 line(s) could not be read; the first is line 3"),
                  std::string::npos);
    }
}

TEST_F(ObjFileTest, GroupsExportToFilesOfTheirOwn)
{
    TZAVPolyMesh mesh;
    ASSERT_TRUE(ReadOBJ(FigurePath, mesh, ObjRead_None, Error)) << Error;
    ASSERT_TRUE(WriteOBJGroups(mesh, Folder.Path() + "export.obj", ObjWrite_Groups, Error)) << Error;
    TZAVPolyMesh arm;
    ASSERT_TRUE(ReadOBJ(Folder.Path() + "export_arm.OBJ", arm, ObjRead_None, Error)) << Error;
    EXPECT_EQ(arm.GetVertexCount(), 8);
    EXPECT_EQ(arm.GetPolygonCount(), 3);
    EXPECT_EQ(arm.GetTexVertexCount(), 4);
    // Mesh vertex 7 is the arm's sixth.
    EXPECT_EQ(CornerVertices(arm, 0), (std::vector<int32_t>{0, 1, 5}));
    EXPECT_FLOAT_EQ(arm.Vertices[3 * 5], 3.0f);
    EXPECT_FLOAT_EQ(arm.Vertices[3 * 5 + 1], 1.0f);
    EXPECT_EQ(Names(arm.Materials), (std::vector<std::string>{"skin", "cloth"}));
    EXPECT_TRUE(FileExists(Folder.Path() + "export_torso.OBJ"));
    EXPECT_TRUE(FileExists(Folder.Path() + "export_leg.OBJ"));

    // A group whose vertex list does not cover its polygons is refused.
    mesh.Groups2.Data()[2]->Vertices.pop_back();
    EXPECT_FALSE(WriteOBJGroups(mesh, Folder.Path() + "broken.obj", ObjWrite_Groups, Error));
    EXPECT_EQ(Error, "The group \"leg\" contains an invalid vertex index");
}

// [SECTION] Damaged input

TEST_F(ObjFileTest, LinesThatCannotBeReadGiveOneWarningAndKeepTheirSlots)
{
    struct TCase
    {
        const char* Name;
        std::string Text;
        int64_t Count;
        int64_t First;
    };
    const std::string head = "v 0 0 0\nv 1 0 0\nv 1 1 0\nvt 0 0\n";
    const TCase cases[] = {
        {"vertex zero", head + "f 0 1 2\nf 1 2 3\n", 1, 5},
        {"vertex past the end", head + "f 1 2 4\nf 1 2 3\n", 1, 5},
        {"negative past the start", head + "f -4 1 2\nf 1 2 3\n", 1, 5},
        {"two corners", head + "f 1 2\nf 1 2 3\n", 1, 5},
        {"malformed token", head + "f 1/x 2 3\nf 1 2 3\n", 1, 5},
        {"index too long", head + "f 1 2 99999999999999999999\nf 1 2 3\n", 1, 5},
        {"truncated last line", head + "f 1 2 3\nf 1 2/", 1, 6},
        {"two bad lines", head + "f 1 2 3\nf 1 9 3\nf 1 1\n", 2, 6},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.Name);
        TZAVPolyMesh mesh;
        ASSERT_TRUE(Load(test.Text, mesh)) << Error;
        EXPECT_EQ(mesh.GetPolygonCount(), 2 + (test.Count == 2 ? 1 : 0));
        std::vector<std::string> warnings = TakeWarnings();
        ASSERT_EQ(warnings.size(), 1u);
        const std::string expected = "test.obj: " + std::to_string(test.Count) +
                                     " line(s) could not be read; the first is line " +
                                     std::to_string(test.First);
        EXPECT_NE(warnings[0].find(expected), std::string::npos) << warnings[0];
    }
}

TEST_F(ObjFileTest, NumbersThatDoNotParseKeepTheirInitialValue)
{
    TZAVPolyMesh mesh;
    ASSERT_TRUE(Load("v 1 x 3\nv 1e2 -2.5 +4\nv 1,5 2 3\nvt 0.5\nf 1/1 2/1 3/1\n", mesh));
    EXPECT_EQ(mesh.Vertices, (std::vector<float>{1, 0, 0, 100, -2.5f, 4, 1, 0, 0}));
    EXPECT_EQ(mesh.TexVertices, (std::vector<float>{0.5f, 0}));
    std::vector<std::string> warnings = TakeWarnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("3 line(s) could not be read; the first is line 1"), std::string::npos);
}

TEST_F(ObjFileTest, LoadsThatFailLeaveTheMeshAsItWas)
{
    TZAVPolyMesh mesh;
    ASSERT_TRUE(ReadOBJ(FigurePath, mesh, ObjRead_None, Error)) << Error;
    TakeStatusLines();
    struct TCase
    {
        const char* Name;
        const char* Text;
        const char* Message;
    };
    const TCase cases[] = {
        {"empty", "", "This OBJ file has no vertices!"},
        {"no vertices", "vt 0 0\nf 1 2 3\n", "This OBJ file has no vertices!"},
        {"only comments", "# nothing\n\n", "This OBJ file has no vertices!"},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.Name);
        EXPECT_FALSE(Load(test.Text, mesh));
        EXPECT_NE(Error.find(test.Message), std::string::npos) << Error;
        EXPECT_NE(Error.find("test.obj"), std::string::npos) << Error;
        EXPECT_EQ(mesh.GetVertexCount(), 12);
        EXPECT_EQ(mesh.GetPolygonCount(), 6);
        EXPECT_EQ(mesh.Groups2.Count(), 3);
    }
    EXPECT_FALSE(ReadOBJ(Folder.Path() + "missing.obj", mesh, ObjRead_None, Error));
    EXPECT_EQ(Error, "Cannot open the OBJ file " + Folder.Path() + "missing.obj");
    EXPECT_FALSE(ReadOBJ(Folder.Path(), mesh, ObjRead_None, Error));
    EXPECT_EQ(mesh.GetVertexCount(), 12);
    EXPECT_EQ(mesh.Materials.Count(), 2);
}

TEST_F(ObjFileTest, MissingLibraryAndMapsAreReported)
{
    TZAVPolyMesh mesh;
    ASSERT_TRUE(Load("mtllib absent.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nusemtl red\nf 1 2 3\n", mesh));
    std::vector<std::string> warnings = TakeWarnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("\"absent.mtl\""), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find("test.obj"), std::string::npos) << warnings[0];

    // The library is found without regard to case; a map it names is not there.
    Folder.Write("Paint.MTL", "newmtl red\nmap_Kd red.png\n");
    TZAVPolyMesh painted;
    ASSERT_TRUE(Load("mtllib paint.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nusemtl red\nf 1 2 3\n", painted));
    EXPECT_EQ(painted.Materials.Data()[0]->FindChannel("Color")->MapFileName, "red.png");
    warnings = TakeWarnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("The texture \"red.png\""), std::string::npos) << warnings[0];
}

TEST_F(ObjFileTest, LibrariesAndMapsAreFoundAsOtherProgramsNameThem)
{
    // Several libraries on one line, a blank escaped inside a name, and maps named in Windows form.
    ASSERT_EQ(mkdir((Folder.Path() + "textures").c_str(), 0700), 0);
    Folder.Write("textures/Skin.jpg", "");
    Folder.Write("Tex.jpg", "");
    Folder.Write("first.mtl", "newmtl red\nKd 1 0 0\nmap_Kd .\\Tex.jpg\n");
    Folder.Write("second lib.mtl", "newmtl blue\nKd 0 0 1\nmap_Bump TEXTURES\\skin.jpg\n");
    TZAVPolyMesh mesh;
    ASSERT_TRUE(Load("mtllib first.mtl second\\ lib.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nusemtl red\nf 1 2 3\n"
                     "usemtl blue\nf 1 2 3\n",
                     mesh));
    EXPECT_TRUE(TakeWarnings().empty());
    EXPECT_FLOAT_EQ(mesh.Materials.Data()[0]->FindChannel("Color")->Colors[0][0], 1.0f);
    EXPECT_FLOAT_EQ(mesh.Materials.Data()[1]->FindChannel("Color")->Colors[0][2], 1.0f);
    std::string found;
    EXPECT_TRUE(FindFileBeside("TEXTURES\\skin.jpg", Folder.Path(), found));
    EXPECT_EQ(found, Folder.Path() + "textures/Skin.jpg");
    EXPECT_TRUE(FindFileBeside("C:\\Figures\\tex.jpg", Folder.Path(), found));
    EXPECT_EQ(found, Folder.Path() + "Tex.jpg");
}

TEST_F(ObjFileTest, FailedWriteKeepsTheOldFile)
{
    TZAVPolyMesh mesh;
    ASSERT_TRUE(ReadOBJ(FigurePath, mesh, ObjRead_None, Error)) << Error;
    EXPECT_FALSE(WriteOBJ(mesh, Folder.Path() + "no/such/folder/out.obj", ObjWrite_None, Error));
    EXPECT_NE(Error.find("Error creating the file"), std::string::npos) << Error;
    EXPECT_EQ(TemporaryFolder::Read(FigurePath), FigureObj);
}

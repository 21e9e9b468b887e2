// Material maps in texture memory and the interface pictures of the graphics archive, checked by
// reading the textures back from a real GL context (run under xvfb-run).
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <memory>
#include <vector>

#include "app/texture_registry.h"
#include "app/texture_residency.h"
#include "core/paths.h"
#include "files/graphics_archive.h"
#include "files/settings.h"
#include "mesh/sculpt_mesh.h"
#include "paint/material_map.h"
#include "support/grid_mesh.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"
#include "support/warnings.h"
#include "support/widget_window.h"
#include "widgets/skin_names.h"

namespace {

constexpr int32_t WindowSide = 32;

class Texture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_NE(SharedTestWindow("app_texture_test", WindowSide, WindowSide, error), 0) << error;
    }
};

// The texture's level 0 as RGB rows, bottom row first.
std::vector<uint8_t> ReadTexture(uint32_t texture, int32_t width, int32_t height)
{
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 3);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

void TextureSize(uint32_t texture, int32_t& out_width, int32_t& out_height)
{
    GLint width = 0;
    GLint height = 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    out_width = width;
    out_height = height;
}

// A 2 × 2 grid whose one material uses the map through its colour channel; the map is owned by
// the mesh.
TZAVMaterialMap* AddMappedMaterial(TTarnwick_Mesh& mesh, int32_t width, int32_t height, const float* colour)
{
    MakeGrid(mesh, 2, 2);
    TZAVMaterial* material = mesh.CreateMaterial();
    material->AddDefaultChannels();
    mesh.Materials.Add(material);
    std::fill(mesh.PolygonMaterial.begin(), mesh.PolygonMaterial.end(), int16_t(0));
    material->FindChannel("Color")->TextureIndex = 0;
    auto* map = new TZAVMaterialMap;
    std::copy_n(colour, 3, map->DefaultColor);
    EXPECT_TRUE(map->AllocatePixels(width, height));
    mesh.MaterialMaps.Add(map);
    return map;
}

std::string BuildGraphicsArchive()
{
    std::string program_folder;
    if (!ProgramFolder(program_folder))
        return {};
    return WithTrailingSeparator(program_folder) + "../Data/Graphics.dat";
}

} // namespace

// A map goes up when it fits and is drawn in its colour; at the size limit it leaves texture
// memory, and it comes back when the limit rises. Hiding its polygons compresses it on request.
TEST_F(Texture, MapsGoUpComeDownAndComeBack)
{
    const float colour[3] = {0.2f, 0.6f, 0.9f};
    TTarnwick_Mesh mesh;
    TZAVMaterialMap* map = AddMappedMaterial(mesh, 16, 8, colour);

    SendMapsToOpenGL(mesh, 64, TZAVTextureCompression::Off);
    ASSERT_NE(map->TextureId, 0u);
    EXPECT_TRUE(map->Visible);
    EXPECT_TRUE(map->Painted);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glViewport(0, 0, WindowSide, WindowSide);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glBindTexture(GL_TEXTURE_2D, map->TextureId);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex2f(-1, -1);
    glTexCoord2f(1, 0), glVertex2f(1, -1);
    glTexCoord2f(1, 1), glVertex2f(1, 1);
    glTexCoord2f(0, 1), glVertex2f(-1, 1);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    const TWidgetFrame frame = TWidgetFrame::ReadBack(WindowSide, WindowSide);
    EXPECT_TRUE(frame.Near(WindowSide / 2, WindowSide / 2, colour));

    SendMapsToOpenGL(mesh, 16, TZAVTextureCompression::Off);
    EXPECT_TRUE(map->OutOfMemory);
    EXPECT_EQ(map->TextureId, 0u);
    SendToOpenGL(*map, TZAVTextureCompression::Off);
    EXPECT_EQ(map->TextureId, 0u);

    SendMapsToOpenGL(mesh, 17, TZAVTextureCompression::Off);
    EXPECT_FALSE(map->OutOfMemory);
    ASSERT_NE(map->TextureId, 0u);
    const std::vector<uint8_t> back = ReadTexture(map->TextureId, 16, 8);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), map->Pixels.begin()));
    // Changed pixels go up again once the map says so.
    map->PixelAt(3, 2)[1] = 255;
    map->UploadPending = 1;
    SendMapsToOpenGL(mesh, 17, TZAVTextureCompression::Off);
    EXPECT_EQ(ReadTexture(map->TextureId, 16, 8), map->Pixels);
    EXPECT_FALSE(map->UploadPending);

    for (uint32_t& flags : mesh.PolygonFlags)
        flags |= PolygonFlag_Hidden;
    SendMapsToOpenGL(mesh, 64, TZAVTextureCompression::Driver);
    EXPECT_FALSE(map->Visible);
    EXPECT_TRUE(map->Compressed);
    GLint internal_format = 0;
    glBindTexture(GL_TEXTURE_2D, map->TextureId);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internal_format);
    EXPECT_NE(internal_format, GL_RGB8);
    for (uint32_t& flags : mesh.PolygonFlags)
        flags &= ~uint32_t(PolygonFlag_Hidden);
    SendMapsToOpenGL(mesh, 64, TZAVTextureCompression::Driver);
    EXPECT_FALSE(map->Compressed);
    EXPECT_EQ(ReadTexture(map->TextureId, 16, 8), map->Pixels);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// After a seam fix only the changed node's rectangle is sent: the rest of the texture keeps what
// was uploaded before, though the pixels in memory changed everywhere. A destroyed map deletes
// its texture.
TEST_F(Texture, SeamFixUploadsOnlyTheChangedRectangle)
{
    InstallMapTextureHooks();
    const float colour[3] = {0.0f, 0.0f, 0.0f};
    auto mesh = std::make_unique<TTarnwick_Mesh>();
    TZAVMaterialMap* map = AddMappedMaterial(*mesh, 16, 8, colour);
    SendToOpenGL(*map, TZAVTextureCompression::Off);
    ASSERT_NE(map->TextureId, 0u);
    map->BuildQuadTree(*mesh);
    ASSERT_FALSE(map->Root->IsLeaf());
    for (int32_t y = 0; y < map->Height; y++)
        for (int32_t x = 0; x < map->Width; x++) {
            uint8_t* pixel = map->PixelAt(x, y);
            pixel[0] = uint8_t(10 + x * 15);
            pixel[1] = uint8_t(10 + y * 30);
            pixel[2] = 200;
        }
    // The child right of the middle along u, below it along v: pixels x 8..15, y 0..3.
    TTarnwick_PolyQuadTreeNode* node = map->Root->Children[1];
    node->Dirty = 1;
    ASSERT_TRUE(map->FixSeams(*mesh));

    const std::vector<uint8_t> texture = ReadTexture(map->TextureId, 16, 8);
    const uint8_t black[3] = {0, 0, 0};
    for (int32_t y = 0; y < map->Height; y++) {
        for (int32_t x = 0; x < map->Width; x++) {
            const bool inside = x >= node->PixelX && x < node->PixelX + node->PixelWidth &&
                                y >= node->PixelY && y < node->PixelY + node->PixelHeight;
            const uint8_t* expected = inside ? map->PixelAt(x, y) : black;
            const uint8_t* actual = &texture[3 * size_t(y * map->Width + x)];
            ASSERT_TRUE(std::equal(actual, actual + 3, expected)) << "pixel " << x << ", " << y;
        }
    }
    // A map that goes takes its texture with it.
    const GLuint name = map->TextureId;
    mesh.reset();
    EXPECT_FALSE(glIsTexture(name));
    SetMapUploadHook(nullptr);
    SetMapReleaseHook(nullptr);
}

// Every picture the generator draws is registered under its name at its own size, though the
// usual lower size limit would raise it; the limits are back afterwards.
TEST_F(Texture, BuildArchiveRegistersEveryPicture)
{
    const int32_t minimum = MinTextureSize;
    const int32_t maximum = MaxTextureSize;
    ASSERT_GT(minimum, 16);
    TZAVTextureRegistry registry;
    ASSERT_TRUE(LoadGraphicsArchive(registry, BuildGraphicsArchive())) << "build tarnwick_graphics first";
    EXPECT_EQ(registry.Count(), int32_t(std::size(SkinImages)));
    for (const TZAVSkinImage& image : SkinImages) {
        const TZAVRegisteredTexture texture = registry.Find(image.Name);
        ASSERT_NE(texture.Id, 0u) << image.Name;
        int32_t width = 0;
        int32_t height = 0;
        TextureSize(texture.Id, width, height);
        EXPECT_EQ(width, image.Width) << image.Name;
        EXPECT_EQ(height, image.Height) << image.Name;
    }
    // A pictogram keeps its transparent ground.
    std::vector<uint8_t> arrow(size_t(SkinArrowUp.Width) * SkinArrowUp.Height * 4);
    glBindTexture(GL_TEXTURE_2D, registry.Find(SkinArrowUp.Name).Id);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, arrow.data());
    EXPECT_EQ(arrow[3], 0);
    EXPECT_EQ(MinTextureSize, minimum);
    EXPECT_EQ(MaxTextureSize, maximum);

    registry.Clear();
    EXPECT_EQ(registry.Find(SkinLock.Name).Id, 0u);
}

// A record that does not decode is skipped with a warning, an archive cut short keeps the records
// before the cut, and a missing archive is an error the caller ends the program on.
TEST_F(Texture, DamagedArchivesKeepWhatCanBeRead)
{
    std::vector<TZAVGraphicsRecord> built;
    std::string error;
    ASSERT_TRUE(ReadGraphicsArchive(BuildGraphicsArchive(), built, error)) << error;
    ASSERT_GE(built.size(), 3u);
    std::vector<TZAVGraphicsRecord> records = {built[0], {"Broken.tga", {1, 2, 3, 4, 5}}, built[1], built[2]};
    TemporaryFolder folder;
    const std::string path = folder.Path() + "Graphics.dat";
    ASSERT_TRUE(WriteGraphicsArchive(records, path, error)) << error;
    std::string bytes = TemporaryFolder::Read(path);
    bytes.resize(bytes.size() - built[2].Bytes.size() / 2);
    folder.Write("Graphics.dat", bytes);

    TakeWarnings();
    TZAVTextureRegistry registry;
    ASSERT_TRUE(LoadGraphicsArchive(registry, path));
    EXPECT_EQ(registry.Count(), 2);
    EXPECT_NE(registry.Find(WithoutExtension(built[0].Name)).Id, 0u);
    EXPECT_NE(registry.Find(WithoutExtension(built[1].Name)).Id, 0u);
    EXPECT_EQ(registry.Find("Broken").Id, 0u);
    bool broken_named = false;
    for (const std::string& warning : TakeWarnings())
        broken_named = broken_named || warning.find("Broken.tga") != std::string::npos;
    EXPECT_TRUE(broken_named);

    ScriptedDialogs dialogs;
    EXPECT_FALSE(LoadGraphicsArchive(registry, folder.Path() + "Missing.dat"));
    EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Error, "Cannot open the file"));
    EXPECT_EQ(registry.Count(), 2);
}

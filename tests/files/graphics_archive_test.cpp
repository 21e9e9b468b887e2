#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "files/graphics_archive.h"
#include "paint/image_file.h"
#include "support/temp_folder.h"
#include "support/warnings.h"
#include "widgets/skin_names.h"

namespace {

// A record as the archive stores it: the name in its 256-byte field, the length, the bytes.
std::string RecordBytes(const std::string& name, const std::string& body, uint32_t length)
{
    std::string field(GraphicsNameFieldSize, '\0');
    field.replace(0, name.size(), name);
    const char length_bytes[4] = {char(length), char(length >> 8), char(length >> 16), char(length >> 24)};
    return field + std::string(length_bytes, 4) + body;
}

std::string RecordBytes(const std::string& name, const std::string& body)
{
    return RecordBytes(name, body, uint32_t(body.size()));
}

std::vector<TZAVGraphicsRecord> Read(const std::string& bytes)
{
    std::vector<TZAVGraphicsRecord> records;
    ReadGraphicsArchive({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, "Graphics.dat",
                        records);
    return records;
}

std::string Text(const std::vector<uint8_t>& bytes)
{
    return {bytes.begin(), bytes.end()};
}

bool RunGenerator(const std::string& path)
{
    const pid_t child = fork();
    if (child == 0) {
        execl(TARNWICK_MAKE_GRAPHICS, TARNWICK_MAKE_GRAPHICS, path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

TEST(GraphicsArchive, WrittenRecordsReadBack)
{
    TemporaryFolder folder;
    const std::string path = folder.Path() + "Graphics.dat";
    const std::vector<TZAVGraphicsRecord> records = {
        {"Lock.tga", {1, 2, 3}}, {"Empty.png", {}}, {std::string(GraphicsNameFieldSize - 1, 'n'), {0, 255}}};
    std::string error;
    ASSERT_TRUE(WriteGraphicsArchive(records, path, error)) << error;

    std::vector<TZAVGraphicsRecord> read;
    ASSERT_TRUE(ReadGraphicsArchive(path, read, error)) << error;
    ASSERT_EQ(read.size(), records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(read[i].Name, records[i].Name);
        EXPECT_EQ(read[i].Bytes, records[i].Bytes);
    }
    EXPECT_TRUE(TakeWarnings().empty());

    // A name that leaves no room for its NUL is refused, and the archive stays as it was.
    const std::vector<TZAVGraphicsRecord> too_long = {{std::string(GraphicsNameFieldSize, 'n'), {}}};
    EXPECT_FALSE(WriteGraphicsArchive(too_long, path, error));
    ASSERT_TRUE(ReadGraphicsArchive(path, read, error));
    EXPECT_EQ(read.size(), records.size());
}

TEST(GraphicsArchive, DamagedArchivesKeepTheRecordsBeforeTheDamage)
{
    const std::string first = RecordBytes("Panel.tga", "abc");
    TakeWarnings();

    EXPECT_TRUE(Read("").empty());
    EXPECT_TRUE(TakeWarnings().empty());

    // A header cut short.
    std::vector<TZAVGraphicsRecord> records = Read(first + RecordBytes("Menu.tga", "").substr(0, 100));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(Text(records[0].Bytes), "abc");
    std::vector<std::string> warnings = TakeWarnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("Graphics.dat: record 2"), std::string::npos) << warnings[0];

    // A length past the end, however large, allocates nothing and names the record.
    for (uint32_t length : {4u, 0xffffffffu}) {
        records = Read(first + RecordBytes("Lock.tga", "xyz", length));
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].Name, "Panel.tga");
        warnings = TakeWarnings();
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_NE(warnings[0].find("record 2 (\"Lock.tga\")"), std::string::npos) << warnings[0];
    }

    // A name without its NUL ends the reading, even with well-formed records after it.
    std::string unended = RecordBytes("", "body");
    unended.replace(0, GraphicsNameFieldSize, GraphicsNameFieldSize, 'n');
    records = Read(first + unended + RecordBytes("Close.tga", ""));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Name, "Panel.tga");
    EXPECT_EQ(TakeWarnings().size(), 1u);
}

TEST(GraphicsArchive, MissingFileLeavesTheRecords)
{
    TemporaryFolder folder;
    std::vector<TZAVGraphicsRecord> records = {{"Kept.tga", {}}};
    std::string error;
    EXPECT_FALSE(ReadGraphicsArchive(folder.Path() + "Graphics.dat", records, error));
    EXPECT_NE(error.find("Graphics.dat"), std::string::npos);
    EXPECT_FALSE(ReadGraphicsArchive(folder.Path(), records, error));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Name, "Kept.tga");
}

// The build's archive is the generator's output, the same at every run, and every picture of the
// skin decodes at the size the widgets draw it.
TEST(GraphicsArchive, GeneratedArchiveIsReproducibleAndDecodes)
{
    TemporaryFolder folder;
    ASSERT_TRUE(RunGenerator(folder.Path() + "first.dat"));
    ASSERT_TRUE(RunGenerator(folder.Path() + "second.dat"));
    const std::string built = TemporaryFolder::Read(TARNWICK_GRAPHICS_ARCHIVE);
    ASSERT_FALSE(built.empty()) << "no archive at " << TARNWICK_GRAPHICS_ARCHIVE;
    EXPECT_EQ(TemporaryFolder::Read(folder.Path() + "first.dat"), built);
    EXPECT_EQ(TemporaryFolder::Read(folder.Path() + "second.dat"), built);

    std::vector<TZAVGraphicsRecord> records;
    std::string error;
    ASSERT_TRUE(ReadGraphicsArchive(TARNWICK_GRAPHICS_ARCHIVE, records, error)) << error;
    EXPECT_TRUE(TakeWarnings().empty());
    ASSERT_EQ(records.size(), std::size(SkinImages));
    for (size_t i = 0; i < records.size(); ++i) {
        const TZAVSkinImage& image = SkinImages[i];
        EXPECT_EQ(records[i].Name, std::string(image.Name) + ".tga");
        TZAVPixelBuffer pixels;
        int32_t width = 0, height = 0;
        ASSERT_TRUE(DecodeImageBytes(records[i].Bytes, pixels, width, height, error))
            << records[i].Name << ": " << error;
        EXPECT_EQ(width, image.Width) << records[i].Name;
        EXPECT_EQ(height, image.Height) << records[i].Name;
        // The decoder drops alpha; the TGA's first pixel (BGRA after the 18-byte header) shows
        // that a pictogram's ground is transparent.
        if (image.Border == 0 && image.Name != std::string(SkinLock.Name)) {
            EXPECT_EQ(records[i].Bytes.at(18 + 3), 0) << records[i].Name;
        }
        // Rows come bottom first; the title bar's light edge is its top row.
        if (image.Name == std::string(SkinTitleBar.Name)) {
            const uint8_t* top_row = &pixels[size_t(height - 2) * width * 3];
            const uint8_t* bottom_row = &pixels[size_t(1) * width * 3];
            EXPECT_GT(top_row[width / 2 * 3], bottom_row[width / 2 * 3] + 40);
        }
    }
}

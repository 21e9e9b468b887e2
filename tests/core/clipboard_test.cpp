#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/clipboard.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

namespace {

uint32_t ReadLittleEndian(const uint8_t* bytes, int byte_count)
{
    uint32_t value = 0;
    for (int i = byte_count - 1; i >= 0; i--)
        value = (value << 8) | bytes[i];
    return value;
}

TEST(Clipboard, ImageBecomesAPaddedBgrDib)
{
    // Two rows of two pixels: 6 bytes of pixels padded to 8 per row.
    const uint8_t pixels[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ASSERT_TRUE(CopyImageToClipboard(GlobalDialogHost, pixels, 2, 2));
    std::vector<uint8_t> dib;
    ASSERT_TRUE(GetClipboardImage(dib));
    ASSERT_EQ(dib.size(), 40u + 16u);
    EXPECT_EQ(ReadLittleEndian(&dib[0], 4), 40u);
    EXPECT_EQ(ReadLittleEndian(&dib[4], 4), 2u);
    EXPECT_EQ(ReadLittleEndian(&dib[8], 4), 2u);
    EXPECT_EQ(ReadLittleEndian(&dib[12], 2), 1u);
    EXPECT_EQ(ReadLittleEndian(&dib[14], 2), 24u);
    EXPECT_EQ(ReadLittleEndian(&dib[16], 4), 0u);
    EXPECT_EQ(ReadLittleEndian(&dib[20], 4), 16u);
    const std::vector<uint8_t> expected_pixels = {3, 2, 1, 6, 5, 4, 0, 0, 9, 8, 7, 12, 11, 10, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(dib.begin() + 40, dib.end()), expected_pixels);

    // Copying an image replaces text on the clipboard.
    std::string text;
    EXPECT_FALSE(GetClipboardText(text));
}

TEST(Clipboard, SavedBitmapHasTheFileHeaderThenTheDib)
{
    TemporaryFolder folder;
    const uint8_t pixels[] = {255, 0, 0};
    ASSERT_TRUE(CopyImageToClipboard(GlobalDialogHost, pixels, 1, 1));
    std::vector<uint8_t> dib;
    ASSERT_TRUE(GetClipboardImage(dib));

    std::string path = folder.Path() + "clip.bmp";
    ASSERT_TRUE(SaveClipboardImage(path));
    std::string file = TemporaryFolder::Read(path);
    ASSERT_EQ(file.size(), dib.size() + 14);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(file.data());
    EXPECT_EQ(file.substr(0, 2), "BM");
    EXPECT_EQ(ReadLittleEndian(bytes + 2, 4), dib.size() + 14);
    EXPECT_EQ(ReadLittleEndian(bytes + 6, 4), 0u);
    EXPECT_EQ(ReadLittleEndian(bytes + 10, 4), 54u);
    EXPECT_EQ(std::vector<uint8_t>(bytes + 14, bytes + file.size()), dib);

    EXPECT_FALSE(SaveClipboardImage(folder.Path() + "no/such/folder/clip.bmp"));
}

TEST(Clipboard, TextReplacesTheImageAndIsCutToTheBuffer)
{
    ASSERT_TRUE(SetClipboardText("Morph_Nose"));
    std::vector<uint8_t> dib;
    EXPECT_FALSE(GetClipboardImage(dib));
    TemporaryFolder folder;
    EXPECT_FALSE(SaveClipboardImage(folder.Path() + "clip.bmp"));

    char buffer[6];
    ASSERT_TRUE(GetClipboardText(buffer, sizeof(buffer)));
    EXPECT_STREQ(buffer, "Morph");
    std::string text;
    ASSERT_TRUE(GetClipboardText(text));
    EXPECT_EQ(text, "Morph_Nose");
    EXPECT_FALSE(SetClipboardText(nullptr));
    EXPECT_FALSE(GetClipboardText(nullptr, 4));
}

TEST(Clipboard, BadImagesAreRefusedWithAMessage)
{
    ASSERT_TRUE(SetClipboardText("kept"));
    ScriptedDialogs dialogs;
    const uint8_t pixel[] = {0, 0, 0};
    EXPECT_FALSE(CopyImageToClipboard(GlobalDialogHost, pixel, 0, 1));
    EXPECT_FALSE(CopyImageToClipboard(GlobalDialogHost, nullptr, 1, 1));
    EXPECT_FALSE(CopyImageToClipboard(GlobalDialogHost, pixel, 1 << 20, 1 << 20));
    EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Error, "Error setting the clipboard, Error #"));
    EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Error, "There is not enough free memory"));
    std::string text;
    ASSERT_TRUE(GetClipboardText(text));
    EXPECT_EQ(text, "kept");
}

// A desktop clipboard that records what it is offered and answers pastes with answer.
struct TFakeDesktop
{
    static inline std::vector<uint8_t> Offered;
    static inline TZAVClipboardFetch Answer = TZAVClipboardFetch::Local;
    static inline const TZAVClipboardBackend Backend{
        [](std::span<const uint8_t> dib) { Offered.assign(dib.begin(), dib.end()); }, nullptr,
        [](std::vector<uint8_t>& out_dib) {
            out_dib = {7, 7, 7};
            return Answer;
        },
        nullptr};
};

TEST(Clipboard, TheDesktopSeesCopiesAndAnswersPastesFirst)
{
    SetClipboardBackend(&TFakeDesktop::Backend);
    const uint8_t pixel[] = {1, 2, 3};
    ASSERT_TRUE(CopyImageToClipboard(GlobalDialogHost, pixel, 1, 1));
    std::vector<uint8_t> local;
    ASSERT_TRUE(GetClipboardImage(local));
    EXPECT_EQ(TFakeDesktop::Offered, local);

    TemporaryFolder folder;
    std::vector<uint8_t> dib;
    TFakeDesktop::Answer = TZAVClipboardFetch::Missing;
    EXPECT_FALSE(GetClipboardImage(dib));
    EXPECT_FALSE(SaveClipboardImage(folder.Path() + "missing.bmp"));
    TFakeDesktop::Answer = TZAVClipboardFetch::Found;
    ASSERT_TRUE(GetClipboardImage(dib));
    EXPECT_EQ(dib, std::vector<uint8_t>({7, 7, 7}));
    ASSERT_TRUE(SaveClipboardImage(folder.Path() + "found.bmp"));
    EXPECT_EQ(TemporaryFolder::Read(folder.Path() + "found.bmp").substr(14), "\7\7\7");
    SetClipboardBackend(nullptr);
}

} // namespace

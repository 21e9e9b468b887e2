#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "files/language.h"
#include "support/temp_folder.h"
#include "support/warnings.h"

namespace {

const std::string ShippedLanguageFile = std::string(TARNWICK_TEST_DATA) + "../../data/Language_v2.txt";

// Every entry the program looks up by number.
const std::vector<int32_t> EntriesInUse = {
    71,  72,  73,  74,  75,  76,  77,  78,  79,  80,  81,  82,  83,  84,  85,  86,  93,  94,  95,  96,
    102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116, 117, 122, 123, 126, 127,
    128, 129, 134, 135, 152, 186, 245, 274, 275, 278, 279, 280, 285, 286, 287, 288, 290, 291, 292, 293,
    295, 369, 370, 381, 388, 418, 427, 428, 434, 435, 436, 437, 465, 466, 467, 474, 475, 476, 491, 492,
    569, 570, 573, 574, 575, 576, 580, 614, 637, 642, 643, 644, 645, 646, 647, 648, 649, 650, 651, 652,
    653, 654, 655, 662, 663, 673, 674, 675, 676, 677, 678, 755, 784, 785, 796, 797, 798};

bool ContainsNoCase(std::string text, const std::string& word)
{
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text.find(word) != std::string::npos;
}

TZAVLanguageTable ReadText(const TemporaryFolder& folder, const std::string& text)
{
    TZAVLanguageTable table;
    std::string error;
    EXPECT_TRUE(table.Read(folder.Write("Language_v2.txt", text), error)) << error;
    return table;
}

std::string Numbered(int32_t count, int32_t special_index = 0, const std::string& special = "")
{
    std::string text;
    for (int32_t i = 1; i <= count; i++)
        text +=
            std::to_string(i) + "." + (i == special_index ? special : "Entry " + std::to_string(i)) + "\n";
    return text;
}

} // namespace

TEST(Language, ShippedFileFillsEveryEntryInUse)
{
    TZAVLanguageTable table;
    std::string error;
    ASSERT_TRUE(table.Read(ShippedLanguageFile, error)) << error;
    EXPECT_TRUE(TakeWarnings().empty());
    ASSERT_GE(table.Count(), LanguageVersionEntry);
    EXPECT_TRUE(table.IsCurrent());
    for (int32_t index = 1; index <= table.Count(); index++)
        EXPECT_FALSE(ContainsNoCase(table.Get(index), "error")) << "entry " << index;
    for (int32_t index : EntriesInUse) {
        const std::string text = table.Get(index);
        EXPECT_FALSE(text.empty() || text.starts_with("Reserved")) << "entry " << index << " has no text";
        // Entries are shown through printf-style calls: only the screen-size message formats numbers.
        if (index != ScreenTooSmallEntry) {
            EXPECT_EQ(text.find('%'), std::string::npos) << "entry " << index;
        }
    }
    // Formatted with the least width and height.
    const std::string screen = table.Get(ScreenTooSmallEntry);
    EXPECT_EQ(std::count(screen.begin(), screen.end(), '%'), 2);
    EXPECT_NE(screen.find("%d"), screen.rfind("%d"));
    EXPECT_STREQ(table.Get(AutoSaveBaseNameEntry), "AutoSave");
    EXPECT_STREQ(table.Get(BakedMorphNameEntry), "Baked Morph");
}

TEST(Language, ReadsContinuationsAndSkipsEntriesOutOfSequence)
{
    TemporaryFolder folder;
    const TZAVLanguageTable table =
        ReadText(folder, "Title line\n1.Open\n2.First line \t\n\nthird line\n\n4.Jumped\nits second line\n"
                         "99999999999999999999.Huge\n3.xX Later\n4.xxNo marker\n5. 6.5 \n");
    ASSERT_EQ(table.Count(), 5);
    EXPECT_STREQ(table.Get(1), "Open");
    EXPECT_STREQ(table.Get(2), "First line \t\n\nthird line");
    EXPECT_STREQ(table.Get(3), "Later");
    EXPECT_STREQ(table.Get(4), "xxNo marker");
    EXPECT_STREQ(table.Get(5), " 6.5");
    EXPECT_STREQ(table.Get(0), "Error");
    EXPECT_STREQ(table.Get(6), "Error");
    const std::vector<std::string> warnings = TakeWarnings();
    ASSERT_EQ(warnings.size(), 3u);
    EXPECT_NE(warnings[0].find("Language_v2.txt (line 1): text before the first entry"), std::string::npos);
    EXPECT_NE(warnings[1].find("Language_v2.txt (line 7): unexpected index, expected 3, found 4"),
              std::string::npos);
    EXPECT_NE(warnings[2].find("(line 9): unexpected index, expected 3, found 2147483647"),
              std::string::npos);
}

TEST(Language, KeepsLatin1AndUtf8Bytes)
{
    TemporaryFolder folder;
    const char text[] = "\xEF\xBB\xBF"
                        "1.Caf\xC3\xA9\r\n2.Caf\xE9 gr\xFC\x00n\r\n";
    const TZAVLanguageTable table = ReadText(folder, std::string(text, sizeof(text) - 1));
    ASSERT_EQ(table.Count(), 2);
    EXPECT_STREQ(table.Get(1), "Caf\xC3\xA9");
    EXPECT_STREQ(table.Get(2), "Caf\xE9 gr\xFCn");
}

TEST(Language, VersionEntryDecidesWhetherTheFileIsCurrent)
{
    TemporaryFolder folder;
    EXPECT_FALSE(ReadText(folder, Numbered(LanguageVersionEntry - 1)).IsCurrent());
    EXPECT_FALSE(
        ReadText(folder, Numbered(LanguageVersionEntry, LanguageVersionEntry, "Old ERRORs")).IsCurrent());
    EXPECT_TRUE(ReadText(folder, Numbered(LanguageVersionEntry)).IsCurrent());
}

TEST(Language, LoadPrefersThePackedFileAndKeepsTheTableWhenNothingLoads)
{
    TemporaryFolder folder;
    std::string error;
    EXPECT_FALSE(LoadLanguage(folder.Path(), error));
    EXPECT_NE(error.find("Data/Language_v2.txt"), std::string::npos);

    ASSERT_EQ(mkdir((folder.Path() + "Data").c_str(), 0755), 0);
    folder.Write("Data/Language_v2.txt", "1.Text\n");
    folder.Write("Data/Language_v2.dat", "no entries here\n");
    ASSERT_TRUE(LoadLanguage(folder.Path(), error)) << error;
    EXPECT_STREQ(GetLanguageString(1), "Text");
    TakeWarnings();

    folder.Write("Data/Language_v2.dat", "1.Packed\n2.Two\n");
    ASSERT_TRUE(LoadLanguage(folder.Path(), error)) << error;
    EXPECT_EQ(GetLanguageCount(), 2);
    EXPECT_STREQ(GetLanguageString(1), "Packed");
    EXPECT_FALSE(LanguageIsCurrent());

    folder.Write("Data/Language_v2.dat", "");
    folder.Write("Data/Language_v2.txt", "\n\n");
    EXPECT_FALSE(LoadLanguage(folder.Path(), error));
    EXPECT_NE(error.find("Language_v2.txt contains no data"), std::string::npos);
    EXPECT_STREQ(GetLanguageString(2), "Two");
    FreeLanguage();
    EXPECT_STREQ(GetLanguageString(1), "Error");
}

#include "core/text_block.h"

#include <gtest/gtest.h>

#include <random>

#include "core/status.h"
#include "support/stream_file.h"

namespace {

std::vector<uint8_t> RandomBytes(size_t count)
{
    std::mt19937 random(77);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes)
        byte = static_cast<uint8_t>(random());
    return bytes;
}

std::string WrittenBlock(const std::vector<uint8_t>& data, const char* tag = "Data")
{
    StreamFile file(std::tmpfile());
    EXPECT_TRUE(WriteBinaryBlock(file.get(), data, tag));
    return ContentsOf(file.get());
}

// Reads a binary block from text, starting after its header line.
bool ReadBlock(const std::string& text, std::vector<uint8_t>& out_data, std::string* out_error = nullptr)
{
    StreamFile file = FileHolding(text);
    TZAVTextReader reader(file.get(), "block.Tarnwick");
    bool read = ReadBinaryBlock(reader, out_data);
    if (out_error)
        *out_error = reader.Error();
    return read;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

class TextBlock : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetTextBlockLevel(0);
        TakeStatusLines();
    }
};

} // namespace

TEST_F(TextBlock, BinaryBlocksRoundTripInLinesOfEighty)
{
    // An empty block is size 0 and one empty line.
    EXPECT_EQ(WrittenBlock({}), "Data\t\n{\n\tSize\t0\n\n}\n");
    for (size_t count :
         {size_t(0), size_t(1), size_t(2), size_t(60), size_t(61), size_t(120), size_t(1) << 20}) {
        SCOPED_TRACE(count);
        std::vector<uint8_t> data = RandomBytes(count);
        std::string text = WrittenBlock(data);
        std::vector<std::string> lines = Lines(text);
        size_t characters = (count + 2) / 3 * 4;
        EXPECT_EQ(lines[2], "\tSize\t" + std::to_string(characters));
        for (size_t i = 3; i + 2 < lines.size(); i++)
            EXPECT_EQ(lines[i].size(), 80u);
        EXPECT_EQ(lines.back(), "}");
        std::vector<uint8_t> read = {9};
        ASSERT_TRUE(ReadBlock(text.substr(text.find('\n') + 1), read));
        EXPECT_EQ(read, data);
    }
    std::vector<std::string> lines = Lines(WrittenBlock(RandomBytes(61)));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[2], "\tSize\t84");
    EXPECT_EQ(lines[3].size(), 80u);
    EXPECT_EQ(lines[4].size(), 4u);
    EXPECT_EQ(lines[4].substr(2), "==");
}

TEST_F(TextBlock, LevelTwoIndentsEverythingButTheBase64)
{
    SetTextBlockLevel(2);
    StreamFile file(std::tmpfile());
    {
        TStartTextFileBlock block(file.get(), "layer", "Skin");
        EXPECT_TRUE(WriteTextInt(file.get(), "Count", 3));
        EXPECT_TRUE(WriteBinaryBlock(file.get(), std::vector<uint8_t>{'a', 'b', 'c', 'd'}, "Weights"));
        EXPECT_EQ(GetTextBlockLevel(), 3);
    }
    EXPECT_EQ(GetTextBlockLevel(), 2);
    EXPECT_EQ(ContentsOf(file.get()),
              "\t\tlayer\tSkin\n\t\t{\n\t\t\tCount\t3\n"
              "\t\t\tWeights\t\n\t\t\t{\n\t\t\t\tSize\t8\nYWJjZA==\n\t\t\t}\n\t\t}\n");
}

TEST_F(TextBlock, ReaderAcceptsIndentedAndUnindentedBase64)
{
    std::vector<uint8_t> read;
    ASSERT_TRUE(ReadBlock("\t{\n\t\tSize\t8\nYWJj\n\t\t\tZA==\r\n\t}\n", read));
    EXPECT_EQ(read, (std::vector<uint8_t>{'a', 'b', 'c', 'd'}));
}

// Lines are decoded as they come: groups of four may be split anywhere between lines.
TEST_F(TextBlock, Base64SplitAcrossLinesAnywhereReadsAsWhole)
{
    const std::vector<uint8_t> data = RandomBytes(200);
    for (size_t trailing : {size_t(0), size_t(1), size_t(2)}) {
        std::vector<uint8_t> expected(data.begin(), data.end() - std::ptrdiff_t(trailing));
        const std::vector<std::string> lines = Lines(WrittenBlock(expected));
        std::string text;
        for (size_t line = 3; line + 1 < lines.size(); line++)
            text += lines[line];
        std::string block = "{\nSize\t" + std::to_string(text.size()) + "\n";
        for (size_t start = 0, length = 1; start < text.size(); start += length, length = length % 7 + 1)
            block += text.substr(start, length) + "\n";
        std::vector<uint8_t> read;
        ASSERT_TRUE(ReadBlock(block + "}\n", read)) << block;
        EXPECT_EQ(read, expected);
    }
}

// The pieces of one block make the text of the block written whole.
TEST_F(TextBlock, BlockWrittenInPiecesMatchesTheWholeBlock)
{
    const std::vector<uint8_t> data = RandomBytes(200000);
    for (size_t piece_size : {size_t(1), size_t(59), size_t(61), size_t(65536)}) {
        SCOPED_TRACE(piece_size);
        StreamFile file(std::tmpfile());
        TZAVBinaryBlockWriter writer(file.get(), "Data", data.size());
        for (size_t start = 0; start < data.size(); start += piece_size)
            ASSERT_TRUE(
                writer.Append(std::span(data).subspan(start, std::min(piece_size, data.size() - start))));
        EXPECT_TRUE(writer.Finish());
        EXPECT_EQ(ContentsOf(file.get()), WrittenBlock(data));
    }
    StreamFile file(std::tmpfile());
    TZAVBinaryBlockWriter short_writer(file.get(), "Data", 10);
    EXPECT_TRUE(short_writer.Append(std::span(data).first(9)));
    EXPECT_FALSE(short_writer.Finish());
}

TEST_F(TextBlock, BadBinaryBlocksAreRefusedAndLeaveTheDataAlone)
{
    struct Case
    {
        const char* text;
        const char* message_part;
    };
    // The blank line after the short text keeps its Size within the file, so the length check is reached.
    const Case cases[] = {
        {"{\nSize\t400000\nYWJjZA==\n}\n", "larger than the rest of the file"},
        {"{\nSize\t-8\nYWJjZA==\n}\n", "negative"},
        {"{\nSize\teight\nYWJjZA==\n}\n", "not a number"},
        {"{\nSize\t8x\nYWJjZA==\n}\n", "not a number"},
        {"{\nSize\t4\nYWJjZA==\n}\n", "more base64 text"},
        {"{\nSize\t12\nYWJjZA==\n}\n                 \n", "its \"Size\" says 12"},
        {"{\nSize\t8\nYWJj!A==\n}\n", "'!'"},
        {"{\nSize\t8\nYWJj\xc3\xa9==\n}\n", "0xC3"},
        {"{\nSize\t8\nYW==ZA==\n}\n", "after its padding"},
        {"{\nSize\t8\nYW=\n=ZA==\n}\n", "after its padding"},
        {"{\nSize\t5\nYWJjZ\n}\n", "middle of a byte"},
        {"{\nSize\t8\nYWJjZA==\n", "ends inside"},
        {"{\n}\n", "without \"Size\""},
        {"}\n", "missing"},
    };
    for (const Case& bad : cases) {
        SCOPED_TRACE(bad.text);
        std::vector<uint8_t> data = {1, 2, 3};
        std::string error;
        EXPECT_FALSE(ReadBlock(bad.text, data, &error));
        EXPECT_EQ(data, (std::vector<uint8_t>{1, 2, 3}));
        EXPECT_NE(error.find("Invalid data in file \"block.Tarnwick\", line "), std::string::npos) << error;
        EXPECT_NE(error.find(bad.message_part), std::string::npos) << error;
        std::vector<TZAVStatusLine> status = TakeStatusLines();
        ASSERT_EQ(status.size(), 1u);
        EXPECT_EQ(status[0].Kind, TZAVStatusKind::Warning);
        EXPECT_EQ(status[0].Text, error);
    }
}

TEST_F(TextBlock, FailuresNameLongFilesWhole)
{
    const std::string name = "/" + std::string(1200, 'n') + ".Tarnwick";
    StreamFile file = FileHolding("}\n");
    TZAVTextReader reader(file.get(), name);
    std::vector<uint8_t> data;
    EXPECT_FALSE(ReadBinaryBlock(reader, data));
    EXPECT_EQ(reader.Error(), "Invalid data in file \"" + name + "\", line 1: binary block missing");
}

TEST_F(TextBlock, StrayClosingLinesNeverTakeTheLevelBelowZero)
{
    StreamFile file(std::tmpfile());
    EXPECT_TRUE(WriteTextBlockEnd(file.get()));
    EXPECT_EQ(GetTextBlockLevel(), 0);
    SetTextBlockLevel(-3);
    EXPECT_EQ(GetTextBlockLevel(), 0);
    {
        TStartTextFileBlock inactive(file.get(), "group", "x", false);
    }
    EXPECT_TRUE(WriteTextLine(file.get(), "Key", "value"));
    EXPECT_EQ(ContentsOf(file.get()), "}\nKey\tvalue\n");

    // A stray "}" in front of a binary block is the enclosing block's end: it is given back.
    StreamFile stray = FileHolding("}\nafter\n");
    TZAVTextReader reader(stray.get(), "stray.Tarnwick");
    std::vector<uint8_t> data;
    EXPECT_FALSE(ReadBinaryBlock(reader, data));
    std::string_view line;
    ASSERT_TRUE(reader.ReadTrimmedLine(line));
    EXPECT_EQ(line, "}");
}

TEST_F(TextBlock, ShortWritesAreReported)
{
    StreamFile full = FullDevice();
    ASSERT_TRUE(full);
    EXPECT_FALSE(WriteTextLine(full.get(), "Name", "x"));
    EXPECT_FALSE(WriteTextInt(full.get(), "Count", 1));
    EXPECT_FALSE(WriteBinaryBlock(full.get(), RandomBytes(100), "Data"));
    SetTextBlockLevel(0);
    TStartTextFileBlock block(full.get(), "group", "x");
    EXPECT_FALSE(block.Good());
    EXPECT_FALSE(block.Close());
    EXPECT_EQ(GetTextBlockLevel(), 0);
}

TEST_F(TextBlock, KeyValueLinesAreWrittenAndSplitAtTheFirstWord)
{
    StreamFile file(std::tmpfile());
    const float colour[3] = {0.5f, 1.0f, -0.25f};
    ASSERT_TRUE(WriteTextFloat3(file.get(), "BackgroundColor", colour) &&
                WriteTextFloat(file.get(), "Zoom", 2.0f) && WriteTextFlag(file.get(), "Current", true));
    EXPECT_EQ(ContentsOf(file.get()),
              "BackgroundColor\t0.50000000 1.00000000 -0.25000000\nZoom\t2.00000000\nCurrent\t1\n");

    std::string_view key;
    std::string_view value;
    SplitKeyValue("\t  Name \t My  Figure \r\n", key, value);
    EXPECT_EQ(key, "Name");
    EXPECT_EQ(value, "My  Figure");
    SplitKeyValue("Hidden", key, value);
    EXPECT_EQ(key, "Hidden");
    EXPECT_EQ(value, "");
    SplitKeyValue(" \t ", key, value);
    EXPECT_TRUE(key.empty() && value.empty());
    EXPECT_EQ(TextValueInt("12abc"), 12);
    EXPECT_EQ(TextValueInt("-7"), -7);
    EXPECT_EQ(TextValueInt("x"), 0);
    EXPECT_FLOAT_EQ(TextValueFloat("0.25000000"), 0.25f);

    float values[3] = {9, 9, 9};
    TextValueFloat3("0.5\t+1 x", values); // the third number is unreadable and keeps its value
    EXPECT_FLOAT_EQ(values[0], 0.5f);
    EXPECT_FLOAT_EQ(values[1], 1.0f);
    EXPECT_FLOAT_EQ(values[2], 9.0f);
}

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/file_handle.h"
#include "core/text_line.h"

namespace {

// A read-only stream over bytes, which it keeps as long as the stream is open.
class MemoryStream
{
public:
    explicit MemoryStream(const std::string& bytes)
        : Bytes(bytes), Stream(fmemopen(Bytes.data(), Bytes.size(), "rb"))
    {
    }
    FILE* Get() const { return Stream.get(); }

private:
    std::string Bytes;
    TZAVFileHandle Stream;
};

std::vector<std::string> ReadAllWithBuffer(const std::string& bytes, int buffer_size)
{
    MemoryStream stream(bytes);
    std::vector<std::string> lines;
    std::vector<char> buffer(static_cast<size_t>(buffer_size));
    while (ReadTextLine(buffer.data(), buffer_size, stream.Get()))
        lines.emplace_back(buffer.data());
    return lines;
}

std::vector<std::string> ReadAllBuffered(const std::string& bytes)
{
    MemoryStream stream(bytes);
    TZAVLineReader reader(stream.Get());
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.ReadLine(line))
        lines.emplace_back(line);
    return lines;
}

std::vector<std::string> ReadAllWhole(const std::string& bytes)
{
    MemoryStream stream(bytes);
    std::vector<std::string> lines;
    std::string line;
    while (ReadTextLine(line, stream.Get()))
        lines.push_back(line);
    return lines;
}

using Lines = std::vector<std::string>;

TEST(TextLine, AllFourLineEndsReadAlike)
{
    const std::string bytes = "a\r\nb\n\rc\rd";
    EXPECT_EQ(ReadAllWithBuffer(bytes, 64), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(ReadAllWhole(bytes), (Lines{"a", "b", "c", "d"}));
    // Two CRs or two LFs are two line ends, so the empty line between them survives.
    EXPECT_EQ(ReadAllWhole("a\r\rb\n\nc"), (Lines{"a", "", "b", "", "c"}));
}

TEST(TextLine, HighBytesAreKeptAndNulDropped)
{
    const std::string utf8 = "caf\xC3\xA9\n";
    const std::string latin1 = "caf\xE9\n";
    EXPECT_EQ(ReadAllWithBuffer(utf8, 64), (Lines{"caf\xC3\xA9"}));
    EXPECT_EQ(ReadAllWhole(latin1), (Lines{"caf\xE9"}));
    EXPECT_EQ(ReadAllWithBuffer(std::string("a\0b\n", 4), 64), (Lines{"ab"}));
    EXPECT_EQ(ReadAllWhole(std::string("\0x\0\n", 4)), (Lines{"x"}));
}

TEST(TextLine, LongLineIsSplitAtTheBufferSize)
{
    EXPECT_EQ(ReadAllWithBuffer("abcdefg\nh", 4), (Lines{"abc", "def", "g", "h"}));
}

TEST(TextLine, EndOfFileHandling)
{
    EXPECT_EQ(ReadAllWhole("a\n"), (Lines{"a"}));
    EXPECT_EQ(ReadAllWhole("a\n\n"), (Lines{"a", ""}));
    EXPECT_EQ(ReadAllWhole("a\nlast"), (Lines{"a", "last"}));
    EXPECT_TRUE(ReadAllWhole("").empty());

    // The buffer is terminated even when nothing is left to read.
    MemoryStream stream("x");
    char buffer[8] = "zzzzzzz";
    EXPECT_TRUE(ReadTextLine(buffer, sizeof(buffer), stream.Get()));
    EXPECT_STREQ(buffer, "x");
    std::fill(buffer, buffer + 7, 'z');
    EXPECT_FALSE(ReadTextLine(buffer, sizeof(buffer), stream.Get()));
    EXPECT_STREQ(buffer, "");
}

TEST(TextLine, StringVariantReadsAVeryLongLineWhole)
{
    std::string long_line(100000, 'q');
    long_line[54321] = 'X';
    Lines lines = ReadAllWhole(long_line + "\r\nnext\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], long_line);
    EXPECT_EQ(lines[1], "next");
}

// The block reader starts with 16 KB and grows: line ends, pairs and NULs are put astride the
// first block boundaries.
TEST(TextLine, BufferedReaderReadsAsTheByteReader)
{
    for (size_t boundary : {size_t(1) << 14, size_t(3) << 14}) {
        for (const char* line_end :
             {"\r\n", "\n\r", "\n", "\r", "\r\r", std::string_view("\0\n", 2).data()}) {
            for (size_t shift = 0; shift < 4; shift++) {
                SCOPED_TRACE(testing::Message() << boundary << " " << shift << " " << int(line_end[0]));
                std::string bytes(boundary - 2 + shift, 'a');
                bytes[boundary / 2] = '\n';
                bytes += line_end[0] == '\0' ? std::string("\0\n", 2) : std::string(line_end);
                bytes += std::string("tail\0x\r\n", 8);
                bytes += std::string(40000, 'b') + "\n\n";
                EXPECT_EQ(ReadAllBuffered(bytes), ReadAllWhole(bytes));
            }
        }
    }
    EXPECT_TRUE(ReadAllBuffered("").empty());
    EXPECT_EQ(ReadAllBuffered("a\nlast"), (Lines{"a", "last"}));
}

TEST(TextLine, BufferedReaderLeavesTheStreamAfterItsLastLine)
{
    MemoryStream stream("one\r\ntwo\nthree\n");
    {
        TZAVLineReader reader(stream.Get());
        std::string_view line;
        ASSERT_TRUE(reader.ReadLine(line));
        EXPECT_EQ(line, "one");
    }
    std::string next;
    ASSERT_TRUE(ReadTextLine(next, stream.Get()));
    EXPECT_EQ(next, "two");
}

} // namespace

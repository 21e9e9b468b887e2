#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/file_handle.h"
#include "core/output_buffer.h"
#include "core/text_scan.h"

namespace {

// Every position of the line end relative to the 16-byte blocks, and a range that ends before it.
TEST(TextScan, FindLineEndAtEveryBlockOffset)
{
    for (size_t at = 0; at < 40; at++) {
        std::string text(at, 'x');
        text += (at % 2) ? '\r' : '\n';
        text.append(64, 'y'); // the padding the scanner may read
        const char* begin = text.data();
        EXPECT_EQ(FindLineEnd(begin, begin + at + 1), begin + at) << at;
        EXPECT_EQ(FindLineEnd(begin, begin + at), begin + at) << at;
        EXPECT_EQ(FindByte(begin, begin + 60, 'y'), begin + at + 1) << at;
    }
}

TEST(TextScan, BlanksCaseAndNumbers)
{
    for (char c : std::string(" \t\n\v\f\r"))
        EXPECT_TRUE(IsBlank(c)) << int(c);
    for (char c : std::string("x\b\x0e\x1f!"))
        EXPECT_FALSE(IsBlank(c)) << int(c);
    EXPECT_TRUE(SameTextNoCase("VerIfy_vCount", "verify_vcount"));
    EXPECT_FALSE(SameTextNoCase("verify", "verify_"));
    EXPECT_FALSE(SameTextNoCase("\xc4", "\xe4")); // only ASCII letters fold
    EXPECT_EQ(TrimBlanks(" \t a b \r"), "a b");

    float values[3] = {9, 9, 9};
    EXPECT_EQ(ParseFloatList(" +1.5\t-2e1 x 4", values, 3), 2);
    EXPECT_EQ(values[0], 1.5f);
    EXPECT_EQ(values[1], -20.0f);
    EXPECT_EQ(values[2], 9.0f);
}

TEST(OutputBuffer, WritesEverythingInOrderAndReportsFailure)
{
    TZAVFileHandle file(std::tmpfile());
    ASSERT_NE(file, nullptr);
    std::string expected;
    {
        TZAVOutputBuffer out(file.get(), 16); // tiny, so every path through the buffer is taken
        const std::string long_text(100, 'L');
        for (int32_t i = 0; i < 50; i++) {
            out.Append("v ");
            out.AppendFixed(i * 0.25, 3);
            out.Append(' ');
            out.AppendInt(-i * 1000000007LL);
            out.Append(i % 7 == 0 ? std::string_view(long_text) : "\n");
            char line[64];
            std::snprintf(line, sizeof line, "v %.3f %lld", i * 0.25, -i * 1000000007LL);
            expected += line + (i % 7 == 0 ? long_text : "\n");
        }
        ASSERT_TRUE(out.Finish());
    }
    std::rewind(file.get());
    std::string written(expected.size() + 1, '\0');
    written.resize(std::fread(written.data(), 1, written.size(), file.get()));
    EXPECT_EQ(written, expected);

    TZAVFileHandle full(std::fopen("/dev/full", "wb"));
    if (full != nullptr) {
        TZAVOutputBuffer out(full.get());
        out.Append("lost");
        EXPECT_FALSE(out.Finish());
    }
}

} // namespace

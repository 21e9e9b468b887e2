#include <gtest/gtest.h>

#include <string>

#include "core/report.h"

namespace {

std::string last_fatal_text;
std::string last_fatal_title;

void RecordFatal(const char* text, const char* title)
{
    last_fatal_text = text;
    last_fatal_title = title;
}

TEST(Report, ErrorRaisesWithFormattedText)
{
    try {
        ReportError("vertices == NULL in %s()", "TTarnwick_Morph::Add");
        FAIL() << "ReportError returned";
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), "vertices == NULL in TTarnwick_Morph::Add()");
    }
}

TEST(Report, LiteralTextIsNotCutButFormattedTextIs)
{
    std::string literal(1500, 'x');
    try {
        ReportError("%s", literal.c_str());
        FAIL();
    } catch (const TZAVError& error) {
        EXPECT_EQ(std::string(error.what()).size(), 999u);
    }
    try {
        ReportError(literal.c_str()); // no format characters: copied whole
    } catch (const TZAVError& error) {
        EXPECT_EQ(std::string(error.what()).size(), 1500u);
    }
}

TEST(Report, FatalHookGetsTextAndTitle)
{
    SetFatalHook(RecordFatal);
    CallFatalHook("lost", "Place()");
    EXPECT_EQ(last_fatal_text, "lost");
    EXPECT_EQ(last_fatal_title, "Place()");
    SetFatalHook(nullptr);
    CallFatalHook("ignored", "x"); // a missing hook is skipped
    EXPECT_EQ(last_fatal_text, "lost");
}

TEST(ReportDeathTest, FatalEndsWithFailureStatus)
{
    EXPECT_EXIT(ReportFatal("disk %d gone", 2), testing::ExitedWithCode(1), "disk 2 gone");
}

} // namespace

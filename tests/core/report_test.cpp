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

// The formatted text is cut to 999 characters; a literal without '%' is copied whole.
TEST(Report, ErrorRaisesWithFormattedTextAndLiteralTextIsNotCut)
{
    auto raised = [](auto&& call) {
        try {
            call();
        } catch (const TZAVError& error) {
            return std::string(error.what());
        }
        return std::string("returned");
    };
    EXPECT_EQ(raised([] { ReportError("vertices == NULL in %s()", "TTarnwick_Morph::Add"); }),
              "vertices == NULL in TTarnwick_Morph::Add()");
    std::string literal(1500, 'x');
    EXPECT_EQ(raised([&] { ReportError("%s", literal.c_str()); }).size(), 999u);
    EXPECT_EQ(raised([&] { ReportError(literal.c_str()); }), literal);
    EXPECT_EQ(FormatText("%s/%d", literal.c_str(), 7), literal + "/7");
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

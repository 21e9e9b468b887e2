// The video-card compatibility list: which lines are records, how a driver is matched, and what
// the support level asks.
#include "files/video_cards.h"

#include <gtest/gtest.h>

#include "support/scripted_dialogs.h"

namespace {

const char* const List =
    "ID,Vendor,Renderer,Version,a,b,c,d,e,Level,Page,F,Paint,W1,W2,Comment\r\n"
    "short,line,of,fifteen,fields,,,,,,,,,,\n"
    "1,Mesa,\"llvmpipe (LLVM 15.0.6, 256 bits)\",4.5 Mesa 22.3.6,,,,,,3,,0,1,0,1,fine\n"
    "2,ACME,Blitter,1.0,,,,,,0,,0,0,1,0,\"no stencil, \"\"ever\"\"\"\n"
    "3,acme,BLITTER,2.0,,,,,,2,https://acme.example/notes,1,1,0,0,slow\n";

TEST(VideoCards, RecordsFollowTheHeaderAndMatchByVersionFirst)
{
    const std::vector<TTarnwick_VideoCardRecord> records = ParseVideoCardList(List);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].Renderer, "llvmpipe (LLVM 15.0.6, 256 bits)");
    EXPECT_TRUE(records[0].PaintingWorks());
    EXPECT_TRUE(records[0].Flags[3]);
    EXPECT_EQ(records[1].Comment, "no stencil, \"ever\"");
    EXPECT_EQ(records[2].WebPage, "https://acme.example/notes");

    EXPECT_EQ(FindVideoCard(records, "ACME", "blitter", "2.0"), &records[2]);
    EXPECT_EQ(FindVideoCard(records, "Acme", "Blitter", "9.9"), &records[1]);
    EXPECT_EQ(FindVideoCard(records, "Mesa", "softpipe", "4.5 Mesa 22.3.6"), nullptr);
    // A list without any line of 16 fields has no header and no records.
    EXPECT_TRUE(ParseVideoCardList("a,b,c\n").empty());

    // The list that ships knows the software renderer the tests draw with.
    std::vector<TTarnwick_VideoCardRecord> shipped;
    ASSERT_TRUE(ReadVideoCardList(std::string(TARNWICK_TEST_DATA) + "../../data/OpenGL_Database.csv", shipped));
    const TTarnwick_VideoCardRecord* llvmpipe =
        FindVideoCard(shipped, "Mesa", "llvmpipe (LLVM 15.0.6, 256 bits)", "4.5 (Compatibility Profile) Mesa 22.3.6");
    ASSERT_NE(llvmpipe, nullptr);
    EXPECT_EQ(llvmpipe->SupportLevel, 3);
    EXPECT_TRUE(llvmpipe->PaintingWorks());
}

TEST(VideoCards, TheSupportLevelAsksTheUser)
{
    const std::vector<TTarnwick_VideoCardRecord> records = ParseVideoCardList(List);
    ScriptedDialogs dialogs;
    dialogs.Expect(TZAVDialogKind::YesNo, false,
                   "(ACME, Blitter) is not compatible with Tarnwick.\n\nComment: no stencil, \"ever\"");
    EXPECT_FALSE(AskAboutVideoCard(records[1]));
    dialogs.Expect(TZAVDialogKind::YesNo, true, "(ACME, Blitter) is not compatible");
    EXPECT_TRUE(AskAboutVideoCard(records[1]));
    // Known problems: the web page is offered, and declining runs on.
    dialogs.Expect(TZAVDialogKind::YesNo, false, "may have some issues with Tarnwick.\n\nComment: slow");
    EXPECT_TRUE(AskAboutVideoCard(records[2]));
    // A driver that works asks nothing (an unexpected question fails the test).
    EXPECT_TRUE(AskAboutVideoCard(records[0]));
}

} // namespace

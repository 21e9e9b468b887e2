#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>

#include "files/cr2_tree.h"
#include "support/cr2_figure.h"
#include "support/temp_folder.h"
#include "support/warnings.h"

namespace {

using TreePtr = std::unique_ptr<TZAVCR2TreeNode>;

// Parses text through a file, as the program does; fails the test when the parser refuses it.
TreePtr Parse(const std::string& text, TZAVCR2Merge merge = TZAVCR2Merge::Flat)
{
    TemporaryFolder folder;
    TreePtr root;
    std::string error;
    EXPECT_TRUE(ParseCR2File(folder.Write("figure.cr2", text), merge, root, error)) << error;
    return root;
}

std::string ParseError(const std::string& text, const std::string& name = "bad.cr2")
{
    TemporaryFolder folder;
    const std::string path = folder.Write(name, text);
    TreePtr root = Parse("{\nkept 1\n}\n");
    TZAVCR2TreeNode* before = root.get();
    std::string error;
    EXPECT_FALSE(ParseCR2File(path, TZAVCR2Merge::Flat, root, error));
    EXPECT_EQ(root.get(), before) << "the caller's tree was replaced";
    EXPECT_NE(error.find(path), std::string::npos) << error;
    return error;
}

std::string Write(const TZAVCR2TreeNode* first, int32_t depth = 0)
{
    char* data = nullptr;
    size_t size = 0;
    FILE* stream = open_memstream(&data, &size);
    EXPECT_TRUE(WriteCR2Tree(stream, first, depth));
    std::fclose(stream);
    std::string text(data, size);
    std::free(data);
    return text;
}

std::string WriteRoot(const TreePtr& root)
{
    return root != nullptr ? Write(root->FirstChild()) : std::string();
}

std::string LongValue()
{
    std::string value;
    for (int i = 0; value.size() < 50000; i++)
        value += std::to_string(i % 997) + ".125 ";
    value.resize(50000);
    value.back() = '9';
    return value;
}

TEST(CR2Tree, RoundTripKeepsEveryLineAndRewritesIdentically)
{
    const std::string accented = "B\xC3\xA9n\xC3\xA9"
                                 "dicte \xC3\x86rm";
    const std::string long_value = LongValue();
    // NAME and LONG stand for the accented name and the long value.
    auto filled = [&](std::string text) {
        text.replace(text.find("NAME"), 4, accented);
        text.replace(text.find("LONG"), 4, long_value);
        return text;
    };
    const std::string source =
        filled("{\r\nversion\r\n\t{\r\n\tnumber 4.01\r\n\t}\r\nactor BODY:1\r\n\t{\r\n"
               "\tname   Body Part  \t\r\n\tchannels\r\n\t\t{\r\n"
               "\t\ttargetGeom Smile\r\n\t\t\t{\r\n\t\t\tdeltas\r\n\t\t\t\t{\r\n"
               "\t\t\t\td 0 0.10000000 0.00000000 -0.25000000\r\n\t\t\t\td 7 1e-3 2 3\r\n"
               "\t\t\t\t}\r\n\t\t\t}\r\n\t\t}\r\n\t}\r\nactor rHand:1\r\n\t{\r\n"
               "\tname NAME\r\n\tsphereMatsRaw LONG\r\n\tformat %s%n%d\r\n\t}\r\n}\r\n");
    const std::string expected =
        filled("{\n\tversion \n\t{\n\t\tnumber 4.01\n\t}\n\tactor BODY:1\n\t{\n"
               "\t\tname Body Part\n\t\tchannels \n\t\t{\n"
               "\t\t\ttargetGeom Smile\n\t\t\t{\n\t\t\t\tdeltas \n\t\t\t\t{\n"
               "\t\t\t\t\td 0 0.10000000 0.00000000 -0.25000000\n\t\t\t\t\td 7 1e-3 2 3\n"
               "\t\t\t\t}\n\t\t\t}\n\t\t}\n\t}\n\tactor rHand:1\n\t{\n"
               "\t\tname NAME\n\t\tsphereMatsRaw LONG\n\t\tformat %s%n%d\n\t}\n}\n");
    TreePtr root = Parse(source);
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(root->HasBlock);
    const TZAVCR2TreeNode* hand = root->FindChild("actor", "rhand", TZAVCR2ValueMatch::BeforeColon);
    ASSERT_NE(hand, nullptr);
    EXPECT_EQ(std::string(hand->FindChild("name", nullptr)->GetValue()), accented);
    EXPECT_EQ(std::string(hand->FindChild("sphereMatsRaw", nullptr)->GetValue()), long_value);

    const std::string first_output = WriteRoot(root);
    EXPECT_EQ(first_output, expected);
    EXPECT_EQ(WriteRoot(Parse(first_output)), first_output);

    // The same through files, with the safe writer.
    TemporaryFolder folder;
    std::string error;
    ASSERT_TRUE(WriteCR2File(folder.Path() + "out.cr2", *root, error)) << error;
    EXPECT_EQ(TemporaryFolder::Read(folder.Path() + "out.cr2"), expected);
}

TEST(CR2Tree, EmptyBlocksKeepTheirBraces)
{
    TreePtr root = Parse("{\n}\n");
    EXPECT_TRUE(root->HasBlock);
    EXPECT_EQ(root->FirstChild(), nullptr);
    EXPECT_EQ(WriteRoot(root), "{\n}\n");

    // Both placeholders go; the actor keeps an empty block.
    root = Parse("{\nactor hip:1\n{\n{\n}\n}\n}\n");
    const TZAVCR2TreeNode* actor = root->FirstChild();
    EXPECT_TRUE(actor->HasBlock);
    EXPECT_EQ(actor->FirstChild(), nullptr);
    EXPECT_EQ(WriteRoot(root), "{\n\tactor hip:1\n\t{\n\t}\n}\n");

    // A block that never got its own first line keeps what was nested in it.
    EXPECT_EQ(WriteRoot(Parse("{\na\n{\n{\nb 1\n}\n}\n}\n")), "{\n\ta \n\t{\n\t\tb 1\n\t}\n}\n");
    // A line that reads like the placeholder is data like any other.
    EXPECT_EQ(WriteRoot(Parse("{\n<AVAILABLE> x\n}\n")), "{\n\t<AVAILABLE> x\n}\n");
}

TEST(CR2Tree, SecondActorDescriptionMergesUnlessFlat)
{
    const std::string source = "{\nactor hip:1\n{\nname hip\n}\nActor hip:2\n{\nchannels\n{\n}\n}\n"
                               "figure\n{\nactor hip:3\n}\n}\n";
    EXPECT_EQ(WriteRoot(Parse(source, TZAVCR2Merge::ActorsAndProps)),
              "{\n\tactor hip:1\n\t{\n\t\tname hip\n\t\tchannels \n\t\t{\n\t\t}\n\t}\n"
              "\tfigure \n\t{\n\t\tactor hip:3\n\t}\n}\n");
    EXPECT_EQ(
        WriteRoot(Parse(source, TZAVCR2Merge::Flat)),
        "{\n\tactor hip:1\n\t{\n\t\tname hip\n\t}\n\tActor hip:2\n\t{\n\t\tchannels \n\t\t{\n\t\t}\n\t}\n"
        "\tfigure \n\t{\n\t\tactor hip:3\n\t}\n}\n");
}

// Parses text and writes the tree back; empty when the parser refuses the text.
std::string Rewrite(const TemporaryFolder& folder, const std::string& text, TZAVCR2Merge merge)
{
    // A new file each time: rewriting one in place makes the file system flush it on close.
    std::remove((folder.Path() + "figure.cr2").c_str());
    TreePtr root;
    std::string error;
    if (!ParseCR2File(folder.Write("figure.cr2", text), merge, root, error))
        return std::string();
    return WriteRoot(root);
}

// Reading what was written gives back the same tree, merged or flat. Returns whether the parser
// took the text.
bool ExpectFixedPoint(const TemporaryFolder& folder, const std::string& text)
{
    bool accepted = false;
    for (const TZAVCR2Merge merge : {TZAVCR2Merge::ActorsAndProps, TZAVCR2Merge::Flat}) {
        const std::string written = Rewrite(folder, text, merge);
        if (written.empty())
            continue;
        accepted = true;
        EXPECT_EQ(Rewrite(folder, written, merge), written)
            << (merge == TZAVCR2Merge::Flat ? "flat" : "merged") << ", from:\n"
            << text;
    }
    return accepted;
}

TEST(CR2Tree, WritingAndReadingAgainIsAFixedPoint)
{
    TemporaryFolder folder;
    // Lines in a block that opens before the top level has a line of its own end up at the top
    // level, and merge there as they would when read from the written file.
    const std::string leading_block = "{\n{\nactor a:1\n{\nx 1\n}\nprop b\nActor A:2\n{\ny 2\n}\n}\n"
                                      "{\nactor a:3\n{\nz 3\n}\n}\n}\n";
    EXPECT_EQ(Rewrite(folder, leading_block, TZAVCR2Merge::ActorsAndProps),
              "{\n\tactor a:1\n\t{\n\t\tx 1\n\t\ty 2\n\t\tz 3\n\t}\n\tprop b\n}\n");
    const char* const tricky[] = {
        "{\n{\nactor a:1\nactor a:2\n}\n}\n",
        "{\n{\n{\nactor a\n}\n{\nactor a\n{\n}\n}\n}\nfigure\n}\n",
        "{\n{\nprop p\n}\n{\n{\nprop P:2\n{\nq\n}\n}\n}\n}\n",
        "{\nactor a:1\n{\nx\n}\nfoo\nactor a:2\n{\ny\n}\nbar\nactor a:3\nbaz\n}\n",
        "{ odd\nname {\n  {\tx\nactor }\n}junk\n}  \n",
        "{\na\n{\n{\nb\n}\nc\n{\nd\n}\n}\n}\n",
        "{\nactor\nactor :\nprop \nprop :x\nactor :y\n{\n}\n}\n",
        "head\r\n{\r{\r\nactor a\n\r}\r\nactor a:2\n}\ntail\n",
        "{\na\n}\n}\n",
        "}\n{\na\n}\n",
        "{\n{\na\n}\n",
        "{\n}\n{\n}\n",
    };
    for (const char* text : tricky)
        ExpectFixedPoint(folder, text);

    // Generated files: mostly balanced, with stray braces and repeated actors.
    const char* const lines[] = {"actor a:1", "Actor a:2", "prop a", "actor b", "actor", "prop",
                                 "name x  y", "x 1",       "  ",     "{ odd",   "}odd",  "<AVAILABLE>"};
    const char* const line_ends[] = {"\n", "\r\n", "\r"};
    uint32_t random = 20240611;
    auto next = [&random](uint32_t count) {
        random = random * 1664525u + 1013904223u;
        return (random >> 8) % count;
    };
    int accepted = 0;
    for (int file = 0; file < 1500; file++) {
        std::string text;
        int depth = 0;
        for (uint32_t line = next(40); line > 0; line--) {
            const uint32_t choice = next(20);
            const char* content = choice < 5 ? "{" : choice < 9 ? "}" : lines[next(std::size(lines))];
            if (content[0] == '}' && depth == 0 && next(8) != 0)
                continue;
            depth += content[0] == '{' ? 1 : content[0] == '}' ? -1 : 0;
            text += content;
            text += line_ends[next(std::size(line_ends))];
        }
        for (; depth > 0 && next(16) != 0; depth--)
            text += "}\n";
        accepted += ExpectFixedPoint(folder, text);
    }
    EXPECT_GT(accepted, 400);
}

TEST(CR2Tree, AcceptsEveryLineEndAndDropsOnlyNulBytes)
{
    const std::string expected = "{\n\tname Left Hand\n\tbyte \xFF\x80\n}\n";
    EXPECT_EQ(WriteRoot(Parse("{\rname Left Hand\r\rbyte \xFF\x80\r}")), expected);
    EXPECT_EQ(WriteRoot(Parse("{\n\r  \t\n\rname Left Hand\n\rbyte \xFF\x80\n\r}\n\r")), expected);
    const char with_nul_bytes[] = "\xEF\xBB\xBF{\nna\0me Left\0 Hand\nbyte \xFF\x80\n}";
    EXPECT_EQ(WriteRoot(Parse(std::string(with_nul_bytes, sizeof(with_nul_bytes) - 1))), expected);
    // Lines outside the top-level block are not part of it, nor siblings of the root.
    TreePtr root = Parse("header\n{\nname Left Hand\nbyte \xFF\x80\n}\ntrailer\n");
    EXPECT_EQ(WriteRoot(root), expected);
    EXPECT_EQ(root->Next(), nullptr);
}

// Stray closing braces and later top-level blocks lose nothing when read, so they are read with a
// warning naming the first line; a file cut short inside a block is refused.
TEST(CR2Tree, UnbalancedFilesAreReadWhereNothingIsLost)
{
    TakeWarnings();
    EXPECT_EQ(WriteRoot(Parse("}\r\n{\r\na 1\r\n}\r\n}\r\nlost\r\n}\r\n")), "{\n\ta 1\n}\n");
    std::vector<std::string> warnings = TakeWarnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("(line 1) has 3 '}' without a matching '{'"), std::string::npos)
        << warnings[0];

    const std::string two_blocks = "{\nactor hip:1\n{\nx 1\n}\n}\n{\nactor hip:2\n{\ny 2\n}\nz\n}\n";
    EXPECT_EQ(WriteRoot(Parse(two_blocks, TZAVCR2Merge::ActorsAndProps)),
              "{\n\tactor hip:1\n\t{\n\t\tx 1\n\t\ty 2\n\t}\n\tz \n}\n");
    warnings = TakeWarnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("(line 7) has 1 more top-level blocks"), std::string::npos) << warnings[0];
    EXPECT_EQ(WriteRoot(Parse(two_blocks)),
              "{\n\tactor hip:1\n\t{\n\t\tx 1\n\t}\n\tactor hip:2\n\t{\n\t\ty 2\n\t}\n\tz \n}\n");
    TakeWarnings();
}

TEST(CR2Tree, GzippedFilesReadLikeText)
{
    TemporaryFolder folder;
    const std::string text = "{\r\nactor BODY:1\r\n{\r\nname Body\r\n}\r\n}\r\n";
    const std::string packed_path = folder.Path() + "figure.crz";
    ASSERT_TRUE(WriteGzip(packed_path, text));
    TreePtr root;
    std::string error;
    ASSERT_TRUE(ParseCR2File(packed_path, TZAVCR2Merge::Flat, root, error)) << error;
    EXPECT_EQ(WriteRoot(root), "{\n\tactor BODY:1\n\t{\n\t\tname Body\n\t}\n}\n");

    // Cut short, and damaged inside the stream.
    std::string packed = TemporaryFolder::Read(packed_path);
    EXPECT_NE(ParseError(packed.substr(0, packed.size() / 2), "cut.crz").find("ends early"),
              std::string::npos);
    packed[packed.size() / 2] ^= 0x55;
    packed[packed.size() / 2 + 1] ^= 0x55;
    EXPECT_NE(ParseError(packed, "damaged.crz").find("damaged"), std::string::npos);
}

TEST(CR2Tree, BadFilesAreRefusedWithFileAndLine)
{
    EXPECT_NE(ParseError("{\na\n{\nb 1\n").find("ends inside the block opened at line 3"), std::string::npos);
    EXPECT_NE(ParseError("no blocks here\n").find("no '{' found"), std::string::npos);
    EXPECT_NE(ParseError("").find("no '{' found"), std::string::npos);

    TemporaryFolder folder;
    TreePtr root;
    std::string error;
    EXPECT_FALSE(ParseCR2File(folder.Path() + "missing.cr2", TZAVCR2Merge::Flat, root, error));
    EXPECT_NE(error.find("Error opening the file " + folder.Path() + "missing.cr2"), std::string::npos);
    EXPECT_FALSE(ParseCR2File(folder.Path(), TZAVCR2Merge::Flat, root, error));
    EXPECT_EQ(root, nullptr);
}

TEST(CR2Tree, FindsChildrenAndSiblingsWithoutCaseOrSuffix)
{
    TreePtr root = Parse("{\nprop ball:1\nactor Hip:1\nactor chest:2\nACTOR hip:3\nfigure\n}\n");
    const TZAVCR2TreeNode* hip = root->FindChild("actor", "HIP:9", TZAVCR2ValueMatch::BeforeColon);
    ASSERT_NE(hip, nullptr);
    EXPECT_STREQ(hip->GetValue(), "Hip:1");
    EXPECT_EQ(root->FindChild("actor", "hip"), nullptr);
    EXPECT_EQ(root->FindChild("actor", "hip:3"), root->FirstChild()->Next()->Next()->Next());
    EXPECT_EQ(root->FindChild(nullptr, nullptr), root->FirstChild());
    EXPECT_STREQ(hip->FindNext("actor", nullptr)->GetValue(), "chest:2");
    EXPECT_STREQ(hip->FindNext(nullptr, "hip", TZAVCR2ValueMatch::BeforeColon)->GetKeyword(), "ACTOR");
    EXPECT_EQ(hip->FindNext("prop", nullptr), nullptr);
}

TEST(CR2Tree, EditedParsedTreesFreeWhatTheyOwn)
{
    TreePtr root = Parse("{\nactor hip:1\n{\nname hip\nchannels\n{\nold 1\n}\n}\n}\n");
    TZAVCR2TreeNode* actor = root->FirstChild();
    TZAVCR2TreeNode* channels = actor->FindChild("channels", nullptr);
    channels->DeleteChildren();
    auto* target = new TZAVCR2TreeNode("targetGeom", "Smile");
    channels->AddChild(target);
    target->AddChild(new TZAVCR2TreeNode(nullptr, "lonely"));
    actor->SetValue(actor->GetValue()); // its own text
    actor->SetKeyword("prop");
    TZAVCR2TreeNode* name = actor->FirstChild();
    name->Unlink();
    delete name;
    EXPECT_EQ(WriteRoot(root),
              "{\n\tprop hip:1\n\t{\n\t\tchannels \n\t\t{\n\t\t\ttargetGeom Smile\n\t\t\t{\n\t\t\t\t lonely\n"
              "\t\t\t}\n\t\t}\n\t}\n}\n");
    EXPECT_EQ(Write(actor->FirstChild(), 2), "\t\t{\n\t\t\tchannels \n\t\t\t{\n\t\t\t\ttargetGeom Smile\n"
                                             "\t\t\t\t{\n\t\t\t\t\t lonely\n\t\t\t\t}\n\t\t\t}\n\t\t}\n");
}

// Every parse and the tree's destruction walk the nesting without recursion; the second file's
// chain is built inside a block that never gets a line of its own, so it is lifted whole.
TEST(CR2Tree, DeepNestingNeedsNoStack)
{
    constexpr int Depth = 100000;
    std::string braces_only;
    for (int i = 0; i < Depth; i++)
        braces_only += "{\n";
    std::string chain = braces_only + "{\n";
    for (int i = 0; i < Depth; i++)
        chain += "a\n{\n";
    for (int i = 0; i < Depth; i++)
        braces_only += "}\n";
    for (int i = 0; i < 2 * Depth + 1; i++)
        chain += "}\n";

    EXPECT_EQ(WriteRoot(Parse(braces_only)), "{\n}\n");
    TreePtr root = Parse(chain, TZAVCR2Merge::ActorsAndProps);
    ASSERT_NE(root, nullptr);
    int depth = 0;
    for (const TZAVCR2TreeNode* node = root->FirstChild(); node != nullptr; node = node->FirstChild()) {
        EXPECT_EQ(node->Next(), nullptr);
        depth++;
    }
    EXPECT_EQ(depth, Depth);
}

TEST(CR2Tree, FailedWriteIsReportedAndKeepsTheOldFile)
{
    TemporaryFolder folder;
    const std::string path = folder.Write("figure.cr2", "old figure\n");
    std::string source = "{\n";
    for (int i = 0; i < 20000; i++)
        source += "d " + std::to_string(i) + " 0.10000000 0.20000000 0.30000000\n";
    source += "}\n";
    TreePtr root = Parse(source);
    ASSERT_NE(root, nullptr);

    // A full disk in miniature: writes beyond 16 KB fail.
    EXPECT_TRUE(PassesWithFileSizeLimit(16384, [&] {
        std::string error;
        return !WriteCR2File(path, *root, error) && error.find(path) != std::string::npos;
    })) << "the failed write was not reported";
    EXPECT_EQ(TemporaryFolder::Read(path), "old figure\n");
    EXPECT_EQ(TemporaryFolder::Names(folder.Path()), std::vector<std::string>{"figure.cr2"})
        << "a temporary file was left behind";
}

} // namespace

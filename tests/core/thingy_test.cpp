#include "core/thingy.h"

#include <gtest/gtest.h>

#include "core/binary_chunk.h"
#include "core/status.h"
#include "core/text_block.h"
#include "core/text_scan.h"
#include "support/stream_file.h"

namespace {

// An item with a key and a binary block of its own, as the mesh items have.
class TestItem : public TTarnwick_Thingy
{
public:
    bool LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                             std::string_view value) override
    {
        if (SameTextNoCase(key, "Strength")) {
            Strength = TextValueInt(value);
            return true;
        }
        if (SameTextNoCase(key, "Deltas")) {
            // A failure stays with the reader, which ends the item.
            (void)ReadBinaryBlock(reader, Deltas);
            return true;
        }
        return false;
    }

    int32_t Strength = 0;
    std::vector<uint8_t> Deltas;
};

bool LoadText(TTarnwick_Thingy& item, const std::string& text, std::string* out_next_line = nullptr)
{
    StreamFile file = FileHolding(text);
    TZAVTextReader reader(file.get(), "item.Tarnwick");
    bool loaded = item.LoadFromStream_Text(reader);
    std::string_view next;
    if (out_next_line && reader.ReadTrimmedLine(next))
        *out_next_line = next;
    return loaded;
}

} // namespace

TEST(Thingy, IdsAreConsecutiveAndTheRegistryHoldsEachOnce)
{
    auto holder = std::make_unique<TTarnwick_Thingy>();
    TTarnwick_Thingy other;
    TestItem third;
    EXPECT_EQ(other.ID, holder->ID + 1);
    EXPECT_EQ(third.ID, other.ID + 1);
    EXPECT_NE(holder->ID, 0);
    ASSERT_TRUE(holder->SetID(900001));
    EXPECT_EQ(TTarnwick_Thingy::FindByID(900001), holder.get());

    int32_t other_id = other.ID;
    EXPECT_FALSE(other.SetID(900001));
    EXPECT_EQ(other.ID, other_id);
    other.ID = 900001;
    EXPECT_FALSE(other.Register());
    EXPECT_EQ(TTarnwick_Thingy::FindByID(900001), holder.get());
    other.ID = other_id;

    // A new ID replaces the old entry; a destroyed object leaves none behind.
    ASSERT_TRUE(holder->SetID(900002));
    EXPECT_EQ(TTarnwick_Thingy::FindByID(900001), nullptr);
    EXPECT_TRUE(other.SetID(900001));
    holder.reset();
    EXPECT_EQ(TTarnwick_Thingy::FindByID(900002), nullptr);
    EXPECT_TRUE(other.SetID(0));
    EXPECT_EQ(other.ID, 0);
    EXPECT_EQ(TTarnwick_Thingy::FindByID(900001), nullptr);
    EXPECT_FALSE(other.Register());
}

TEST(Thingy, OnlyNamesFromCodeAreFormatted)
{
    TTarnwick_Thingy item;
    item.SetName("Morph %d of %s", 3, "Head");
    EXPECT_STREQ(item.GetName(), "Morph 3 of Head");
    item.SetName(nullptr);
    EXPECT_STREQ(item.GetName(), "Morph 3 of Head");
    item.SetNameLiteral("100%s %n");
    EXPECT_STREQ(item.GetName(), "100%s %n");
    item.SetCaption("%d%%", 50);
    EXPECT_STREQ(item.GetCaption(), "50%");
}

TEST(Thingy, BinaryRecordRoundTripsAndKeepsNamesLiteral)
{
    TTarnwick_Thingy saved;
    saved.SetNameLiteral("Smile %s%n%d");
    saved.ReadOnly = true;
    saved.ChunkType = TTarnwick_FileChunkID_Morph;
    StreamFile file(std::tmpfile());
    ASSERT_TRUE(saved.SaveToStream(file.get()));
    std::rewind(file.get());

    TZAVChunkHeader header;
    std::string error;
    ASSERT_EQ(ReadChunkHeader(file.get(), "a.Tarnwick", ChunkLayoutForVersion(6), header, error),
              TZAVChunkReadResult::Chunk);
    EXPECT_EQ(header.ID, TTarnwick_FileChunkID_Morph);
    EXPECT_EQ(header.Size, int64_t(TTarnwick_ThingyRecord::Size));

    TTarnwick_Thingy loaded;
    int32_t own_id = loaded.ID;
    ASSERT_TRUE(loaded.LoadFromStream(file.get()));
    EXPECT_STREQ(loaded.GetName(), "Smile %s%n%d");
    EXPECT_TRUE(loaded.ReadOnly);
    EXPECT_EQ(loaded.LoadedID, saved.ID);
    EXPECT_EQ(loaded.ID, own_id);

    // A cut-off record changes nothing.
    StreamFile cut = FileHolding(ContentsOf(file.get()).substr(0, 100));
    EXPECT_FALSE(loaded.LoadFromStream(cut.get()));
    EXPECT_STREQ(loaded.GetName(), "Smile %s%n%d");

    // Long names are cut to the record.
    saved.SetNameLiteral(std::string(300, 'n'));
    StreamFile long_name(std::tmpfile());
    ASSERT_TRUE(saved.SaveToStream(long_name.get()));
    ASSERT_EQ(ContentsOf(long_name.get()).size(), ChunkMarker.size() + 8 + TTarnwick_ThingyRecord::Size);
    ASSERT_EQ(std::fseek(long_name.get(), long(ChunkMarker.size()) + 8, SEEK_SET), 0);
    ASSERT_TRUE(loaded.LoadFromStream(long_name.get()));
    EXPECT_EQ(loaded.Name, std::string(255, 'n'));
}

TEST(Thingy, ItemHeaderLines)
{
    TTarnwick_Thingy item;
    item.SetNameLiteral("Left Arm");
    StreamFile file(std::tmpfile());
    SetTextBlockLevel(1);
    ASSERT_TRUE(item.SaveToStream_Text(file.get()));
    EXPECT_EQ(ContentsOf(file.get()),
              "\tName\tLeft Arm\n\tReadOnly\t0\n\tID\t" + std::to_string(item.ID) + "\n");

    StreamFile second(std::tmpfile());
    ASSERT_TRUE(item.SetID(0));
    item.ReadOnly = true;
    item.Current = true;
    ASSERT_TRUE(item.SaveToStream_Text(second.get()));
    EXPECT_EQ(ContentsOf(second.get()), "\tName\tLeft Arm\n\tReadOnly\t1\n\tCurrent\t1\n");
    SetTextBlockLevel(0);

    StreamFile full = FullDevice();
    EXPECT_FALSE(item.SaveToStream_Text(full.get()));
    EXPECT_FALSE(item.SaveToStream(full.get()));
}

TEST(Thingy, GenericBlockReaderAppliesKeysAndSkipsUnclaimedBlocks)
{
    TestItem item;
    std::string next;
    ASSERT_TRUE(
        LoadText(item,
                 "morph\tignored\n{\n\tNAME\tBrow 100%s\n\treadonly\t1\n\tCurrent\t1\n"
                 "\tUnknown\tkey\n\tPalette\tlater\n\t{\n\t\tStrength\t99\n\t\tInner\n\t\t{\n\t\t}\n\t}\n"
                 "\tStrength\t7\n\tDeltas\t\n\t{\n\t\tSize\t4\nAQID\n\t}\n\tStrength\t8\n}\nnext\n",
                 &next));
    EXPECT_STREQ(item.GetName(), "Brow 100%s");
    EXPECT_FALSE(item.ReadOnly) << "ReadOnly is matched with its case";
    EXPECT_TRUE(item.Current);
    EXPECT_EQ(item.Strength, 8);
    EXPECT_EQ(item.Deltas, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(next, "next");
}

TEST(Thingy, GenericBlockReaderEdges)
{
    // Cut off by the end of the file: what was read counts.
    TestItem cut;
    EXPECT_TRUE(LoadText(cut, "{\nStrength\t5\n"));
    EXPECT_EQ(cut.Strength, 5);

    // No block before the enclosing "}": that "}" is left for the enclosing reader.
    TestItem empty;
    std::string next;
    EXPECT_TRUE(LoadText(empty, "header\n}\n", &next));
    EXPECT_EQ(next, "}");

    // Names keep bytes above 0x7F and are read whole, however long.
    TestItem named;
    std::string long_name = "Caf\xc3\xa9 \xe9t\xe9 " + std::string(3000, 'x');
    ASSERT_TRUE(LoadText(named, "{\nName\t" + long_name + "\n}\n"));
    EXPECT_EQ(named.Name, long_name);

    // A bad binary block fails the item, with the message naming the file and line.
    TakeStatusLines();
    TestItem broken;
    EXPECT_FALSE(LoadText(broken, "{\nDeltas\t\n{\nSize\t4\nA*ID\n}\nStrength\t3\n}\n"));
    EXPECT_EQ(broken.Strength, 0);
    std::vector<TZAVStatusLine> status = TakeStatusLines();
    ASSERT_EQ(status.size(), 1u);
    EXPECT_NE(status[0].Text.find("Invalid data in file \"item.Tarnwick\", line 5"), std::string::npos);
}

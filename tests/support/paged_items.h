// Helpers for tests of items that page their data and save themselves: a fixture with a paging
// file of its own in a fresh temporary folder, and the text and binary forms of an item.
//
//     class Morph : public PagedItemTest {};
//     std::string text = TextOf(morph);                    // the item's text block
//     bool read = ReadText(copy, text, &error);           // reads it back; error names file and line
//     std::string payload = PayloadOf(morph);             // the binary record without its chunk header
//     bool loaded = LoadPayload(copy, payload);
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/binary_chunk.h"
#include "core/status.h"
#include "core/text_block.h"
#include "core/thingy.h"
#include "core/virtual_memory.h"
#include "support/stream_file.h"
#include "support/temp_folder.h"

class PagedItemTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Folders.Made);
        ASSERT_TRUE(InitVirtualMemory());
        SetTextBlockLevel(0);
        TakeStatusLines();
    }
    void TearDown() override { ShutdownVirtualMemory(); }

    UserFoldersInTemp Folders;
};

inline std::string TextOf(TTarnwick_Thingy& item)
{
    StreamFile file(std::tmpfile());
    SetTextBlockLevel(0);
    EXPECT_TRUE(item.SaveToStream_Text(file.get()));
    return ContentsOf(file.get());
}

// Reads the block from its header line on, as an owner does after reading the header.
inline bool ReadText(TTarnwick_Thingy& item, const std::string& text, std::string* out_error = nullptr)
{
    std::string block = text.substr(text.find('\n') + 1);
    StreamFile file = FileHolding(block);
    TZAVTextReader reader(file.get(), "figure.Tarnwick");
    bool read = item.LoadFromStream_Text(reader);
    if (out_error != nullptr)
        *out_error = reader.Error();
    return read;
}

inline std::string PayloadOf(TTarnwick_Thingy& item)
{
    StreamFile file(std::tmpfile());
    EXPECT_TRUE(item.SaveToStream(file.get()));
    std::string record = ContentsOf(file.get());
    // Marker, chunk ID and size.
    size_t header_size = ChunkMarker.size() + 8;
    EXPECT_EQ(record.substr(0, ChunkMarker.size()), ChunkMarker);
    EXPECT_EQ(DecodeInt32LE(reinterpret_cast<const uint8_t*>(record.data()) + ChunkMarker.size() + 4),
              int32_t(record.size() - header_size));
    return record.substr(header_size);
}

inline bool LoadPayload(TTarnwick_Thingy& item, const std::string& payload)
{
    StreamFile file = FileHolding(payload);
    return item.LoadFromStream(file.get());
}

// Offset of the first field after the common item record (name, read-only, ID).
constexpr size_t AfterItemRecord = TTarnwick_ThingyRecord::Size;

inline void PutInt32(std::string& bytes, size_t offset, int32_t value)
{
    EncodeInt32LE(reinterpret_cast<uint8_t*>(bytes.data() + offset), value);
}

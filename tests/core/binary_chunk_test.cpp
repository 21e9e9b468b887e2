#include "core/binary_chunk.h"

#include <gtest/gtest.h>

#include "support/stream_file.h"

namespace {

std::string Int32Bytes(int32_t value)
{
    uint8_t bytes[4];
    EncodeInt32LE(bytes, value);
    return std::string(reinterpret_cast<char*>(bytes), 4);
}

TZAVChunkReadResult ReadHeader(FILE* file, int32_t version, TZAVChunkHeader& out_header,
                               std::string* out_error = nullptr)
{
    std::string error;
    TZAVChunkReadResult result =
        ReadChunkHeader(file, "old.Tarnwick", ChunkLayoutForVersion(version), out_header, error);
    if (out_error)
        *out_error = error;
    return result;
}

} // namespace

TEST(BinaryChunk, FieldsAreLittleEndian)
{
    StreamFile file(std::tmpfile());
    ASSERT_TRUE(WriteInt32LE(file.get(), -2));
    ASSERT_TRUE(WriteFloatLE(file.get(), 1.0f));
    ASSERT_TRUE(WriteUInt8(file.get(), 7));
    EXPECT_EQ(ContentsOf(file.get()), std::string("\xfe\xff\xff\xff\x00\x00\x80\x3f\x07", 9));
    int32_t number = 0;
    float real = 0.0f;
    uint8_t byte = 0;
    ASSERT_TRUE(ReadInt32LE(file.get(), number) && ReadFloatLE(file.get(), real) &&
                ReadUInt8(file.get(), byte));
    EXPECT_EQ(number, -2);
    EXPECT_EQ(real, 1.0f);
    EXPECT_EQ(byte, 7);
    EXPECT_FALSE(ReadUInt8(file.get(), byte));
}

TEST(BinaryChunk, WrittenChunksAreFoundPastJunkAndSkipped)
{
    StreamFile file(std::tmpfile());
    ASSERT_TRUE(WriteBytes(file.get(), "VORNCHUxVORN", 12));
    int64_t size_position = 0;
    ASSERT_TRUE(OpenChunk(file.get(), TTarnwick_FileChunkID_MixMorphs, size_position));
    ASSERT_TRUE(WriteBytes(file.get(), "abcde", 5));
    ASSERT_TRUE(CloseChunk(file.get(), size_position));
    ASSERT_TRUE(OpenChunk(file.get(), TTarnwick_FileChunkID_End, size_position));
    ASSERT_TRUE(CloseChunk(file.get(), size_position));
    std::rewind(file.get());

    TZAVChunkHeader header;
    ASSERT_EQ(ReadHeader(file.get(), 6, header), TZAVChunkReadResult::Chunk);
    EXPECT_EQ(header.ID, TTarnwick_FileChunkID_MixMorphs);
    EXPECT_EQ(header.Size, 5);
    uint8_t first = 0;
    ASSERT_TRUE(ReadUInt8(file.get(), first));
    EXPECT_EQ(ChunkBytesLeft(file.get(), header), 4);
    ASSERT_TRUE(SkipChunk(file.get(), header));
    ASSERT_EQ(ReadHeader(file.get(), 6, header), TZAVChunkReadResult::Chunk);
    EXPECT_EQ(header.ID, TTarnwick_FileChunkID_End);
    EXPECT_EQ(header.Size, 0);
    EXPECT_EQ(ReadHeader(file.get(), 6, header), TZAVChunkReadResult::EndOfFile);
}

TEST(BinaryChunk, OlderLayoutsGoWithoutMarkersOrSizes)
{
    StreamFile version5 =
        FileHolding(Int32Bytes(82) + Int32Bytes(1) + "\x01" + Int32Bytes(69) + Int32Bytes(0));
    TZAVChunkHeader header;
    ASSERT_EQ(ReadHeader(version5.get(), 5, header), TZAVChunkReadResult::Chunk);
    EXPECT_EQ(header.ID, 82);
    EXPECT_EQ(header.Size, 1);
    ASSERT_TRUE(SkipChunk(version5.get(), header));
    ASSERT_EQ(ReadHeader(version5.get(), 5, header), TZAVChunkReadResult::Chunk);
    EXPECT_EQ(header.ID, 69);

    StreamFile version4 = FileHolding(Int32Bytes(82) + "\x01" + "xyz");
    ASSERT_EQ(ReadHeader(version4.get(), 4, header), TZAVChunkReadResult::Chunk);
    EXPECT_EQ(header.ID, 82);
    EXPECT_EQ(header.Size, -1);
    EXPECT_EQ(ChunkBytesLeft(version4.get(), header), 4);
    EXPECT_FALSE(SkipChunk(version4.get(), header));
}

TEST(BinaryChunk, SizesAndIdsBeyondTheFileAreRefused)
{
    TZAVChunkHeader header;
    header.ID = 1234;
    std::string error;
    StreamFile too_big = FileHolding(std::string(ChunkMarker) + Int32Bytes(73) + Int32Bytes(-1) + "tiny");
    EXPECT_EQ(ReadHeader(too_big.get(), 6, header, &error), TZAVChunkReadResult::Error);
    EXPECT_EQ(error, "The file old.Tarnwick is corrupt: chunk 73 claims 4294967295 bytes, but only 4 remain");
    EXPECT_EQ(header.ID, 1234);

    StreamFile cut_id = FileHolding(std::string(ChunkMarker) + "\x49\x00");
    EXPECT_EQ(ReadHeader(cut_id.get(), 6, header, &error), TZAVChunkReadResult::Error);
    EXPECT_NE(error.find("old.Tarnwick"), std::string::npos);

    StreamFile cut_size = FileHolding(Int32Bytes(73) + "\x05");
    EXPECT_EQ(ReadHeader(cut_size.get(), 5, header, &error), TZAVChunkReadResult::Error);
    EXPECT_NE(error.find("chunk size is cut off"), std::string::npos);
}

TEST(BinaryChunk, MessagesNameLongFilesWhole)
{
    const std::string name = "/" + std::string(1200, 'n') + ".Tarnwick";
    TZAVChunkHeader header;
    std::string error;
    StreamFile too_big = FileHolding(std::string(ChunkMarker) + Int32Bytes(73) + Int32Bytes(9) + "tiny");
    EXPECT_EQ(ReadChunkHeader(too_big.get(), name, ChunkLayoutForVersion(6), header, error),
              TZAVChunkReadResult::Error);
    EXPECT_EQ(error, "The file " + name + " is corrupt: chunk 73 claims 9 bytes, but only 4 remain");
    StreamFile cut_id = FileHolding(std::string(ChunkMarker) + "\x49");
    EXPECT_EQ(ReadChunkHeader(cut_id.get(), name, ChunkLayoutForVersion(6), header, error),
              TZAVChunkReadResult::Error);
    EXPECT_EQ(error, "The file " + name + " is corrupt: a chunk ID is cut off by the end of the file");
}

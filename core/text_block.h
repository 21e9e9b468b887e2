// The text block stream: the tab-indented syntax of nested blocks of key/value lines in which
// items save themselves, with binary arrays carried inside as base64 text.
//
//     kind<TAB>name
//     {
//         Key<TAB>value
//         tag<TAB>
//         {
//             Size<TAB>84
//     <base64 text in lines of 80, at the left margin>
//         }
//     }
//
// Writers share one process-wide indentation level. Readers go through TZAVTextReader, which
// counts lines so that every message names the file and the line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/text_line.h"
#include "core/text_scan.h"

// [SECTION] Writing

int32_t GetTextBlockLevel();
// Negative levels are taken as 0.
void SetTextBlockLevel(int32_t level);

// Starts a file of blocks at level 0 and restores the level on every way out.
class TTextBlockLevelScope
{
public:
    TTextBlockLevelScope() : Saved(GetTextBlockLevel()) { SetTextBlockLevel(0); }
    ~TTextBlockLevelScope() { SetTextBlockLevel(Saved); }
    TTextBlockLevelScope(const TTextBlockLevelScope&) = delete;
    TTextBlockLevelScope& operator=(const TTextBlockLevelScope&) = delete;

private:
    int32_t Saved;
};

// Every writer returns false when the stream reports a failed write.
[[nodiscard]] bool WriteTextIndent(FILE* file);
// "key<TAB>value\n", indented.
[[nodiscard]] bool WriteTextLine(FILE* file, const char* key, std::string_view value);
[[nodiscard]] bool WriteTextInt(FILE* file, const char* key, int32_t value);
[[nodiscard]] bool WriteTextFlag(FILE* file, const char* key, bool value);
[[nodiscard]] bool WriteTextFloat(FILE* file, const char* key, float value);
[[nodiscard]] bool WriteTextFloat3(FILE* file, const char* key, const float value[3]);
// A line holding only a line end.
[[nodiscard]] bool WriteTextEmptyLine(FILE* file);

// The indented "{" line; the level rises by one.
[[nodiscard]] bool WriteTextBlockStart(FILE* file);
// The level falls by one, never below 0, then the indented "}" line.
[[nodiscard]] bool WriteTextBlockEnd(FILE* file);

// Opens a block on construction (header "kind<TAB>name", then "{") and closes it on destruction
// or at Close. An inactive block writes nothing, then or later.
class TStartTextFileBlock
{
public:
    TStartTextFileBlock(FILE* file, const char* kind, std::string_view name, bool active = true);
    ~TStartTextFileBlock();
    TStartTextFileBlock(const TStartTextFileBlock&) = delete;
    TStartTextFileBlock& operator=(const TStartTextFileBlock&) = delete;

    // Closes the block now; false when the block's header, or this "}", failed to write.
    [[nodiscard]] bool Close();
    bool Good() const { return Written; }

    FILE* File;
    bool Active;

private:
    bool Open = false;
    bool Written = true;
};

// Writes `data` as a binary block under `tag`: a "Size" line with the number of base64
// characters, then the text in lines of 80 at the left margin.
[[nodiscard]] bool WriteBinaryBlock(FILE* file, std::span<const uint8_t> data, const char* tag);

// The same block for data handed over in pieces, so that a large block need never be gathered
// whole: the text is WriteBinaryBlock's for all the pieces together, whose sizes must add up to
// the total given at the start.
class TZAVBinaryBlockWriter
{
public:
    TZAVBinaryBlockWriter(FILE* file, const char* tag, size_t total_size);
    TZAVBinaryBlockWriter(const TZAVBinaryBlockWriter&) = delete;
    TZAVBinaryBlockWriter& operator=(const TZAVBinaryBlockWriter&) = delete;

    // False once any write has failed.
    [[nodiscard]] bool Append(std::span<const uint8_t> bytes);
    // Writes what is left and closes the block; false when a write failed or the pieces did not
    // add up to the total.
    [[nodiscard]] bool Finish();

private:
    // Encodes whole lines (and a last short one only at the end) and writes them.
    bool WriteText(std::span<const uint8_t> bytes);

    TStartTextFileBlock Block;
    size_t TotalSize;
    size_t Taken = 0;
    bool Written;
    // Bytes short of a whole write, waiting for more.
    std::vector<uint8_t> Waiting;
    std::vector<char> Text;
};

// [SECTION] Reading

// Blocks nest no deeper than this, so that the readers, which recurse once per level, and the
// trees they build stay far from the end of the stack.
inline constexpr int32_t MaxTextBlockDepth = 256;

// The key is the first blank-delimited word; the value is the rest, trimmed. Both are empty for
// a blank line. Keys compare with SameTextNoCase unless a reader says otherwise.
void SplitKeyValue(std::string_view line, std::string_view& out_key, std::string_view& out_value);
// The value as an integer in the manner of atoi: leading digits, 0 when there are none.
int32_t TextValueInt(std::string_view value);
// 0 when the value does not start with a number.
float TextValueFloat(std::string_view value);
// "%f %f %f": up to three numbers; those missing or unreadable keep their old values.
void TextValueFloat3(std::string_view value, float out_values[3]);

// A text file being read: hands out whole lines, keeps the line number, can give one line back,
// and keeps the first error. The stream is read ahead; at destruction it is left just after the
// last line handed out. Errors reach the user as a warning in the message panel; the
// caller may show Error() in a box as well.
class TZAVTextReader
{
public:
    TZAVTextReader(FILE* file, std::string file_name);
    TZAVTextReader(const TZAVTextReader&) = delete;
    TZAVTextReader& operator=(const TZAVTextReader&) = delete;

    // The next line, trimmed (a view into a buffer that the next read replaces); false at end of file.
    bool ReadTrimmedLine(std::string_view& out_line);
    // The line last read is handed out again by the next read.
    void UnreadLine();

    FILE* File() const { return Stream; }
    const std::string& FileName() const { return Name; }
    int32_t LineNumber() const { return Line; }
    // Bytes from the read position to the end of the file; -1 when the stream cannot tell.
    int64_t RemainingBytes() const;

    // Records "Invalid data in file "name", line n: text" unless an error is already recorded.
    void Fail(const char* format, ...) __attribute__((format(printf, 2, 3)));
    bool Failed() const { return !ErrorText.empty(); }
    const std::string& Error() const { return ErrorText; }

    // While held, a failure is recorded but not shown: the owner of an item that can be dropped
    // alone takes it with TakeFailure and reports it in its own words. Returns the previous state.
    bool HoldFailures(bool hold);
    // The recorded failure without its file and line prefix, and its line; clears it. False when
    // nothing failed.
    bool TakeFailure(std::string& out_detail, int32_t& out_line);
    // A problem the reader recovered from: a warning in the form of Fail's message, naming `line`.
    void Warn(int32_t line, const char* format, ...) __attribute__((format(printf, 3, 4)));

    // A block's "{" was read: false (and failed) when that nests blocks deeper than MaxTextBlockDepth.
    bool EnterBlock();
    void LeaveBlock();

private:
    FILE* Stream;
    std::string Name;
    TZAVLineReader Lines;
    std::string_view LastLine;
    std::string ErrorText;
    std::string FailureDetail;
    int32_t FailureLine = 0;
    int32_t Line = 0;
    int32_t BlockDepth = 0;
    bool Pushed = false;
    bool Holding = false;
};

// Skips lines up to and including the "}" that closes a block whose "{" was just read.
// False when the file ends first.
bool SkipTextBlock(TZAVTextReader& reader);

// Reads the binary block that follows. On success out_data holds the decoded bytes; on failure
// it stays as it was, the reader holds the message, the rest of the binary block is skipped and
// false is returned.
[[nodiscard]] bool ReadBinaryBlock(TZAVTextReader& reader, std::vector<uint8_t>& out_data);

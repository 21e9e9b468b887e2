// Writing and reading the text block stream, and the base64 codec of its binary blocks.
//
// [SECTION] Writing
// [SECTION] Base64
// [SECTION] Reading
// [SECTION] Binary blocks
#include "core/text_block.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <cstdarg>
#include <cstring>
#include <sys/stat.h>
#include <utility>

#include "core/event_queue.h"
#include "core/report.h"
#include "core/status.h"
#include "core/text_scan.h"

namespace {

constexpr int32_t Base64LineLength = 80;
constexpr size_t BytesPerLine = Base64LineLength / 4 * 3;
// Whole lines per write, so that a large block is encoded through a buffer of bounded size.
constexpr size_t LinesPerWrite = 1024;
constexpr size_t BytesPerWrite = BytesPerLine * LinesPerWrite;

int32_t text_block_level = 0;

bool WriteAll(FILE* file, std::string_view text)
{
    return text.empty() || std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

bool WriteIndentedf(FILE* file, const char* format, ...) __attribute__((format(printf, 2, 3)));

bool WriteIndentedf(FILE* file, const char* format, ...)
{
    if (!WriteTextIndent(file))
        return false;
    va_list arguments;
    va_start(arguments, format);
    int written = std::vfprintf(file, format, arguments);
    va_end(arguments);
    return written >= 0;
}

} // namespace

// [SECTION] Writing

int32_t GetTextBlockLevel()
{
    return text_block_level;
}

void SetTextBlockLevel(int32_t level)
{
    text_block_level = std::max(level, 0);
}

bool WriteTextIndent(FILE* file)
{
    for (int32_t i = 0; i < text_block_level; i++)
        if (std::fputc('\t', file) == EOF)
            return false;
    return true;
}

bool WriteTextLine(FILE* file, const char* key, std::string_view value)
{
    return WriteIndentedf(file, "%s\t%.*s\n", key, static_cast<int>(value.size()), value.data());
}

bool WriteTextInt(FILE* file, const char* key, int32_t value)
{
    return WriteIndentedf(file, "%s\t%d\n", key, value);
}

bool WriteTextFlag(FILE* file, const char* key, bool value)
{
    return WriteTextInt(file, key, value ? 1 : 0);
}

bool WriteTextFloat(FILE* file, const char* key, float value)
{
    return WriteIndentedf(file, "%s\t%.8f\n", key, static_cast<double>(value));
}

bool WriteTextFloat3(FILE* file, const char* key, const float value[3])
{
    return WriteIndentedf(file, "%s\t%.8f %.8f %.8f\n", key, static_cast<double>(value[0]),
                          static_cast<double>(value[1]), static_cast<double>(value[2]));
}

bool WriteTextEmptyLine(FILE* file)
{
    return std::fputc('\n', file) != EOF;
}

bool WriteTextBlockStart(FILE* file)
{
    bool written = WriteIndentedf(file, "{\n");
    text_block_level++;
    return written;
}

bool WriteTextBlockEnd(FILE* file)
{
    // A writer that closes more blocks than it opened must not push later lines off the margin.
    SetTextBlockLevel(text_block_level - 1);
    return WriteIndentedf(file, "}\n");
}

TStartTextFileBlock::TStartTextFileBlock(FILE* file, const char* kind, std::string_view name, bool active)
    : File(file), Active(active)
{
    if (!Active)
        return;
    Written = WriteTextLine(File, kind, name);
    Written = WriteTextBlockStart(File) && Written;
    Open = true;
}

TStartTextFileBlock::~TStartTextFileBlock()
{
    if (Open)
        (void)Close();
}

bool TStartTextFileBlock::Close()
{
    if (!Open)
        return Written;
    Open = false;
    Written = WriteTextBlockEnd(File) && Written;
    return Written;
}

// [SECTION] Base64

namespace {

constexpr char Base64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int64_t Base64Length(size_t byte_count)
{
    return static_cast<int64_t>((byte_count + 2) / 3) * 4;
}

// Every 12-bit value as its two characters: two lookups encode a group of three bytes. Large
// figures write hundreds of megabytes of base64.
constexpr std::array<std::array<char, 2>, 4096> Base64Pairs = [] {
    std::array<std::array<char, 2>, 4096> pairs{};
    for (size_t value = 0; value < pairs.size(); value++)
        pairs[value] = {Base64Alphabet[value >> 6], Base64Alphabet[value & 63]};
    return pairs;
}();

// Writes the base64 text of `bytes` at out and returns its end; every group but the last must be
// a full three bytes.
char* EncodeBase64(std::span<const uint8_t> bytes, char* out)
{
    const uint8_t* in = bytes.data();
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t group = (uint32_t(in[i]) << 16) | (uint32_t(in[i + 1]) << 8) | in[i + 2];
        std::memcpy(out, Base64Pairs[group >> 12].data(), 2);
        std::memcpy(out + 2, Base64Pairs[group & 0xFFF].data(), 2);
        out += 4;
    }
    const size_t rest = bytes.size() - i;
    if (rest == 0)
        return out;
    uint32_t group = uint32_t(in[i]) << 16;
    if (rest == 2)
        group |= uint32_t(in[i + 1]) << 8;
    *out++ = Base64Alphabet[(group >> 18) & 63];
    *out++ = Base64Alphabet[(group >> 12) & 63];
    *out++ = rest == 2 ? Base64Alphabet[(group >> 6) & 63] : '=';
    *out++ = '=';
    return out;
}

// The value of every byte as a base64 digit: 0 to 63, Base64Padding for '=', -1 for the rest.
constexpr int8_t Base64Padding = 64;
constexpr std::array<int8_t, 256> Base64Values = [] {
    std::array<int8_t, 256> values{};
    values.fill(-1);
    for (int8_t value = 0; value < 64; value++)
        values[static_cast<uint8_t>(Base64Alphabet[value])] = value;
    values['='] = Base64Padding;
    return values;
}();

int32_t Base64Value(char c)
{
    return Base64Values[static_cast<uint8_t>(c)];
}

bool IsBase64Character(char c)
{
    return Base64Value(c) >= 0;
}

// For each place in a group of four, every byte's digit already shifted into that place; a byte
// that is no digit (padding included) sets NotADigit, so one test checks a whole group.
constexpr uint32_t NotADigit = 0x80000000u;
constexpr std::array<std::array<uint32_t, 256>, 4> Base64Placed = [] {
    std::array<std::array<uint32_t, 256>, 4> placed{};
    for (size_t place = 0; place < 4; place++)
        for (size_t c = 0; c < 256; c++) {
            const int32_t value = Base64Values[c];
            placed[place][c] =
                value < 0 || value == Base64Padding ? NotADigit : uint32_t(value) << (18 - 6 * place);
        }
    return placed;
}();

// Room for the bytes of `length` characters of base64, and for the decoder's 4-byte stores.
size_t DecodedRoom(int64_t length)
{
    return static_cast<size_t>(length / 4 * 3 + 4);
}

// Decodes base64 text handed over in pieces exactly as the whole text at once: up to the first
// '=', after which only padding may follow. Pieces may split groups anywhere.
class TBase64Decoder
{
public:
    explicit TBase64Decoder(std::vector<uint8_t>& out_bytes) : Out(out_bytes) {}

    // False at a byte that is no base64 character. Out must have DecodedRoom(every character fed).
    bool Feed(std::string_view text)
    {
        const uint8_t* in = reinterpret_cast<const uint8_t*>(text.data());
        const size_t size = text.size();
        size_t i = 0;
        // A group that the last piece began is finished a character at a time.
        for (; Pending > 0 && i < size; i++)
            if (!Take(text[i]))
                return false;
        if (Pending == 0 && !PaddingSeen) {
            uint8_t* out = Out.data() + Written;
            for (; i + 4 <= size; i += 4) {
                const uint32_t group = Base64Placed[0][in[i]] | Base64Placed[1][in[i + 1]] |
                                       Base64Placed[2][in[i + 2]] | Base64Placed[3][in[i + 3]];
                if ((group & NotADigit) != 0)
                    break;
                // Three bytes, high first; the fourth store is overwritten by the next group.
                const uint32_t high_first = __builtin_bswap32(group << 8);
                std::memcpy(out, &high_first, 4);
                out += 3;
            }
            Written = static_cast<size_t>(out - Out.data());
        }
        for (; i < size; i++)
            if (!Take(text[i]))
                return false;
        return true;
    }

    // After the last piece: the bytes are trimmed to those decoded; null, or what is wrong.
    const char* Finish()
    {
        if (DataAfterPadding)
            return "base64 text continues after its padding";
        if (Pending == 1)
            return "base64 text ends in the middle of a byte";
        // Two characters hold one byte, three hold two.
        if (Pending == 2) {
            Out[Written++] = uint8_t(Bits >> 4);
        } else if (Pending == 3) {
            Out[Written++] = uint8_t(Bits >> 10);
            Out[Written++] = uint8_t(Bits >> 2);
        }
        Out.resize(Written);
        return nullptr;
    }

private:
    bool Take(char c)
    {
        const int32_t value = Base64Value(c);
        if (value < 0)
            return false;
        if (value == Base64Padding) {
            PaddingSeen = true;
        } else if (PaddingSeen) {
            DataAfterPadding = true;
        } else {
            Bits = (Bits << 6) | uint32_t(value);
            if (++Pending == 4) {
                Out[Written++] = uint8_t(Bits >> 16);
                Out[Written++] = uint8_t(Bits >> 8);
                Out[Written++] = uint8_t(Bits);
                Pending = 0;
                Bits = 0;
            }
        }
        return true;
    }

    std::vector<uint8_t>& Out;
    size_t Written = 0;
    uint32_t Bits = 0;
    int32_t Pending = 0;
    bool PaddingSeen = false;
    bool DataAfterPadding = false;
};

} // namespace

TZAVBinaryBlockWriter::TZAVBinaryBlockWriter(FILE* file, const char* tag, size_t total_size)
    : Block(file, tag, ""), TotalSize(total_size), Text(LinesPerWrite * (Base64LineLength + 1))
{
    Written = Block.Good() && WriteIndentedf(file, "Size\t%" PRId64 "\n", Base64Length(total_size));
}

bool TZAVBinaryBlockWriter::WriteText(std::span<const uint8_t> bytes)
{
    for (size_t start = 0; Written && start < bytes.size(); start += BytesPerWrite) {
        std::span<const uint8_t> part = bytes.subspan(start, std::min(BytesPerWrite, bytes.size() - start));
        char* out = Text.data();
        for (size_t line = 0; line < part.size(); line += BytesPerLine) {
            out = EncodeBase64(part.subspan(line, std::min(BytesPerLine, part.size() - line)), out);
            *out++ = '\n';
        }
        Written = WriteAll(Block.File, std::string_view(Text.data(), size_t(out - Text.data())));
        TarnwickEvents_ProgressTick();
    }
    return Written;
}

bool TZAVBinaryBlockWriter::Append(std::span<const uint8_t> bytes)
{
    Taken += bytes.size();
    // Whole writes go straight from the caller's bytes; only a remainder waits, so that every
    // write but the last holds whole lines.
    if (!Waiting.empty()) {
        const size_t filling = std::min(BytesPerWrite - Waiting.size(), bytes.size());
        Waiting.insert(Waiting.end(), bytes.begin(), bytes.begin() + std::ptrdiff_t(filling));
        bytes = bytes.subspan(filling);
        if (Waiting.size() < BytesPerWrite)
            return Written;
        WriteText(Waiting);
        Waiting.clear();
    }
    const size_t whole = bytes.size() / BytesPerWrite * BytesPerWrite;
    WriteText(bytes.first(whole));
    Waiting.assign(bytes.begin() + std::ptrdiff_t(whole), bytes.end());
    return Written;
}

bool TZAVBinaryBlockWriter::Finish()
{
    WriteText(Waiting);
    Waiting.clear();
    // A line end follows the text; after a full last line (or no text) that leaves an empty line.
    if (Written && TotalSize % BytesPerLine == 0)
        Written = WriteTextEmptyLine(Block.File);
    return Block.Close() && Written && Taken == TotalSize;
}

bool WriteBinaryBlock(FILE* file, std::span<const uint8_t> data, const char* tag)
{
    TZAVBinaryBlockWriter writer(file, tag, data.size());
    return writer.Append(data) && writer.Finish();
}

// [SECTION] Reading

void SplitKeyValue(std::string_view line, std::string_view& out_key, std::string_view& out_value)
{
    line = TrimBlanks(line);
    size_t key_end = 0;
    while (key_end < line.size() && !IsBlank(line[key_end]))
        key_end++;
    out_key = line.substr(0, key_end);
    out_value = TrimBlanks(line.substr(key_end));
}

int32_t TextValueInt(std::string_view value)
{
    value = TrimBlanks(value);
    if (!value.empty() && value[0] == '+')
        value.remove_prefix(1);
    int64_t number = 0;
    std::from_chars(value.data(), value.data() + value.size(), number);
    return static_cast<int32_t>(std::clamp<int64_t>(number, INT32_MIN, INT32_MAX));
}

float TextValueFloat(std::string_view value)
{
    float number = 0.0f;
    ParseFloatList(value, &number, 1);
    return number;
}

void TextValueFloat3(std::string_view value, float out_values[3])
{
    ParseFloatList(value, out_values, 3);
}

TZAVTextReader::TZAVTextReader(FILE* file, std::string file_name)
    : Stream(file), Name(std::move(file_name)), Lines(file)
{
}

bool TZAVTextReader::ReadTrimmedLine(std::string_view& out_line)
{
    if (Pushed) {
        Pushed = false;
    } else {
        std::string_view line;
        if (!Lines.ReadLine(line)) {
            LastLine = {};
            return false;
        }
        Line++;
        LastLine = TrimBlanks(line);
    }
    out_line = LastLine;
    return true;
}

void TZAVTextReader::UnreadLine()
{
    if (Line > 0)
        Pushed = true;
}

int64_t TZAVTextReader::RemainingBytes() const
{
    struct stat status;
    if (fstat(fileno(Stream), &status) != 0 || !S_ISREG(status.st_mode))
        return -1;
    const int64_t position = ftello(Stream);
    if (position < 0)
        return -1;
    // Bytes read ahead are still to come for the caller.
    return std::max<int64_t>(int64_t(status.st_size) - (position - int64_t(Lines.BufferedBytes())), 0);
}

void TZAVTextReader::Fail(const char* format, ...)
{
    if (Failed())
        return;
    va_list arguments;
    va_start(arguments, format);
    FailureDetail = FormatTextList(format, arguments);
    va_end(arguments);
    FailureLine = Line;
    ErrorText = FormatText("Invalid data in file \"%s\", line %d: ", Name.c_str(), Line) + FailureDetail;
    if (!Holding)
        AddWarning("%s", ErrorText.c_str());
}

bool TZAVTextReader::HoldFailures(bool hold)
{
    return std::exchange(Holding, hold);
}

bool TZAVTextReader::TakeFailure(std::string& out_detail, int32_t& out_line)
{
    if (!Failed())
        return false;
    out_detail = std::move(FailureDetail);
    out_line = FailureLine;
    ErrorText.clear();
    FailureDetail.clear();
    return true;
}

void TZAVTextReader::Warn(int32_t line, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::string detail = FormatTextList(format, arguments);
    va_end(arguments);
    AddWarning("Invalid data in file \"%s\", line %d: %s", Name.c_str(), line, detail.c_str());
}

bool TZAVTextReader::EnterBlock()
{
    if (BlockDepth >= MaxTextBlockDepth) {
        Fail("blocks are nested too deeply (more than %d levels)", MaxTextBlockDepth);
        return false;
    }
    BlockDepth++;
    return true;
}

void TZAVTextReader::LeaveBlock()
{
    if (BlockDepth > 0)
        BlockDepth--;
}

bool SkipTextBlock(TZAVTextReader& reader)
{
    int32_t depth = 1;
    std::string_view line;
    while (reader.ReadTrimmedLine(line)) {
        if (line == "{")
            depth++;
        else if (line == "}" && --depth == 0)
            return true;
    }
    return false;
}

// [SECTION] Binary blocks

namespace {

// Reads up to the "Size" line; the size of the text that follows, or -1 after a failure.
int64_t ReadBinaryBlockSize(TZAVTextReader& reader)
{
    std::string_view line;
    for (;;) {
        if (!reader.ReadTrimmedLine(line)) {
            reader.Fail("the file ends before the binary block");
            return -1;
        }
        if (line == "{")
            break;
        if (line == "}") {
            // The enclosing block ends here: give its "}" back.
            reader.UnreadLine();
            reader.Fail("binary block missing");
            return -1;
        }
    }
    std::string_view key;
    std::string_view value;
    for (;;) {
        if (!reader.ReadTrimmedLine(line)) {
            reader.Fail("the file ends before the binary block's \"Size\"");
            return -1;
        }
        if (line == "}") {
            reader.Fail("binary block without \"Size\"");
            return -1;
        }
        SplitKeyValue(line, key, value);
        if (SameTextNoCase(key, "Size"))
            break;
    }
    int64_t size = -1;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), size);
    int64_t remaining = reader.RemainingBytes();
    if (error != std::errc() || end != value.data() + value.size())
        reader.Fail("binary block \"Size\" is not a number (\"%.*s\")", int(value.size()), value.data());
    else if (size < 0)
        reader.Fail("binary block \"Size\" is negative (%" PRId64 ")", size);
    else if (remaining >= 0 && size > remaining)
        reader.Fail("binary block \"Size\" %" PRId64 " is larger than the rest of the file (%" PRId64
                    " bytes)",
                    size, remaining);
    else
        return size;
    // The rest of the block goes, so that the owner reads on in step.
    SkipTextBlock(reader);
    return -1;
}

} // namespace

bool ReadBinaryBlock(TZAVTextReader& reader, std::vector<uint8_t>& out_data)
{
    int64_t size = ReadBinaryBlockSize(reader);
    if (size < 0)
        return false;
    std::vector<uint8_t> bytes;
    // Checked against the file above; a stream of unknown length grows as it goes.
    if (reader.RemainingBytes() >= 0)
        bytes.resize(DecodedRoom(size));
    TBase64Decoder decoder(bytes);
    int64_t text_length = 0;
    std::string_view line;
    bool closed = false;
    while (reader.ReadTrimmedLine(line)) {
        if (line == "}") {
            closed = true;
            break;
        }
        const int64_t length = text_length + int64_t(line.size());
        const bool fits = length <= size;
        if (fits && bytes.size() < DecodedRoom(length))
            bytes.resize(std::max(DecodedRoom(length), 2 * bytes.size()));
        if (!fits || !decoder.Feed(line)) {
            auto bad = std::find_if_not(line.begin(), line.end(), IsBase64Character);
            if (bad != line.end()) {
                const bool opens_block = line == "{";
                reader.Fail("'%c' (byte 0x%02X) is not a base64 character",
                            std::isprint(uint8_t(*bad)) ? *bad : '?', unsigned(uint8_t(*bad)));
                if (opens_block)
                    SkipTextBlock(reader);
            } else {
                reader.Fail("binary block holds more base64 text than its \"Size\" %" PRId64, size);
            }
            SkipTextBlock(reader);
            return false;
        }
        text_length = length;
    }
    if (!closed) {
        reader.Fail("the file ends inside a binary block");
        return false;
    }
    if (text_length != size) {
        reader.Fail("binary block holds %" PRId64 " characters of base64 text, its \"Size\" says %" PRId64,
                    text_length, size);
        return false;
    }
    if (const char* problem = decoder.Finish()) {
        reader.Fail("%s", problem);
        return false;
    }
    out_data.swap(bytes);
    return true;
}

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
#include <sys/stat.h>
#include <utility>

#include "core/event_queue.h"
#include "core/report.h"
#include "core/status.h"
#include "core/text_line.h"
#include "core/text_scan.h"

namespace {

constexpr int32_t Base64LineLength = 80;
// Whole lines per write, so that a large block is encoded through a buffer of bounded size.
constexpr size_t LinesPerWrite = 1024;

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

// Appends the base64 text of `bytes`; every group but the last must be a full three bytes.
void EncodeBase64(std::span<const uint8_t> bytes, std::string& out_text)
{
    const size_t whole_groups = bytes.size() / 3;
    const size_t start = out_text.size();
    out_text.resize(start + 4 * whole_groups);
    char* out = out_text.data() + start;
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        uint32_t group = (uint32_t(bytes[i]) << 16) | (uint32_t(bytes[i + 1]) << 8) | bytes[i + 2];
        *out++ = Base64Alphabet[(group >> 18) & 63];
        *out++ = Base64Alphabet[(group >> 12) & 63];
        *out++ = Base64Alphabet[(group >> 6) & 63];
        *out++ = Base64Alphabet[group & 63];
    }
    size_t rest = bytes.size() - i;
    if (rest == 0)
        return;
    uint32_t group = uint32_t(bytes[i]) << 16;
    if (rest == 2)
        group |= uint32_t(bytes[i + 1]) << 8;
    out_text.push_back(Base64Alphabet[(group >> 18) & 63]);
    out_text.push_back(Base64Alphabet[(group >> 12) & 63]);
    out_text.push_back(rest == 2 ? Base64Alphabet[(group >> 6) & 63] : '=');
    out_text.push_back('=');
}

// The value of every byte as a base64 digit: 0 to 63, Base64Padding for '=', -1 for the rest.
// Large figures hold hundreds of megabytes of base64: one lookup per character keeps it fast.
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

// Decodes up to the first '='; after it only padding may follow. Null on failure.
const char* DecodeBase64(std::string_view text, std::vector<uint8_t>& out_bytes)
{
    size_t data_length = std::min(text.find('='), text.size());
    if (text.find_first_not_of('=', data_length) != std::string_view::npos)
        return "base64 text continues after its padding";
    if (data_length % 4 == 1)
        return "base64 text ends in the middle of a byte";
    out_bytes.resize(data_length / 4 * 3 + (data_length % 4 == 0 ? 0 : data_length % 4 - 1));
    uint8_t* out = out_bytes.data();
    size_t i = 0;
    // Whole groups of four characters make three bytes.
    for (; i + 4 <= data_length; i += 4) {
        const uint32_t group = (uint32_t(Base64Value(text[i])) << 18) |
                               (uint32_t(Base64Value(text[i + 1])) << 12) |
                               (uint32_t(Base64Value(text[i + 2])) << 6) | uint32_t(Base64Value(text[i + 3]));
        *out++ = uint8_t(group >> 16);
        *out++ = uint8_t(group >> 8);
        *out++ = uint8_t(group);
    }
    uint32_t bits = 0;
    int32_t bit_count = 0;
    for (; i < data_length; i++) {
        bits = (bits << 6) | static_cast<uint32_t>(Base64Value(text[i]));
        bit_count += 6;
        if (bit_count >= 8) {
            bit_count -= 8;
            *out++ = static_cast<uint8_t>(bits >> bit_count);
        }
    }
    return nullptr;
}

} // namespace

bool WriteBinaryBlock(FILE* file, std::span<const uint8_t> data, const char* tag)
{
    TStartTextFileBlock block(file, tag, "");
    bool written = block.Good() && WriteIndentedf(file, "Size\t%" PRId64 "\n", Base64Length(data.size()));
    constexpr size_t BytesPerLine = Base64LineLength / 4 * 3;
    constexpr size_t BytesPerWrite = BytesPerLine * LinesPerWrite;
    std::string text;
    text.reserve(BytesPerWrite / 3 * 4 + LinesPerWrite);
    for (size_t start = 0; written && start < data.size(); start += BytesPerWrite) {
        std::span<const uint8_t> part = data.subspan(start, std::min(BytesPerWrite, data.size() - start));
        text.clear();
        for (size_t line = 0; line < part.size(); line += BytesPerLine) {
            EncodeBase64(part.subspan(line, std::min(BytesPerLine, part.size() - line)), text);
            text.push_back('\n');
            TarnwickEvents_ProgressTick();
        }
        written = WriteAll(file, text);
    }
    // A line end follows the text; after a full last line (or no text) that leaves an empty line.
    if (written && data.size() % BytesPerLine == 0)
        written = WriteTextEmptyLine(file);
    return block.Close() && written;
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

TZAVTextReader::TZAVTextReader(FILE* file, std::string file_name) : Stream(file), Name(std::move(file_name))
{
}

bool TZAVTextReader::ReadTrimmedLine(std::string_view& out_line)
{
    if (Pushed)
        Pushed = false;
    else if (ReadTextLine(Buffer, Stream))
        Line++;
    else
        return false;
    out_line = TrimBlanks(Buffer);
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
    long position = std::ftell(Stream);
    if (position < 0)
        return -1;
    return std::max<int64_t>(int64_t(status.st_size) - position, 0);
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
    std::string text;
    // Checked against the file above; a stream of unknown length grows as it goes.
    if (reader.RemainingBytes() >= 0)
        text.reserve(static_cast<size_t>(size));
    std::string_view line;
    bool closed = false;
    while (reader.ReadTrimmedLine(line)) {
        if (line == "}") {
            closed = true;
            break;
        }
        auto bad = std::find_if_not(line.begin(), line.end(), IsBase64Character);
        if (bad != line.end()) {
            const bool opens_block = line == "{";
            reader.Fail("'%c' (byte 0x%02X) is not a base64 character",
                        std::isprint(uint8_t(*bad)) ? *bad : '?', unsigned(uint8_t(*bad)));
            if (opens_block)
                SkipTextBlock(reader);
            SkipTextBlock(reader);
            return false;
        }
        if (int64_t(text.size() + line.size()) > size) {
            reader.Fail("binary block holds more base64 text than its \"Size\" %" PRId64, size);
            SkipTextBlock(reader);
            return false;
        }
        text.append(line);
    }
    if (!closed) {
        reader.Fail("the file ends inside a binary block");
        return false;
    }
    if (int64_t(text.size()) != size) {
        reader.Fail("binary block holds %zu characters of base64 text, its \"Size\" says %" PRId64,
                    text.size(), size);
        return false;
    }
    std::vector<uint8_t> bytes;
    if (const char* problem = DecodeBase64(text, bytes)) {
        reader.Fail("%s", problem);
        return false;
    }
    out_data.swap(bytes);
    return true;
}

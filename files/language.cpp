#include "files/language.h"

#include <sys/stat.h>

#include <algorithm>
#include <limits>

#include "core/file_handle.h"
#include "core/paths.h"
#include "core/report.h"
#include "core/status.h"
#include "core/text_line.h"
#include "core/text_scan.h"

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view UntranslatedMarker = "xx ";

TZAVLanguageTable Language;

// A line that starts an entry: digits, then a full stop. Leading blanks are allowed, as "%d."
// allows them. A number too large for the table reads as the largest int32_t, which never fits.
bool ParseEntryStart(std::string_view line, int32_t& out_number, std::string_view& out_text)
{
    size_t at = 0;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
        at++;
    const size_t digits_start = at;
    int64_t number = 0;
    for (; at < line.size() && line[at] >= '0' && line[at] <= '9'; at++)
        number = std::min<int64_t>(number * 10 + (line[at] - '0'), std::numeric_limits<int32_t>::max());
    if (at == digits_start || at >= line.size() || line[at] != '.')
        return false;
    out_number = int32_t(number);
    out_text = line.substr(at + 1);
    return true;
}

void TrimTrailing(std::string& text)
{
    size_t end = text.size();
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\n'))
        end--;
    text.resize(end);
}

bool IsRegularFile(FILE* file)
{
    struct stat status;
    return fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
}

} // namespace

bool TZAVLanguageTable::Read(FILE* stream, std::string_view source_name, std::string& out_error)
{
    const int name_length = int(source_name.size());
    std::vector<std::string> entries;
    // Lines that continue a skipped entry, or come before the first one, go nowhere.
    bool continuing_skipped = true;
    bool reported_preamble = false;
    TZAVLineReader reader(stream);
    std::string_view line;
    for (int32_t line_number = 1; reader.ReadLine(line); line_number++) {
        if (line_number == 1 && line.starts_with(ByteOrderMark))
            line.remove_prefix(ByteOrderMark.size());
        int32_t number = 0;
        std::string_view text;
        if (ParseEntryStart(line, number, text)) {
            const int64_t expected = int64_t(entries.size()) + 1;
            if (number == expected) {
                entries.emplace_back(text);
                continuing_skipped = false;
            } else {
                AddWarning("%.*s (line %d): unexpected index, expected %lld, found %d; the entry is skipped",
                           name_length, source_name.data(), line_number, static_cast<long long>(expected),
                           number);
                continuing_skipped = true;
            }
        } else if (!continuing_skipped) {
            entries.back().append("\n").append(line);
        } else if (entries.empty() && !reported_preamble && !TrimBlanks(line).empty()) {
            AddWarning("%.*s (line %d): text before the first entry is ignored", name_length,
                       source_name.data(), line_number);
            reported_preamble = true;
        }
    }
    if (std::ferror(stream)) {
        out_error = FormatText("Cannot read the file %.*s", name_length, source_name.data());
        return false;
    }
    if (entries.empty()) {
        out_error = FormatText("The file %.*s contains no data", name_length, source_name.data());
        return false;
    }
    for (std::string& entry : entries)
        TrimTrailing(entry);
    Entries = std::move(entries);
    return true;
}

bool TZAVLanguageTable::Read(const std::string& path, std::string& out_error)
{
    TZAVFileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file || !IsRegularFile(file.get())) {
        out_error = FormatText("Cannot open the file %s", path.c_str());
        return false;
    }
    return Read(file.get(), path, out_error);
}

const char* TZAVLanguageTable::Get(int32_t index) const
{
    if (index < 1 || index > Count())
        return MissingLanguageText;
    const std::string& text = Entries[size_t(index) - 1];
    if (text.size() >= UntranslatedMarker.size() &&
        SameTextNoCase(std::string_view(text).substr(0, UntranslatedMarker.size()), UntranslatedMarker))
        return text.c_str() + UntranslatedMarker.size();
    return text.c_str();
}

bool TZAVLanguageTable::IsCurrent() const
{
    const std::string_view text = Get(LanguageVersionEntry);
    constexpr std::string_view Word = "error";
    for (size_t at = 0; at + Word.size() <= text.size(); at++)
        if (SameTextNoCase(text.substr(at, Word.size()), Word))
            return false;
    return true;
}

bool LoadLanguage(const std::string& program_folder, std::string& out_error)
{
    const std::string data_folder = program_folder + "Data" + PathSeparator;
    std::string packed_error;
    if (Language.Read(data_folder + PackedLanguageFileName, packed_error))
        return true;
    std::string text_error;
    if (Language.Read(data_folder + LanguageFileName, text_error))
        return true;
    out_error = packed_error + "\n" + text_error;
    return false;
}

const char* GetLanguageString(int32_t index)
{
    return Language.Get(index);
}

int32_t GetLanguageCount()
{
    return Language.Count();
}

bool LanguageIsCurrent()
{
    return Language.IsCurrent();
}

void FreeLanguage()
{
    Language.Clear();
}

// The language file on fuzzed bytes. The first byte chooses: an even one reads the rest as a
// stream, an odd one also loads it as the program's language file, which must give the same
// table. Every entry must be trimmed, free of line ends other than the breaks joining its lines,
// no longer than the input, and its continuation lines must be ones that cannot start an entry.
#include "fuzz/fuzz_support.h"

#include <string>
#include <string_view>

#include "files/language.h"

namespace {

bool StartsEntry(std::string_view line)
{
    size_t at = line.find_first_not_of(" \t");
    if (at == std::string_view::npos)
        return false;
    const size_t digits = at;
    while (at < line.size() && line[at] >= '0' && line[at] <= '9')
        at++;
    return at > digits && at < line.size() && line[at] == '.';
}

void CheckEntry(std::string_view text, size_t input_size)
{
    if (text.size() > input_size)
        FuzzCheckFailed("an entry is longer than the input");
    if (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n'))
        FuzzCheckFailed("an entry keeps a trailing blank");
    if (text.find('\r') != std::string_view::npos)
        FuzzCheckFailed("an entry keeps a carriage return");
    for (size_t start = text.find('\n'); start != std::string_view::npos;
         start = text.find('\n', start + 1)) {
        const size_t end = text.find('\n', start + 1);
        if (StartsEntry(text.substr(start + 1, end == std::string_view::npos ? end : end - start - 1)))
            FuzzCheckFailed("a line that starts an entry was taken as a continuation");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return -1;
    const bool as_program_file = data[0] % 2 == 1;
    ++data;
    --size;
    TZAVLanguageTable table;
    std::string error;
    if (!table.Read(InputStream(data, size), "Language_v2.txt", error))
        return 0;
    if (table.Count() < 1)
        FuzzCheckFailed("a table read without entries");
    for (int32_t index = 1; index <= table.Count(); index++)
        CheckEntry(table.Get(index), size);
    if (std::string_view(table.Get(table.Count() + 1)) != MissingLanguageText)
        FuzzCheckFailed("a lookup past the end found text");

    if (as_program_file) {
        mkdir((InputFolder() + "Data").c_str(), 0700);
        WriteInputFile(std::string("Data/") + LanguageFileName, data, size);
        if (!LoadLanguage(InputFolder(), error))
            FuzzCheckFailed("the file read as a stream did not load");
        if (GetLanguageCount() != table.Count() || LanguageIsCurrent() != table.IsCurrent())
            FuzzCheckFailed("the file and the stream read differently");
        for (int32_t index = 1; index <= table.Count(); index++)
            if (std::string_view(GetLanguageString(index)) != table.Get(index))
                FuzzCheckFailed("the file and the stream read differently");
        FreeLanguage();
    }
    return 0;
}

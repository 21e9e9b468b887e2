// The language table: the numbered texts of the user interface, read from "Language_v2.txt" in
// the program's Data folder. The file holds entries numbered from 1 without gaps:
//
//     1.File
//     2.Open a project.
//     This line continues entry 2 after a line break.
//
// A line that begins with a number and a full stop starts an entry whose text is what follows the
// first full stop, kept byte for byte (UTF-8 or Latin-1 alike); any other line, empty ones too,
// continues the entry before it. A text that begins with "xx " (any case) is not yet translated
// and shows without the marker.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

constexpr const char* LanguageFileName = "Language_v2.txt";
// Tried first: a packed copy of the same text, when one is installed.
constexpr const char* PackedLanguageFileName = "Language_v2.dat";
// The text a lookup outside the table gives.
constexpr const char* MissingLanguageText = "Error";

// Entries the start-up and the project rely on by number.
constexpr int32_t ScreenTooSmallEntry = 476;
constexpr int32_t AlreadyRunningEntry = 614;
constexpr int32_t AutoSaveBaseNameEntry = 418;
constexpr int32_t BakedMorphNameEntry = 797;
// A table without this entry comes from an older program: start-up refuses it.
constexpr int32_t LanguageVersionEntry = 798;

class TZAVLanguageTable
{
public:
    // Reads the entries of stream; source_name names it in warnings. A numbered line out of
    // sequence is warned about (message panel) with its line number and skipped, with the lines
    // that continue it. False, with the table left as it was, when the stream holds no entry.
    [[nodiscard]] bool Read(FILE* stream, std::string_view source_name, std::string& out_error);
    // The same from a file; false also when it cannot be opened.
    [[nodiscard]] bool Read(const std::string& path, std::string& out_error);

    // The text of entry index (1-based), or "Error" outside the table.
    const char* Get(int32_t index) const;
    int32_t Count() const { return int32_t(Entries.size()); }
    // False when the version entry is missing or reads as an error: the file is too old.
    bool IsCurrent() const;
    void Clear() { Entries.clear(); }

private:
    std::vector<std::string> Entries;
};

// The process-wide table. Tries "Data/Language_v2.dat", then "Data/Language_v2.txt", in
// program_folder (which ends with a separator). False, with out_error telling which files were
// tried and why, when neither gives any entry.
[[nodiscard]] bool LoadLanguage(const std::string& program_folder, std::string& out_error);
const char* GetLanguageString(int32_t index);
int32_t GetLanguageCount();
bool LanguageIsCurrent();
void FreeLanguage();

#include "files/video_cards.h"

#include "core/dialogs.h"
#include "core/file_handle.h"
#include "core/text_block.h"
#include "core/text_line.h"
#include "core/text_scan.h"

namespace {

constexpr size_t RecordFieldCount = 16;

// Comma-separated fields; a field in double quotes may hold commas (renderer names such as
// "llvmpipe (LLVM 15.0.6, 256 bits)" do), and "" in it stands for one quote.
std::vector<std::string> SplitFields(std::string_view line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t at = 0; at < line.size(); at++) {
        const char c = line[at];
        if (quoted && c == '"' && at + 1 < line.size() && line[at + 1] == '"') {
            fields.back() += '"';
            at++;
        } else if (c == '"' && (quoted || TrimBlanks(fields.back()).empty())) {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

} // namespace

std::vector<TTarnwick_VideoCardRecord> ParseVideoCardList(std::string_view text)
{
    std::vector<TTarnwick_VideoCardRecord> records;
    bool header_seen = false;
    while (!text.empty()) {
        const size_t end = text.find_first_of("\r\n");
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const std::vector<std::string> fields = SplitFields(line);
        if (fields.size() < RecordFieldCount)
            continue;
        if (!header_seen) {
            header_seen = true;
            continue;
        }
        TTarnwick_VideoCardRecord record;
        record.Vendor.assign(TrimBlanks(fields[1]));
        record.Renderer.assign(TrimBlanks(fields[2]));
        record.Version.assign(TrimBlanks(fields[3]));
        record.SupportLevel = TextValueInt(fields[9]);
        record.WebPage.assign(TrimBlanks(fields[10]));
        for (int32_t flag = 0; flag < 4; flag++)
            record.Flags[flag] = TextValueInt(fields[11 + size_t(flag)]) != 0;
        record.Comment.assign(TrimBlanks(fields[15]));
        records.push_back(std::move(record));
    }
    return records;
}

bool ReadVideoCardList(const std::string& path, std::vector<TTarnwick_VideoCardRecord>& out_records)
{
    TZAVFileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return false;
    const std::string text = ReadAllText(file.get());
    if (std::ferror(file.get()))
        return false;
    out_records = ParseVideoCardList(text);
    return true;
}

const TTarnwick_VideoCardRecord* FindVideoCard(const std::vector<TTarnwick_VideoCardRecord>& records,
                                                std::string_view vendor, std::string_view renderer,
                                                std::string_view version)
{
    const TTarnwick_VideoCardRecord* any_version = nullptr;
    for (const TTarnwick_VideoCardRecord& record : records) {
        if (!SameTextNoCase(record.Vendor, vendor) || !SameTextNoCase(record.Renderer, renderer))
            continue;
        if (SameTextNoCase(record.Version, version))
            return &record;
        if (any_version == nullptr)
            any_version = &record;
    }
    return any_version;
}

bool AskAboutVideoCard(const TTarnwick_VideoCardRecord& record)
{
    if (record.SupportLevel == 0)
        return AskYesNo(GlobalDialogHost,
                        "The video card drivers on this computer (%s, %s) is not compatible with Tarnwick.\n\n"
                        "Comment: %s\n\nWould you like to try to run it anyway?",
                        record.Vendor.c_str(), record.Renderer.c_str(), record.Comment.c_str());
    if ((record.SupportLevel == 1 || record.SupportLevel == 2) &&
        AskYesNo(GlobalDialogHost,
                 "The video card drivers on this computer (%s, %s) may have some issues with Tarnwick.\n\n"
                 "Comment: %s\n\nWould you like to visit the web site and read about it?",
                 record.Vendor.c_str(), record.Renderer.c_str(), record.Comment.c_str()))
        OpenDocument(GlobalDialogHost, record.WebPage.c_str());
    return true;
}

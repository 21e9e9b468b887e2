// The video-card compatibility list on fuzzed bytes: every record is a whole line's fields, and
// looking a record's own driver up finds a record of that driver.
#include "fuzz/fuzz_support.h"

#include <string_view>

#include "core/text_scan.h"
#include "files/video_cards.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<TTarnwick_VideoCardRecord> records = ParseVideoCardList(text);
    for (const TTarnwick_VideoCardRecord& record : records) {
        for (const std::string* field : {&record.Vendor, &record.Renderer, &record.Version, &record.Comment})
            if (field->find_first_of("\r\n") != std::string::npos)
                FuzzCheckFailed("a field runs over a line end");
        const TTarnwick_VideoCardRecord* found =
            FindVideoCard(records, record.Vendor, record.Renderer, record.Version);
        if (found == nullptr || !SameTextNoCase(found->Vendor, record.Vendor) ||
            !SameTextNoCase(found->Renderer, record.Renderer))
            FuzzCheckFailed("a record's own driver was not found");
    }
    return 0;
}

// The video-card compatibility list "OpenGL_Database.csv": which OpenGL drivers Tarnwick runs
// well on, which have known problems, and which cannot paint. Start-up compares the driver's
// vendor, renderer and version strings with it.
//
//     header line (the first line of 16 or more fields)
//     id,vendor,renderer,version,...,support level (9),web page (10),flags (11-14),comment (15)
//
// Lines of fewer than 16 fields are not records. Fields are separated by commas; a field may be
// put in double quotes to hold commas (renderer names do).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TTarnwick_VideoCardRecord
{
    std::string Vendor;
    std::string Renderer;
    std::string Version;
    // 0 cannot run, 1 and 2 known problems, anything else fine.
    int32_t SupportLevel = 0;
    std::string WebPage;
    // Fields 11 to 14: 11 is kept without a known meaning, 12 "3D painting works", 13 and 14 the
    // two driver workarounds of the settings.
    bool Flags[4] = {false, false, false, false};
    std::string Comment;

    bool PaintingWorks() const { return Flags[1]; }
};

// The records of the list's text. Lines of any length are read whole.
std::vector<TTarnwick_VideoCardRecord> ParseVideoCardList(std::string_view text);
// Reads the list from path; false when the file cannot be read.
[[nodiscard]] bool ReadVideoCardList(const std::string& path, std::vector<TTarnwick_VideoCardRecord>& out_records);

// The first record of this vendor, renderer and version (compared without regard to case), else
// the first of this vendor and renderer whatever its version; null when none is.
const TTarnwick_VideoCardRecord* FindVideoCard(const std::vector<TTarnwick_VideoCardRecord>& records,
                                                std::string_view vendor, std::string_view renderer,
                                                std::string_view version);

// What the support level asks of the user: false when the user chose not to run on a driver that
// cannot run Tarnwick. Level 1 or 2 offers the record's web page, opened with the desktop's viewer.
bool AskAboutVideoCard(const TTarnwick_VideoCardRecord& record);

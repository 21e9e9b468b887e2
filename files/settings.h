// The settings object: the preferences kept in "Tarnwick_Orvane_v2.ini" in the user folder, and
// the search paths where the program looks for files that a figure or project names but that are
// not where the name says.
//
// One object exists, created at start-up (defaults, read, RunCount + 1, autosave path, write) and
// destroyed at an orderly exit (this run's autosave is deleted, the file written again). The file
// is always written through a temporary file, so a failed write leaves the old one intact.
#pragma once

#include <cstdint>
#include <string>

#include "core/list.h"
#include "core/paths.h"
#include "core/thingy.h"
#include "core/timer.h"

// Process-wide texture limits: every texture made is clamped between the two. The settings file
// stores the maximum as "MaxTextureSize2"; the minimum is not stored.
extern int32_t MaxTextureSize;
extern int32_t MinTextureSize;
constexpr int32_t DefaultMaxTextureSize = 8192;
constexpr int32_t DefaultMinTextureSize = 64;

constexpr const char* SettingsFileName = "Tarnwick_Orvane_v2.ini";
constexpr const char* ProjectFileExtension = "Tarnwick";
// Autosave switches off at this interval or below.
constexpr float AutoSaveOffLimit = 0.9f;
// Paint bleeds this many pixels past the borders of UV islands, so that filtering and mipmaps do
// not pull the unpainted background into the seams; 0 switches it off.
constexpr int32_t DefaultPaintBleedWidth = 4;
constexpr int32_t MaxPaintBleedWidth = 64;

// What FindFile does when the search paths do not hold the file.
enum class TZAVMissingFile
{
    Fail,
    AskUser,
};

// A folder searched by FindFile; recursive ones are searched with their sub-folders.
class TTarnwick_SearchPath : public TTarnwick_Thingy
{
public:
    TTarnwick_SearchPath(const std::string& folder, TZAVSearchDepth depth);

    // With a trailing separator.
    std::string Path;
    bool Recursive = false;
};

using TTarnwick_SearchPathPtr = TTarnwick_SearchPath*;

class TTarnwick_Settings
{
public:
    // autosave_base_name names this run's autosave file in the user folder.
    explicit TTarnwick_Settings(std::string autosave_base_name = "AutoSave");
    ~TTarnwick_Settings();
    TTarnwick_Settings(const TTarnwick_Settings&) = delete;
    TTarnwick_Settings& operator=(const TTarnwick_Settings&) = delete;

    // A missing or unreadable file is not an error: the defaults stay.
    void ReadSettings();
    // False (with a warning in the message panel) when the file could not be written.
    bool WriteSettings();
    std::string SettingsFilePath() const;

    // Ignores an empty folder and one already in the list.
    void AddSearchPath(const std::string& folder, TZAVSearchDepth depth);
    void AddSearchPathOfFile(const std::string& path, TZAVSearchDepth depth);
    // Resolves path in place through the search paths (and perhaps the user); true when path now
    // names an existing file. On failure path is unchanged.
    bool FindFile(std::string& path, TZAVMissingFile missing);

    bool AutoSaveEnabled() const { return AutoSaveTime > AutoSaveOffLimit; }
    bool AutoSaveDue(double seconds_since_last_save) const
    {
        return AutoSaveEnabled() && seconds_since_last_save >= AutoSaveTime;
    }

    // Empty when the user folder could not be made; nothing is then read or written.
    std::string UserFolder;
    std::string ImportPath;
    std::string ExportPath;
    std::string ImagesPath;
    std::string ProjectsPath;
    // The file that autosave writes in this run; empty when its folder cannot be made.
    std::string AutoSavePath;
    // Time since the project was last written (saved or autosaved).
    TZAVStopwatch AutoSaveStopwatch;
    // The previous run's autosave, as read from the file; offered for recovery at start-up.
    std::string AutoSaveFileName;
    // Set when the run ends without the user's say (the window closed under it): this run's
    // autosave is kept for the next start to offer.
    bool KeepAutoSave = false;
    float AutoSaveTime = 120.0f;
    int32_t UndoLimit = 64;
    // From 0 to MaxPaintBleedWidth.
    int32_t PaintBleedWidth = DefaultPaintBleedWidth;
    int32_t RunCount = 0;
    bool UseTextureCompression = false;
    bool CacheViewports = true;
    bool LoadDefaultProject = true;
    // Written but never read back: hints are on at every start.
    bool Hints = true;
    int32_t Font = 2;
    int32_t ColorScheme = 1;
    // Set by the video-card check.
    bool DriverWorkarounds[2] = {true, true};
    TZAVMultiList<TTarnwick_SearchPathPtr> GlobalSearchPaths;

private:
    void SetDefaults();
    void ConsiderLine(const std::string& line);

    std::string AutoSaveBaseName;
};

// The process-wide settings object; start-up creates it before the project and the main window.
extern TTarnwick_Settings* TarnwickSettings;

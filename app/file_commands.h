// The file commands (200 to 241): projects (open, the start-up project, new, save, save as, save
// after an error, autosave) and the OBJ and CR2 files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TZAVEvent;

constexpr int32_t FirstFileCommand = 200;
constexpr int32_t LastFileCommand = 241;

enum TTarnwick_FileCommand : int32_t
{
    OpenRecentProjectCommand = 201,
    OpenProjectCommand = 202,
    StartupProjectCommand = 203,
    ImportCR2Command = 204,
    ImportOBJCommand = 205,
    NewProjectCommand = 207,
    SaveProjectCommand = 211,
    SaveProjectAsCommand = 212,
    SaveAfterErrorCommand = 213,
    ExportOBJCommand = 221,
    AutoSaveCommand = 234,
    DeleteAllLayerSetsCommand = 240,
};

// True when the command ran to its end; false when the user cancelled, a prerequisite was
// missing, or the number has no case. A failed save raises (ReportError).
bool HandleFileCommand(TZAVEvent* event);

// The projects opened or saved last, newest first; command 201 opens the one its Index names.
std::vector<std::string> ReadRecentProjects();

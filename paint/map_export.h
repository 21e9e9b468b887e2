// Painted maps written out as image files. The user picks each file in a save dialog; a name
// without a writable image extension gets the list's current one. Once a map is written, the map
// takes the file's base name and every channel that shows it names the file, so that a later save
// of the project or of a CR2 file refers to the exported image. A write that fails leaves the map
// and the channels as they were.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TTarnwick_Mesh;

// Image-file extensions without the dot; Current names the default type.
struct TTarnwick_ImageTypeList
{
    std::vector<std::string> Types;
    int32_t Current = 0;

    // The current type, or the first when Current names none; empty for an empty list.
    const std::string& CurrentType() const;
};

// The dialog filter list of the types: with a description first one entry holding every type's
// pattern, then one "<type> Files" entry per type. Parts are NUL-separated, the list ends with an
// extra NUL (the one after out_filter's last character).
void BuildImageFilter(std::string& out_filter, const TTarnwick_ImageTypeList& list, const char* description);

// What an export works on: the object's mesh (null: there is nothing to export), the types that
// may be written and the folder the dialogs start in, which they remember.
struct TTarnwick_MapExportTarget
{
    TTarnwick_Mesh* Mesh = nullptr;
    TTarnwick_ImageTypeList* Types = nullptr;
    std::string* ImagesFolder = nullptr;
};

// Exports the map at index of the mesh's map list (-1: the list's current entry). True when the
// file was written and the channels point at it.
bool ExportSelectedMap(const TTarnwick_MapExportTarget& target, int32_t index);
// Exports every map of the mesh with one dialog each; a cancelled map is skipped. Returns the
// number of maps written.
int32_t ExportAllMaps(const TTarnwick_MapExportTarget& target);

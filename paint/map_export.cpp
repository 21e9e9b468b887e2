#include "paint/map_export.h"

#include <algorithm>

#include "core/dialogs.h"
#include "core/paths.h"
#include "core/report.h"
#include "core/status.h"
#include "core/text_scan.h"
#include "mesh/material.h"
#include "mesh/sculpt_mesh.h"
#include "paint/image_file.h"
#include "paint/material_map.h"

namespace {

enum class TExportFailure
{
    // The selected map's failure goes to the message panel, beside its other messages.
    Warning,
    // Exporting every map goes on after a failure, which must not pass unseen among the dialogs.
    ErrorBox,
};

bool IsListedType(const TTarnwick_ImageTypeList& list, const std::string& extension)
{
    return std::any_of(list.Types.begin(), list.Types.end(),
                       [&](const std::string& type) { return SameTextNoCase(type, extension); });
}

// The file for the map, chosen in a save dialog starting in the images folder. The dialog's type
// becomes the list's current one. A name without a listed extension gets the current type's after
// it, and since the dialog did not see that name, the user is asked before it is written over.
// False when the user cancelled or declined.
bool ChooseMapFile(const TTarnwick_MapExportTarget& target, const TZAVMaterialMap& map, std::string& out_path)
{
    TTarnwick_ImageTypeList& types = *target.Types;
    std::string filter;
    BuildImageFilter(filter, types, nullptr);
    int32_t filter_index = types.Current;
    constexpr bool RememberFolder = true;
    if (!AskSaveFileNameFromList(GlobalDialogHost, out_path, *target.ImagesFolder, filter.c_str(),
                                 map.GetName(), RememberFolder, &filter_index))
        return false;
    if (filter_index >= 0 && filter_index < int32_t(types.Types.size()))
        types.Current = filter_index;
    if (IsListedType(types, ExtensionOf(out_path)))
        return true;
    if (!out_path.empty() && out_path.back() == '.')
        out_path.pop_back();
    out_path = FormatText("%s.%s", out_path.c_str(), types.CurrentType().c_str());
    return !FileExists(out_path) ||
           AskYesNo(GlobalDialogHost, "The file %s exists.\n\nDo you want to overwrite it?",
                    out_path.c_str());
}

// The map takes the file's name; every channel that shows it names the file.
void PointChannelsAt(TTarnwick_Mesh& mesh, int32_t index, TZAVMaterialMap& map, const std::string& path)
{
    map.SetNameLiteral(NameOf(WithoutExtension(path)));
    map.MapFileName = path;
    map.FileFormat.clear();
    for (char c : ExtensionOf(path))
        map.FileFormat += c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
    for (TZAVMaterial* material : mesh.Materials) {
        if (material == nullptr)
            continue;
        for (TZAVMaterialChannel* channel : material->ArbChannels)
            if (channel != nullptr && channel->TextureIndex == index)
                channel->MapFileName = path;
    }
}

// Nothing changes unless the file is written whole.
bool WriteMapFile(TTarnwick_Mesh& mesh, int32_t index, TZAVMaterialMap& map, const std::string& path,
                  TExportFailure failure)
{
    std::string error;
    if (!SaveImageFile(path, map.Pixels, map.Width, map.Height, TZAVImageChannels::RGB, error)) {
        ReportTrace("%s", error.c_str());
        if (failure == TExportFailure::Warning)
            AddWarning("Error saving the file...\n\n%s", path.c_str());
        else
            ShowError(GlobalDialogHost, "Error saving the file...\n\n%s", path.c_str());
        return false;
    }
    PointChannelsAt(mesh, index, map, path);
    return true;
}

// The pixels in memory are current but for the seam padding of what was painted since the last
// fix; only a painted map has a tree, and with it something to pad.
void PrepareForWriting(TTarnwick_Mesh& mesh, TZAVMaterialMap& map)
{
    if (map.Root != nullptr)
        map.FixSeams(mesh);
}

} // namespace

const std::string& TTarnwick_ImageTypeList::CurrentType() const
{
    static const std::string none;
    if (Types.empty())
        return none;
    return Current >= 0 && Current < int32_t(Types.size()) ? Types[size_t(Current)] : Types.front();
}

void BuildImageFilter(std::string& out_filter, const TTarnwick_ImageTypeList& list, const char* description)
{
    out_filter.clear();
    if (description != nullptr && description[0] != '\0') {
        out_filter += description;
        out_filter += '\t';
        for (size_t i = 0; i < list.Types.size(); i++)
            out_filter += (i == 0 ? "*." : ";*.") + list.Types[i];
        out_filter += '\t';
    }
    for (const std::string& type : list.Types)
        out_filter += type + " Files\t*." + type + '\t';
    std::replace(out_filter.begin(), out_filter.end(), '\t', '\0');
}

bool ExportSelectedMap(const TTarnwick_MapExportTarget& target, int32_t index)
{
    if (target.Mesh == nullptr)
        return false;
    TTarnwick_Mesh& mesh = *target.Mesh;
    if (index < 0)
        index = mesh.MaterialMaps.GetCurrent();
    TZAVMaterialMap* map = MaterialMapAt(mesh, index);
    if (map == nullptr) {
        AddWarning("Please select a map");
        return false;
    }
    std::string path;
    if (!ChooseMapFile(target, *map, path))
        return false;
    if (!map->HasPixels()) {
        AddWarning("This map has no pixels");
        return false;
    }
    PrepareForWriting(mesh, *map);
    return WriteMapFile(mesh, index, *map, path, TExportFailure::Warning);
}

int32_t ExportAllMaps(const TTarnwick_MapExportTarget& target)
{
    if (target.Mesh == nullptr)
        return 0;
    TTarnwick_Mesh& mesh = *target.Mesh;
    for (int32_t index = 0; index < mesh.MaterialMaps.Count(); index++)
        if (TZAVMaterialMap* map = MaterialMapAt(mesh, index))
            PrepareForWriting(mesh, *map);
    int32_t written = 0;
    for (int32_t index = 0; index < mesh.MaterialMaps.Count(); index++) {
        TZAVMaterialMap* map = MaterialMapAt(mesh, index);
        std::string path;
        if (map == nullptr || !ChooseMapFile(target, *map, path))
            continue;
        written += WriteMapFile(mesh, index, *map, path, TExportFailure::ErrorBox);
    }
    return written;
}

// Wavefront MTL reading and writing.
#include "mesh/mtl_file.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/file_handle.h"
#include "core/paths.h"
#include "core/report.h"
#include "core/safe_file.h"
#include "core/status.h"
#include "core/text_block.h"
#include "core/text_line.h"
#include "core/text_scan.h"

namespace {

// "mtllib" may name several libraries, with blanks inside a name escaped as "\ ".
std::vector<std::string> LibraryNames(std::string_view text)
{
    std::vector<std::string> names;
    std::string name;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == ' ' || text[i + 1] == '\t')) {
            name.push_back(text[++i]);
        } else if (text[i] == ' ' || text[i] == '\t') {
            if (!name.empty())
                names.push_back(std::move(name));
            name.clear();
        } else {
            name.push_back(text[i]);
        }
    }
    if (!name.empty())
        names.push_back(std::move(name));
    return names;
}

void SetChannelColor(TZAVMaterial* material, const char* channel_name, const float color[3])
{
    if (TZAVMaterialChannel* channel = material->FindChannel(channel_name))
        std::copy_n(color, 3, channel->Colors[0]);
}

void ReadLibrary(TZAVPolyMesh& mesh, const std::string& path, TZAVMtlReadForm form)
{
    TZAVFileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        AddWarning("The material library %s cannot be opened", path.c_str());
        return;
    }
    const std::string mtl_folder = FolderOf(path);
    std::vector<TZAVMaterial*> targets;
    std::string line_text;
    int32_t line_number = 0;
    int32_t bad_count = 0;
    int32_t first_bad = 0;
    auto note_bad = [&]() {
        if (bad_count++ == 0)
            first_bad = line_number;
    };
    while (ReadTextLine(line_text, file.get())) {
        line_number++;
        std::string_view line = TrimBlanks(line_text);
        size_t keyword_end = std::min(line.size(), line.find_first_of(" \t"));
        std::string_view keyword = line.substr(0, keyword_end);
        std::string_view rest = TrimBlanks(line.substr(keyword_end));
        if (SameTextNoCase(keyword, "newmtl")) {
            targets.clear();
            for (TZAVMaterial* material : mesh.Materials) {
                if (!SameTextNoCase(material->Name, rest))
                    continue;
                targets.push_back(material);
                if (form == TZAVMtlReadForm::FirstMatch)
                    break;
            }
            continue;
        }
        // All numbers of a line or none: a short line changes no value.
        float values[3];
        if (SameTextNoCase(keyword, "Ns")) {
            if (ParseFloatList(rest, values, 1) != 1) {
                note_bad();
                continue;
            }
            for (TZAVMaterial* material : targets)
                if (TZAVMaterialChannel* glossy = material->FindChannel("Glossy"))
                    glossy->Strength = values[0] / 100.0f;
        } else if (SameTextNoCase(keyword, "Ka") || SameTextNoCase(keyword, "Kd") || SameTextNoCase(keyword, "Ks")) {
            if (ParseFloatList(rest, values, 3) != 3) {
                note_bad();
                continue;
            }
            const char* channel = SameTextNoCase(keyword, "Ka")   ? "Ambient"
                                  : SameTextNoCase(keyword, "Kd") ? "Color"
                                                         : "Specular";
            for (TZAVMaterial* material : targets)
                SetChannelColor(material, channel, values);
        } else if (SameTextNoCase(keyword, "map_Kd") || SameTextNoCase(keyword, "map_Bump")) {
            const char* channel_name = SameTextNoCase(keyword, "map_Kd") ? "Color" : "Bump";
            for (TZAVMaterial* material : targets)
                if (TZAVMaterialChannel* channel = material->FindChannel(channel_name))
                    channel->MapFileName.assign(rest);
            std::string found;
            if (!targets.empty() && !FindFileBeside(std::string(rest), mtl_folder, found))
                AddWarning("The texture \"%.*s\" named in %s (line %d) was not found",
                           static_cast<int>(rest.size()), rest.data(), path.c_str(), line_number);
        }
    }
    if (bad_count > 0)
        AddWarning("%s: %d line(s) could not be read; the first is line %d", path.c_str(), bad_count,
                   first_bad);
}

} // namespace

std::string MtlPathFor(const std::string& obj_path)
{
    return WithoutExtension(obj_path) + ".mtl";
}

void ReadMTL(TZAVPolyMesh& mesh, const std::string& obj_path, TZAVMtlReadForm form)
{
    if (mesh.MtlLibName.empty())
        return;
    const std::string folder = FolderOf(obj_path);
    // A name of plain blanks is taken whole when a file of that name exists, as files from some
    // writers need.
    std::string path;
    if (FindFileBeside(mesh.MtlLibName, folder, path)) {
        ReadLibrary(mesh, path, form);
        return;
    }
    for (const std::string& name : LibraryNames(mesh.MtlLibName)) {
        if (FindFileBeside(name, folder, path))
            ReadLibrary(mesh, path, form);
        else
            AddWarning("The material library \"%s\" named in %s was not found", name.c_str(),
                       obj_path.c_str());
    }
}

bool WriteMTL(const TZAVPolyMesh& mesh, const std::string& path, std::string& out_error)
{
    TZAVSafeFileWriter writer(path);
    FILE* file = writer.Open();
    if (file == nullptr) {
        out_error = "Error creating the file " + path + ": " + writer.Error();
        return false;
    }
    for (const TZAVMaterial* material : mesh.Materials) {
        std::fprintf(file, "newmtl %s\n", material->Name.c_str());
        if (const TZAVMaterialChannel* glossy = material->FindChannel("Glossy"))
            std::fprintf(file, "Ns %.0f\n", static_cast<double>(glossy->Strength) * 100.0);
        static constexpr const char* Colors[][2] = {{"Ka", "Ambient"}, {"Kd", "Color"}, {"Ks", "Specular"}};
        for (const auto& [keyword, channel_name] : Colors)
            if (const TZAVMaterialChannel* channel = material->FindChannel(channel_name))
                std::fprintf(file, "%s %.6f %.6f %.6f\n", keyword, static_cast<double>(channel->Colors[0][0]),
                             static_cast<double>(channel->Colors[0][1]),
                             static_cast<double>(channel->Colors[0][2]));
        static constexpr const char* Maps[][2] = {{"map_Kd", "Color"}, {"map_Bump", "Bump"}};
        for (const auto& [keyword, channel_name] : Maps) {
            const TZAVMaterialChannel* channel = material->FindChannel(channel_name);
            if (channel != nullptr && !channel->MapFileName.empty())
                std::fprintf(file, "%s %s\n", keyword, NameOf(channel->MapFileName).c_str());
        }
    }
    if (!writer.Commit()) {
        out_error = writer.Error();
        return false;
    }
    return true;
}

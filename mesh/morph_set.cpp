// Morph set files.
#include "mesh/morph_set.h"

#include <cmath>
#include <cstdlib>

#include "core/file_handle.h"
#include "core/report.h"
#include "core/safe_file.h"
#include "core/text_block.h"
#include "core/tree_group.h"
#include "mesh/sculpt_mesh.h"

namespace {

constexpr const char* MorphKey = "morph";

// The whole value as one whole number; strict, unlike the atoi-like readers of item blocks.
bool ParseInteger(std::string_view text, int32_t& out)
{
    const std::string copy(text);
    char* end = nullptr;
    const long value = std::strtol(copy.c_str(), &end, 10);
    out = int32_t(value);
    return !copy.empty() && *end == '\0' && value >= INT32_MIN && value <= INT32_MAX;
}

// count finite numbers after an optional whole number, and nothing else.
bool ParseNumbers(std::string_view text, int32_t* out_index, float* out_values, int32_t count)
{
    const std::string copy(text);
    const char* at = copy.c_str();
    char* end = nullptr;
    if (out_index != nullptr) {
        const long value = std::strtol(at, &end, 10);
        if (end == at || value < INT32_MIN || value > INT32_MAX)
            return false;
        *out_index = int32_t(value);
        at = end;
    }
    for (int32_t i = 0; i < count; i++) {
        out_values[i] = std::strtof(at, &end);
        if (end == at || !std::isfinite(out_values[i]))
            return false;
        at = end;
    }
    while (IsBlank(*at))
        at++;
    return *at == '\0';
}

// Reads the lines of one morph block after its "{" up to its "}"; false, with the reader failed,
// at the first line that does not fit.
bool ReadMorphBlock(TZAVTextReader& reader, int32_t vertex_count, TTarnwick_MorphSetEntry& entry)
{
    int32_t delta_count = -1;
    std::string_view line;
    std::string_view key;
    std::string_view value;
    while (reader.ReadTrimmedLine(line)) {
        if (line == "}") {
            if (delta_count < 0 || int32_t(entry.Deltas.size()) != delta_count) {
                reader.Fail("the morph \"%s\" lists %zu displacements, its DeltaCount says %d",
                            entry.Name.c_str(), entry.Deltas.size(), delta_count);
                return false;
            }
            return true;
        }
        SplitKeyValue(line, key, value);
        if (SameTextNoCase(key, "Strength")) {
            if (!ParseNumbers(value, nullptr, &entry.Strength, 1)) {
                reader.Fail("the strength is not a number");
                return false;
            }
        } else if (SameTextNoCase(key, "DeltaCount")) {
            if (delta_count >= 0 || !ParseInteger(value, delta_count) || delta_count < 0 ||
                delta_count > vertex_count) {
                reader.Fail("the displacement count must be given once, from 0 to the vertex count %d",
                            vertex_count);
                return false;
            }
            entry.Deltas.reserve(size_t(delta_count));
        } else if (SameTextNoCase(key, "d")) {
            TTarnwick_MorphDelta delta{};
            if (delta_count < 0 || int32_t(entry.Deltas.size()) >= delta_count) {
                reader.Fail("a displacement beyond the DeltaCount");
                return false;
            }
            if (!ParseNumbers(value, &delta.Index, delta.Value, 3)) {
                reader.Fail("a displacement is a vertex and three numbers");
                return false;
            }
            const int32_t previous = entry.Deltas.empty() ? -1 : entry.Deltas.back().Index;
            if (delta.Index <= previous || delta.Index >= vertex_count) {
                reader.Fail("the vertex %d is out of order or beyond the vertex count %d", delta.Index,
                            vertex_count);
                return false;
            }
            entry.Deltas.push_back(delta);
        } else {
            reader.Fail("unknown line \"%.*s\" in a morph", int(key.size()), key.data());
            return false;
        }
    }
    reader.Fail("the file ends inside the morph \"%s\"", entry.Name.c_str());
    return false;
}

bool WriteMorphBlock(FILE* file, int32_t vertex_count, TTarnwick_Morph& morph)
{
    std::vector<TTarnwick_MorphDelta> deltas;
    int32_t index = -1;
    float delta[3];
    for (bool more = morph.GetFirstDelta(index, delta); more; more = morph.GetNextDelta(index, delta))
        if (index >= 0 && index < vertex_count && (delta[0] != 0 || delta[1] != 0 || delta[2] != 0))
            deltas.push_back({index, {delta[0], delta[1], delta[2]}});
    TStartTextFileBlock block(file, MorphKey, morph.Name);
    bool written = block.Good() && WriteTextFloat(file, "Strength", morph.Strength) &&
                   WriteTextInt(file, "DeltaCount", int32_t(deltas.size()));
    // Nine digits give each float back exactly.
    for (size_t i = 0; written && i < deltas.size(); i++)
        written = WriteTextLine(file, "d",
                                FormatText("%d %.9g %.9g %.9g", deltas[i].Index, double(deltas[i].Value[0]),
                                           double(deltas[i].Value[1]), double(deltas[i].Value[2])));
    return block.Close() && written;
}

} // namespace

bool ReadMorphSet(const std::string& path, int32_t vertex_count,
                  std::vector<TTarnwick_MorphSetEntry>& out_entries, std::string& out_problem)
{
    TZAVFileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        out_problem = "Cannot open the file " + path;
        return false;
    }
    TZAVTextReader reader(file.get(), path);
    reader.HoldFailures(true);
    std::vector<TTarnwick_MorphSetEntry> entries;
    bool counted = false;
    std::string_view line;
    std::string_view key;
    std::string_view value;
    while (!reader.Failed() && reader.ReadTrimmedLine(line)) {
        SplitKeyValue(line, key, value);
        if (key.empty())
            continue;
        if (SameTextNoCase(key, "VertexCount")) {
            int32_t count = -1;
            if (counted || !ParseInteger(value, count))
                reader.Fail("the vertex count must be given once, as a whole number");
            else if (count != vertex_count)
                reader.Fail("the morph set was made for a figure of %d vertices, this one has %d", count,
                            vertex_count);
            counted = true;
        } else if (!counted) {
            reader.Fail("the vertex count must come first");
        } else if (SameTextNoCase(key, MorphKey)) {
            TTarnwick_MorphSetEntry entry;
            entry.Name = std::string(value);
            std::string_view open;
            if (entry.Name.empty())
                reader.Fail("a morph needs a name");
            else if (!reader.ReadTrimmedLine(open) || open != "{")
                reader.Fail("a morph's lines must follow in a block");
            else if (ReadMorphBlock(reader, vertex_count, entry))
                entries.push_back(std::move(entry));
        } else {
            reader.Fail("unknown line \"%.*s\"", int(key.size()), key.data());
        }
    }
    if (!reader.Failed() && !counted)
        reader.Fail("the file holds no vertex count");
    if (reader.Failed()) {
        out_problem = reader.Error();
        return false;
    }
    out_entries = std::move(entries);
    return true;
}

bool WriteMorphSet(const std::string& path, int32_t vertex_count, std::span<TTarnwick_Morph* const> morphs,
                   std::string& out_problem)
{
    TZAVSafeFileWriter writer(path);
    FILE* file = writer.Open();
    if (file == nullptr) {
        out_problem = "Cannot create the file " + path + ": " + writer.Error();
        return false;
    }
    TTextBlockLevelScope level;
    bool written = WriteTextInt(file, "VertexCount", vertex_count);
    for (size_t i = 0; written && i < morphs.size(); i++)
        written = WriteMorphBlock(file, vertex_count, *morphs[i]);
    // Commit even after a failed write: it names the cause.
    if (!writer.Commit() || !written) {
        out_problem = "Error writing the file " + path + ": " +
                      (writer.Error().empty() ? std::string("the write failed") : writer.Error());
        return false;
    }
    return true;
}

TTarnwick_Morph* MorphReplacedBy(TTarnwick_Mesh& mesh, const TTarnwick_MorphSetEntry& entry)
{
    for (TTarnwick_Morph* morph : TreeItemsOf<TTarnwick_Morph>(mesh.MorphTree.get(), false))
        if (morph->Name == entry.Name && !morph->ReadOnly)
            return morph;
    return nullptr;
}

std::vector<TTarnwick_Morph*> ApplyMorphSet(TTarnwick_Mesh& mesh,
                                            const std::vector<TTarnwick_MorphSetEntry>& entries)
{
    std::vector<TTarnwick_Morph*> set;
    for (const TTarnwick_MorphSetEntry& entry : entries) {
        TTarnwick_Morph* morph = MorphReplacedBy(mesh, entry);
        if (morph == nullptr) {
            morph = mesh.NewMorph(-1);
            morph->SetNameLiteral(entry.Name);
        }
        TTarnwick_Morph values(mesh.GetVertexCount(), entry.Deltas);
        // Copying would make the temporary the morph's source.
        const int32_t source = morph->SourceID;
        morph->Copy(&values);
        morph->SourceID = source;
        morph->Strength = entry.Strength;
        set.push_back(morph);
    }
    mesh.ResolveVertices();
    mesh.ComputeNormals(TZAVNormalScope::All);
    return set;
}

TTarnwick_Morph* FindMorphNamed(TTarnwick_Mesh& mesh, const std::string& name)
{
    for (TTarnwick_Morph* morph : TreeItemsOf<TTarnwick_Morph>(mesh.MorphTree.get()))
        if (morph->Name == name)
            return morph;
    return nullptr;
}

std::vector<TTarnwick_Morph*> UserMorphs(TTarnwick_Mesh& mesh)
{
    return TreeItemsOf<TTarnwick_Morph>(mesh.MorphTree.get(), false);
}

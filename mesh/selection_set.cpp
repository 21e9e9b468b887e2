// Selection set files.
#include "mesh/selection_set.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/safe_file.h"
#include "core/text_scan.h"
#include "core/tree_group.h"
#include "mesh/sculpt_mesh.h"
#include "mesh/selection.h"

namespace {

// All of the line after its first word, without the blanks around: names may hold spaces.
std::string RestOfLine(const std::string& line)
{
    const size_t start = line.find_first_not_of(" \t");
    size_t after = start == std::string::npos ? std::string::npos : line.find_first_of(" \t", start);
    after = after == std::string::npos ? after : line.find_first_not_of(" \t\r", after);
    if (after == std::string::npos)
        return {};
    const size_t end = line.find_last_not_of(" \t\r");
    return line.substr(after, end + 1 - after);
}

// A name as one line: line ends would start a new line of the file.
std::string OneLine(const std::string& name)
{
    std::string line = name;
    for (char& c : line)
        if (c == '\n' || c == '\r')
            c = ' ';
    const size_t start = line.find_first_not_of(" \t");
    return start == std::string::npos ? std::string("Selection") : line.substr(start);
}

} // namespace

bool ReadSelectionSet(const std::string& path, int32_t vertex_count,
                      std::vector<TTarnwick_SelectionSetEntry>& out_entries, std::string& out_problem)
{
    std::ifstream file(path);
    if (!file) {
        out_problem = "Cannot open the file " + path;
        return false;
    }
    std::vector<TTarnwick_SelectionSetEntry> entries;
    int32_t file_vertex_count = -1;
    int32_t line_number = 0;
    auto fail = [&](const char* what) {
        out_problem = path + " (line " + std::to_string(line_number) + "): " + what;
        return false;
    };
    for (std::string line; std::getline(file, line);) {
        line_number++;
        std::istringstream stream(line);
        std::vector<std::string> words;
        for (std::string word; stream >> word;)
            words.push_back(word);
        if (words.empty() || words[0][0] == '#')
            continue;
        if (words[0] == "VertexCount") {
            if (words.size() < 2 || !ParseInt32Word(words[1], file_vertex_count) ||
                file_vertex_count != vertex_count)
                return fail("the selection set was made for a figure of another vertex count");
        } else if (words[0] == "Selection") {
            if (file_vertex_count < 0)
                return fail("the vertex count must come first");
            if (words.size() < 2)
                return fail("a selection needs a name");
            entries.push_back({RestOfLine(line), {}});
        } else {
            int32_t vertex = -1;
            float weight = 0;
            if (entries.empty())
                return fail("a weight before any selection");
            if (words.size() != 2 || !ParseInt32Word(words[0], vertex) || !ParseFloatWord(words[1], weight))
                return fail("a weight line is a vertex and a weight");
            if (vertex < 0 || vertex >= file_vertex_count || weight < 0 || weight > 1)
                return fail("the vertex or the weight is out of range");
            entries.back().Weights.emplace_back(vertex, weight);
        }
    }
    out_entries = std::move(entries);
    return true;
}

void ApplySelectionSet(TTarnwick_Mesh& mesh, const std::vector<TTarnwick_SelectionSetEntry>& entries)
{
    for (const TTarnwick_SelectionSetEntry& entry : entries) {
        TTarnwick_Selection* selection = FindSelectionNamed(mesh, entry.Name);
        if (selection == nullptr) {
            selection = mesh.NewSelection(-1);
            selection->SetNameLiteral(entry.Name);
        }
        selection->Clear();
        for (const auto& [vertex, weight] : entry.Weights)
            selection->SetVSelect(vertex, weight);
    }
    mesh.SelectionDisplayStale = true;
}

bool ImportSelectionSet(TTarnwick_Mesh& mesh, const std::string& path, std::string& out_problem)
{
    std::vector<TTarnwick_SelectionSetEntry> entries;
    if (!ReadSelectionSet(path, mesh.GetVertexCount(), entries, out_problem))
        return false;
    ApplySelectionSet(mesh, entries);
    return true;
}

bool WriteSelectionSet(const std::string& path, int32_t vertex_count,
                       std::span<TTarnwick_Selection* const> selections, std::string& out_problem)
{
    TZAVSafeFileWriter writer(path);
    FILE* file = writer.Open();
    if (file == nullptr) {
        out_problem = "Cannot create the file " + path + ": " + writer.Error();
        return false;
    }
    bool written = std::fprintf(file, "VertexCount %d\n", vertex_count) > 0;
    for (TTarnwick_Selection* selection : selections) {
        written = written && std::fprintf(file, "Selection %s\n", OneLine(selection->Name).c_str()) > 0;
        int32_t vertex = -1;
        float weight = 0;
        for (bool more = selection->GetFirstValue(vertex, weight); written && more;
             more = selection->GetNextValue(vertex, weight))
            // Nine digits give the float back exactly.
            if (weight > 0 && vertex < vertex_count)
                written = std::fprintf(file, "%d %.9g\n", vertex, double(std::min(weight, 1.0f))) > 0;
    }
    // Commit even after a failed write: it names the cause.
    if (!writer.Commit() || !written) {
        out_problem = "Error writing the file " + path + ": " +
                      (writer.Error().empty() ? std::string("the write failed") : writer.Error());
        return false;
    }
    return true;
}

TTarnwick_Selection* FindSelectionNamed(TTarnwick_Mesh& mesh, const std::string& name)
{
    for (TTarnwick_Selection* selection : TreeItemsOf<TTarnwick_Selection>(mesh.SelectionTree.get()))
        if (selection->Name == name)
            return selection;
    return nullptr;
}

std::vector<TTarnwick_Selection*> UserSelections(TTarnwick_Mesh& mesh)
{
    return TreeItemsOf<TTarnwick_Selection>(mesh.SelectionTree.get(), false);
}

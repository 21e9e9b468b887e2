// The head template: its definitions and values files, the evaluation of its transforms.
//
// [SECTION] Helpers
// [SECTION] Transform types
// [SECTION] Definitions file
// [SECTION] Values file and values
#include "tools/head_molder_template.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/report.h"
#include "core/safe_file.h"
#include "core/status.h"
#include "core/text_scan.h"
#include "files/language.h"
#include "mesh/sculpt_mesh.h"

// [SECTION] Helpers

namespace {

std::string AtLine(const std::string& path, int32_t line, const char* what)
{
    return path + " (line " + std::to_string(line) + "): " + what;
}

// Calls visit(line, words, fail) for every line that holds words, in order; fail(what) sets the
// problem, naming the file and the line, and gives false for visit to return. False, with the
// problem, when the file cannot be opened or visit returns false.
template <typename TVisit> bool ForEachWordLine(const std::string& path, std::string& out_problem, TVisit visit)
{
    std::ifstream file(path);
    if (!file) {
        out_problem = "Cannot open the file " + path;
        return false;
    }
    int32_t line_number = 0;
    for (std::string line; std::getline(file, line);) {
        line_number++;
        const std::vector<std::string> words = TemplateLineWords(line);
        if (words.empty())
            continue;
        auto fail = [&](const std::string& what) {
            out_problem = AtLine(path, line_number, what.c_str());
            return false;
        };
        if (!visit(line, words, fail))
            return false;
    }
    return true;
}

} // namespace

std::vector<std::string> TemplateLineWords(const std::string& line)
{
    std::vector<std::string> words;
    std::istringstream stream(line);
    for (std::string word; stream >> word;)
        words.push_back(word);
    return words;
}

// The rest of the line after its first word, without surrounding blanks: names may hold spaces.
std::string TemplateLineArgument(const std::string& line)
{
    const size_t start = line.find_first_not_of(" \t");
    size_t after = start == std::string::npos ? std::string::npos : line.find_first_of(" \t", start);
    if (after == std::string::npos)
        return {};
    after = line.find_first_not_of(" \t", after);
    if (after == std::string::npos)
        return {};
    const size_t end = line.find_last_not_of(" \t\r");
    return line.substr(after, end + 1 - after);
}

// [SECTION] Transform types

namespace {

struct TTypeInfo
{
    const char* Keyword;
    const char* DisplayName;
    float ScaleFactor;
    float Lower;
    float Upper;
    float Default;
    int32_t Components;
};

// Indexed by type - 1. Flatten's display name comes from the language file.
constexpr TTypeInfo TypeTable[] = {
    {"Translate", "Move", 50.0f, -1.0f, 1.0f, 0.0f, 3},
    {"Bulge", "Bulge", 1.0f, -1.0f, 1.0f, 0.0f, 3},
    {"Scale", "Scale", 1.0f, 0.5f, 2.0f, 1.0f, 3},
    {"Rotate", "Rotate", 1.0f, -90.0f, 90.0f, 0.0f, 3},
    {"Smooth", "Smooth", 1.0f, 0.0f, 20.0f, 0.0f, 1},
    {"ArtifactRemoval", "Artifact Removal", 1.0f, 0.0f, 10.0f, 0.0f, 1},
    {"Flatten", nullptr, 1.0f, 0.0f, 1.0f, 0.0f, 1},
};
constexpr int32_t FlattenNameEntry = 673;

const TTypeInfo& InfoOf(TTarnwick_HeadTransformType type)
{
    return TypeTable[int32_t(type) - 1];
}

} // namespace

TTarnwick_HeadMolderTransform::TTarnwick_HeadMolderTransform(TTarnwick_HeadTransformType type) : Type(type)
{
    const TTypeInfo& info = InfoOf(type);
    SetNameLiteral(info.Keyword);
    DisplayName = info.DisplayName != nullptr ? info.DisplayName : GetLanguageString(FlattenNameEntry);
    ScaleFactor = info.ScaleFactor;
    ComponentCount = info.Components;
    for (int32_t k = 0; k < 3; k++) {
        LowerLimit[k] = info.Lower;
        UpperLimit[k] = info.Upper;
        Default[k] = info.Default;
        Value[k] = info.Default;
    }
}

// [SECTION] Definitions file

bool TTarnwick_HeadMolderTemplate::LoadDefinitions(const std::string& path, std::string& out_problem)
{
    TTarnwick_HeadMolderCategory* category = nullptr;
    TTarnwick_HeadMolderSection* section = nullptr;
    TTarnwick_HeadMolderTransform* transform = nullptr;
    return ForEachWordLine(path, out_problem, [&](const std::string& line, const std::vector<std::string>& words,
                                                  auto fail) {
        const std::string& keyword = words[0];
        if (keyword == "Category") {
            if (words.size() < 2)
                return fail("a category needs a name");
            Categories.push_back(std::make_unique<TTarnwick_HeadMolderCategory>());
            category = Categories.back().get();
            category->SetNameLiteral(TemplateLineArgument(line));
            section = nullptr;
            transform = nullptr;
        } else if (keyword == "hidden") {
            if (category == nullptr)
                return fail("\"hidden\" before any category");
            category->Hidden = true;
        } else if (keyword == "Section") {
            if (category == nullptr)
                return fail("a section before any category");
            if (words.size() < 2)
                return fail("a section needs a name");
            category->Sections.push_back(std::make_unique<TTarnwick_HeadMolderSection>());
            section = category->Sections.back().get();
            section->SetNameLiteral(TemplateLineArgument(line));
            transform = nullptr;
        } else if (keyword == "optional") {
            if (section == nullptr)
                return fail("\"optional\" before any section");
            section->Optional = true;
        } else if (keyword == "Transform") {
            if (section == nullptr)
                return fail("a transform before any section");
            if (words.size() <= 7)
                return fail("a transform needs a type and six numbers");
            int32_t type = 0;
            for (int32_t t = 1; t <= 7; t++)
                if (words[1] == TypeTable[t - 1].Keyword)
                    type = t;
            if (type == 0)
                return fail("Unrecognized transform " + words[1]);
            auto made = std::make_unique<TTarnwick_HeadMolderTransform>(TTarnwick_HeadTransformType(type));
            float numbers[6];
            for (int32_t i = 0; i < 6; i++)
                if (!ParseFloatWord(words[2 + i], numbers[i]))
                    return fail("\"" + words[2 + i] + "\" is no number");
            for (int32_t k = 0; k < 3; k++) {
                made->Min[k] = numbers[k] * made->ScaleFactor;
                made->Max[k] = numbers[3 + k] * made->ScaleFactor;
            }
            made->Section = section;
            section->Transforms.push_back(std::move(made));
            transform = section->Transforms.back().get();
        } else if (keyword == "Symmetry") {
            int32_t axis = 0;
            if (transform == nullptr)
                return fail("a symmetry axis before any transform");
            if (words.size() < 2 || !ParseInt32Word(words[1], axis) || axis < -1 || axis > 2)
                return fail("a symmetry axis is -1, 0, 1 or 2");
            transform->SymmetryAxis = axis;
        } else if (keyword == "Exponent") {
            float exponent = 0;
            if (transform == nullptr)
                return fail("an exponent before any transform");
            if (words.size() < 2 || !ParseFloatWord(words[1], exponent) || !(exponent > 0))
                return fail("an exponent is a number above 0");
            transform->Exponent = exponent;
        }
        return true;
    });
}

// [SECTION] Values file and values

bool TTarnwick_HeadMolderTemplate::SaveValues(const std::string& path) const
{
    TZAVSafeFileWriter writer(path);
    FILE* file = writer.Open();
    if (file == nullptr)
        return false;
    for (const auto& category : Categories) {
        std::fprintf(file, "Category %s\n", category->Name.c_str());
        for (const auto& section : category->Sections) {
            std::fprintf(file, "Section %s\n", section->Name.c_str());
            for (const auto& transform : section->Transforms) {
                std::fprintf(file, "Transform %s\n", transform->Name.c_str());
                const float* values = transform->Random ? transform->RandomFactor : transform->Default;
                std::fprintf(file, "%s %.8f %.8f %.8f\n", transform->Random ? "RandomFactor" : "Value",
                             double(values[0]), double(values[1]), double(values[2]));
            }
        }
    }
    return writer.Commit();
}

bool TTarnwick_HeadMolderTemplate::LoadValues(const std::string& path, std::string& out_problem)
{
    TTarnwick_HeadMolderCategory* category = nullptr;
    TTarnwick_HeadMolderSection* section = nullptr;
    TTarnwick_HeadMolderTransform* transform = nullptr;
    // Transforms of one type in a section are matched in their order.
    size_t next_transform = 0;
    return ForEachWordLine(path, out_problem, [&](const std::string& line, const std::vector<std::string>& words,
                                                  auto fail) {
        const std::string name = TemplateLineArgument(line);
        if (words[0] == "Category") {
            category = nullptr;
            for (const auto& candidate : Categories)
                if (candidate->Name == name)
                    category = candidate.get();
            if (category == nullptr)
                ReportTrace("Category == NULL");
            section = nullptr;
            transform = nullptr;
        } else if (words[0] == "Section") {
            section = nullptr;
            if (category != nullptr)
                for (const auto& candidate : category->Sections)
                    if (candidate->Name == name)
                        section = candidate.get();
            if (section == nullptr)
                ReportTrace("Section == NULL");
            transform = nullptr;
            next_transform = 0;
        } else if (words[0] == "Transform") {
            transform = nullptr;
            if (section != nullptr)
                for (size_t i = next_transform; i < section->Transforms.size() && transform == nullptr; i++)
                    if (section->Transforms[i]->Name == name) {
                        transform = section->Transforms[i].get();
                        next_transform = i + 1;
                    }
            if (transform == nullptr)
                ReportTrace("Transform == NULL");
        } else if (words[0] == "RandomFactor" || words[0] == "Value") {
            float numbers[3];
            if (words.size() < 4)
                return fail("three numbers are needed");
            for (int32_t k = 0; k < 3; k++)
                if (!ParseFloatWord(words[1 + k], numbers[k]))
                    return fail("a value is no number");
            if (transform == nullptr)
                return true;
            const bool random = words[0] == "RandomFactor";
            std::copy_n(numbers, 3, random ? transform->RandomFactor : transform->Default);
            transform->Random = random;
        }
        return true;
    });
}

void TTarnwick_HeadMolderTemplate::Randomise(std::mt19937& random)
{
    ForEachTransform([&](auto&, auto&, TTarnwick_HeadMolderTransform& transform) {
        for (float& factor : transform.RandomFactor)
            factor = float(random() % 1000) / 1000.0f;
        transform.Random = true;
    });
}

void TTarnwick_HeadMolderTemplate::Reset()
{
    ForEachTransform([](auto&, auto&, TTarnwick_HeadMolderTransform& transform) {
        std::copy_n(transform.Default, 3, transform.Value);
        transform.Random = false;
    });
}

void TTarnwick_HeadMolderTemplate::Evaluate()
{
    ForEachTransform(
        [&](const TTarnwick_HeadMolderCategory& category, auto&, TTarnwick_HeadMolderTransform& t) {
            for (int32_t i = 0; i < 3; i++) {
                if (!t.Random) {
                    t.Value[i] = t.Default[i];
                    continue;
                }
                const float v = t.Min[i] + (t.Max[i] - t.Min[i]) * std::pow(t.RandomFactor[i], t.Exponent);
                t.Value[i] = t.Default[i] + (v - t.Default[i]) * category.Factor * Strength;
            }
            if (t.SymmetryAxis >= 0)
                return;
            // A section that is not mirrored moves off the middle only as far as symmetry allows.
            const float keep = 1.0f - SymmetryAmount;
            if (t.Type == TTarnwick_HeadTransformType::Move)
                t.Value[0] *= keep;
            if (t.Type == TTarnwick_HeadTransformType::Rotate) {
                t.Value[1] *= keep;
                t.Value[2] *= keep;
            }
        });
}

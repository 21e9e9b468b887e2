// The head template of the head template tool: categories of sections, each section working on
// the selection of its own name with transforms (move, bulge, scale, rotate, smooth, artifact
// removal, flatten) whose values come from sliders or from randomising.
//
// Files (text, one keyword and its arguments per line; see data/head/README.md):
//   definitions   Category / hidden / Section / optional / Transform / Symmetry / Exponent
//   values        Category / Section / Transform, then RandomFactor or Value per transform
//   selection set mesh/selection_set.h
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/thingy.h"
#include "mesh/morph_set.h"
#include "mesh/selection_set.h"

class TTarnwick_Mesh;
class TTarnwick_Morph;
class TTarnwick_Selection;

enum class TTarnwick_HeadTransformType : int32_t
{
    Move = 1,
    Bulge = 2,
    Scale = 3,
    Rotate = 4,
    Smooth = 5,
    ArtifactRemoval = 6,
    Flatten = 7,
};

class TTarnwick_HeadMolderSection;

class TTarnwick_HeadMolderTransform : public TTarnwick_Thingy
{
public:
    // The display name, the scale factor, the slider bounds and the default of the type.
    explicit TTarnwick_HeadMolderTransform(TTarnwick_HeadTransformType type);

    TTarnwick_HeadTransformType Type;
    std::string DisplayName;
    float RandomFactor[3] = {0, 0, 0};
    // The value comes from RandomFactor; otherwise it is Default.
    bool Random = false;
    float Min[3] = {0, 0, 0};
    float Max[3] = {0, 0, 0};
    float LowerLimit[3] = {0, 0, 0};
    float UpperLimit[3] = {0, 0, 0};
    float Default[3] = {0, 0, 0};
    // -1: none; else the axis across which the section's two sides mirror each other.
    int32_t SymmetryAxis = -1;
    float Value[3] = {0, 0, 0};
    float Exponent = 1.0f;
    // Value / ScaleFactor is what the deformers receive.
    float ScaleFactor = 1.0f;
    // The types that use one component only show one slider.
    int32_t ComponentCount = 3;
    TTarnwick_HeadMolderSection* Section = nullptr;
};

class TTarnwick_HeadMolderSection : public TTarnwick_Thingy
{
public:
    // A missing selection of an optional section is skipped without a word.
    bool Optional = false;
    std::vector<std::unique_ptr<TTarnwick_HeadMolderTransform>> Transforms;
};

class TTarnwick_HeadMolderCategory : public TTarnwick_Thingy
{
public:
    bool Hidden = false;
    float Factor = 1.0f;
    std::vector<std::unique_ptr<TTarnwick_HeadMolderSection>> Sections;
};

class TTarnwick_HeadMolderTemplate : public TTarnwick_Thingy
{
public:
    // Reads a definitions file into this (empty) template; false, with the message naming the file
    // and line, at the first bad line.
    [[nodiscard]] bool LoadDefinitions(const std::string& path, std::string& out_problem);
    // The values of every transform; see the file comment.
    [[nodiscard]] bool SaveValues(const std::string& path) const;
    [[nodiscard]] bool LoadValues(const std::string& path, std::string& out_problem);
    // Every RandomFactor component from random (0 .. 999) / 1000; every transform random.
    void Randomise(std::mt19937& random);
    void Reset();
    // Value of every transform from Default or RandomFactor, the strengths and the symmetry.
    void Evaluate();
    template <typename TVisit> void ForEachTransform(TVisit visit) const
    {
        for (const auto& category : Categories)
            for (const auto& section : category->Sections)
                for (const auto& transform : section->Transforms)
                    visit(*category, *section, *transform);
    }

    std::vector<std::unique_ptr<TTarnwick_HeadMolderCategory>> Categories;
    float SymmetryAmount = 0.5f;
    bool SymmetryFlag = false;
    float Strength = 1.0f;
    float Touchup = 1.0f;
    // A required section found no selection of its name.
    bool Incomplete = false;
};

// Every value a command may change, to put back on undo.
struct TTarnwick_HeadMolderValues
{
    std::vector<float> Numbers;
    std::vector<uint8_t> Randoms;
};

// The words of a line of these files, and all of it after its first word without the blanks
// around (names may hold spaces).
std::vector<std::string> TemplateLineWords(const std::string& line);
std::string TemplateLineArgument(const std::string& line);

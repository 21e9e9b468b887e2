// TTarnwick_HeadMolder: shapes a figure's head from a template of named regions. The template
// divides the head into categories and sections; each section works on the selection of its own
// name and carries transforms (move, bulge, scale, rotate, smooth, artifact removal, flatten)
// whose values come from sliders or from "Random Head". Every command rebuilds the current morph
// from all transforms, with the deformers as per-vertex operators.
//
// Files (text, one keyword and its arguments per line; see data/head/README.md):
//   definitions   Category / hidden / Section / optional / Transform / Symmetry / Exponent
//   values        Category / Section / Transform, then RandomFactor or Value per transform
//   selection set VertexCount, then Selection <name> and "<vertex> <weight>" lines
//
// [SECTION] The template
// [SECTION] Hooks
// [SECTION] TTarnwick_HeadMolder
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/thingy.h"
#include "tools/deformer.h"

class TTarnwick_Mesh;
class TTarnwick_Selection;

// [SECTION] The template

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

// Reads a selection set file into the mesh: each named selection is replaced or made. False, with
// the message naming the file and line, when the file does not fit the mesh; the mesh is then
// unchanged.
[[nodiscard]] bool ImportSelectionSet(TTarnwick_Mesh& mesh, const std::string& path,
                                      std::string& out_problem);
// The selection of that name in the mesh's tree, hidden groups included; null when none.
TTarnwick_Selection* FindSelectionNamed(TTarnwick_Mesh& mesh, const std::string& name);
TTarnwick_Morph* FindMorphNamed(TTarnwick_Mesh& mesh, const std::string& name);

// [SECTION] Hooks

class TTarnwick_HeadMolder;

// What the tool needs of the application: it sits below the project and the undo buffer.
struct TTarnwick_HeadMolderHooks
{
    // The mesh the commands work on; null without a current object.
    std::function<TTarnwick_Mesh*()> CurrentMesh;
    // The name the character database knows the current figure by.
    std::function<std::string()> CharacterName;
    // Records the current morph and the tool's values as one action before a command changes them.
    std::function<void(TTarnwick_Mesh& mesh, TTarnwick_HeadMolder& tool)> RecordUndo;
    // A selection set file chosen by the user in folder; false when cancelled.
    std::function<bool(const std::string& folder, std::string& out_path)> ChooseSelectionSet;
};

extern TTarnwick_HeadMolderHooks TarnwickHeadMolderHooks;

// The undo record's hook: puts the tool's values back. Generic over the undo buffer's hook base
// and record, which live in a layer above the tools.
template <typename THookBase, typename TRecord> class TTarnwick_HeadMolderUndo : public THookBase
{
public:
    TTarnwick_HeadMolderUndo(TTarnwick_HeadMolder& tool, TTarnwick_HeadMolderValues values)
        : Tool(tool), Values(std::move(values))
    {
    }
    void OnUndo(TRecord&) override;
    std::unique_ptr<THookBase> CaptureForRedo() override;
    int64_t MemorySize() const override
    {
        return int64_t(Values.Numbers.size() * sizeof(float) + Values.Randoms.size());
    }

private:
    TTarnwick_HeadMolder& Tool;
    TTarnwick_HeadMolderValues Values;
};

// [SECTION] TTarnwick_HeadMolder

// The commands of the panel's buttons.
enum TTarnwick_HeadMolderCommand : int32_t
{
    HeadMolderCommand_Reset = 10000,
    HeadMolderCommand_RandomHead = 10001,
    HeadMolderCommand_Update = 10002,
    HeadMolderCommand_ReloadDefinitions = 10003,
    HeadMolderCommand_CreateEmptySelections = 10005,
    HeadMolderCommand_LoadSelectionSet = 10006,
};

// What every command posts at its end: the figure changed.
constexpr int32_t HeadMolderFigureChangedCommand = 7;
// What an imported selection set posts: the trees changed.
constexpr int32_t HeadMolderTreesChangedCommand = 244;
inline constexpr const char* HeadMolderMorphName = "HeadMolderMorph";

class TTarnwick_HeadMolder : public TTarnwick_Deformer
{
public:
    // Reads "<program_folder>Data/fs01.dat" and builds the panel from it.
    explicit TTarnwick_HeadMolder(const std::string& program_folder);
    ~TTarnwick_HeadMolder() override;

    void ParameterChanged(TTarnwick_Parameter& parameter) override;
    // The tool works through its panel only.
    bool MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button, int32_t state, float x,
                     float y) override;
    bool MouseDrag(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y) override;
    // Loads the character's selection set when the figure lacks the sections' selections.
    void Selected(TTarnwick_Mesh* mesh) override;
    // Sets the tool's morph to strength 0, so the head shows without it while other tools work.
    void Deselected(TTarnwick_Mesh* mesh) override;
    // The panel's commands, on the hooks' current mesh; 1 when the command was the tool's.
    int32_t ToolEvent(TZAVEvent& event) override;

    // Replaces the template by the file's (the panel is rebuilt); false with a message otherwise.
    bool LoadTemplate(const std::string& path);
    void SeedRandom(uint32_t seed) { Random.seed(seed); }
    // The commands, on a given mesh.
    void Update(TTarnwick_Mesh& mesh);
    void RandomHead(TTarnwick_Mesh& mesh);
    void ResetHead(TTarnwick_Mesh& mesh);
    // Rebuilds the current morph from every transform. False (nothing changed) without a morph.
    bool ApplyAll(TTarnwick_Mesh& mesh);
    // An empty selection for every section without one.
    void CreateEmptySelections(TTarnwick_Mesh& mesh);
    // Loads the selection set the character database names for the character; false when none.
    bool SetupCharacter(TTarnwick_Mesh& mesh, const std::string& character);

    TTarnwick_HeadMolderValues CaptureValues() const;
    void RestoreValues(const TTarnwick_HeadMolderValues& values);

    float Symmetry = 0.5f;
    bool SymmetryFlag = false;
    std::unique_ptr<TTarnwick_HeadMolderTemplate> Template;
    uint32_t Word = 0;
    std::string ProgramFolder;

protected:
    // The tool has no stroke of its own.
    void ComputeStep(TTarnwick_Mesh&, float, float) override {}

private:
    class TKinds;

    void BuildPanel();
    // Clears the current morph's displacements and shows the head without them; false without one.
    bool ClearMorph(TTarnwick_Mesh& mesh);
    void ApplySection(TTarnwick_Mesh& mesh, TTarnwick_HeadMolderSection& section,
                      TTarnwick_Selection& selection);
    // Runs a smooth stroke of amount over the weighted vertices into the current morph.
    void SmoothVertices(TTarnwick_Mesh& mesh, TTarnwick_Selection& selection, float amount,
                        bool distance_weighted);
    void RecordUndo(TTarnwick_Mesh& mesh);
    std::string SelectionSetFolder() const;

    std::mt19937 Random;
    std::unique_ptr<TKinds> Kinds;
    // The transform each slider of the panel belongs to; null for the other parameters.
    std::vector<std::pair<TTarnwick_Parameter*, TTarnwick_HeadMolderTransform*>> TransformSliders;
};

template <typename THookBase, typename TRecord>
void TTarnwick_HeadMolderUndo<THookBase, TRecord>::OnUndo(TRecord&)
{
    Tool.RestoreValues(Values);
}

template <typename THookBase, typename TRecord>
std::unique_ptr<THookBase> TTarnwick_HeadMolderUndo<THookBase, TRecord>::CaptureForRedo()
{
    return std::make_unique<TTarnwick_HeadMolderUndo>(Tool, Tool.CaptureValues());
}

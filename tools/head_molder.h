// TTarnwick_HeadMolder: shapes a figure's head from a template of named regions. The template
// divides the head into categories and sections; each section works on the selection of its own
// name and carries transforms (move, bulge, scale, rotate, smooth, artifact removal, flatten)
// whose values come from sliders or from "Random Head". Every command rebuilds the current morph
// from all transforms, with the deformers as per-vertex operators.
// The template itself is in tools/head_molder_template.h.
//
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
#include "tools/head_molder_template.h"

class TTarnwick_Mesh;
class TTarnwick_Selection;

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

// The head template tool: its panel, its commands, its values, and the rebuild of the current
// morph from every transform of every section.
//
// [SECTION] Helpers
// [SECTION] The tool and its panel
// [SECTION] Commands
// [SECTION] Applying the transforms
#include "tools/head_molder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>

#include "core/dialogs.h"
#include "core/event_queue.h"
#include "core/report.h"
#include "core/status.h"
#include "files/language.h"
#include "mesh/morph_set.h"
#include "mesh/sculpt_mesh.h"
#include "mesh/selection_set.h"
#include "tools/deformer_smooth.h"
#include "tools/selection_brush_whole.h"

TTarnwick_HeadMolderHooks TarnwickHeadMolderHooks;

// [SECTION] Helpers

namespace {

constexpr float Negligible = 1e-30f;
constexpr const char* NotSetUpMessage = "This character has not been completely setup for use in HeadMolder.";

// The weighted vertices of a selection, whichever form it has.
void GatherWeights(TTarnwick_Selection& selection, int32_t vertex_count, std::vector<int32_t>& out_vertices,
                   std::vector<float>& out_weights)
{
    out_vertices.clear();
    out_weights.clear();
    int32_t vertex = -1;
    float weight = 0;
    for (bool more = selection.GetFirstValue(vertex, weight); more;
         more = selection.GetNextValue(vertex, weight))
        if (weight > 0 && vertex >= 0 && vertex < vertex_count) {
            out_vertices.push_back(vertex);
            out_weights.push_back(weight);
        }
}

void RunToolEvent(TZAVEvent* event)
{
    if (auto* tool = static_cast<TTarnwick_Tool*>(event->Context))
        tool->ToolEvent(*event);
}

// Rotates v by the Euler angles (degrees) about x, then y, then z.
void RotateEuler(const float angles[3], double v[3])
{
    for (int32_t axis = 0; axis < 3; axis++) {
        const double angle = double(angles[axis]) * std::numbers::pi / 180.0;
        const double cosine = std::cos(angle);
        const double sine = std::sin(angle);
        const int32_t a = (axis + 1) % 3;
        const int32_t b = (axis + 2) % 3;
        const double first = v[a] * cosine - v[b] * sine;
        const double second = v[a] * sine + v[b] * cosine;
        v[a] = first;
        v[b] = second;
    }
}

} // namespace

TTarnwick_HeadMolderValues TTarnwick_HeadMolder::CaptureValues() const
{
    TTarnwick_HeadMolderValues values;
    if (!Template)
        return values;
    values.Numbers = {Symmetry, Template->SymmetryAmount, Template->Strength, Template->Touchup};
    for (const auto& category : Template->Categories)
        values.Numbers.push_back(category->Factor);
    Template->ForEachTransform([&](auto&, auto&, const TTarnwick_HeadMolderTransform& transform) {
        for (const float* part : {transform.RandomFactor, transform.Default, transform.Value})
            values.Numbers.insert(values.Numbers.end(), part, part + 3);
        values.Randoms.push_back(transform.Random);
    });
    return values;
}

void TTarnwick_HeadMolder::RestoreValues(const TTarnwick_HeadMolderValues& values)
{
    // Values of another template (reloaded since) do not fit.
    if (!Template || values.Numbers.size() != CaptureValues().Numbers.size())
        return;
    const float* number = values.Numbers.data();
    Symmetry = *number++;
    Template->SymmetryAmount = *number++;
    Template->Strength = *number++;
    Template->Touchup = *number++;
    for (const auto& category : Template->Categories)
        category->Factor = *number++;
    size_t index = 0;
    Template->ForEachTransform([&](auto&, auto&, TTarnwick_HeadMolderTransform& transform) {
        for (float* part : {transform.RandomFactor, transform.Default, transform.Value}) {
            std::copy_n(number, 3, part);
            number += 3;
        }
        transform.Random = values.Randoms[index++] != 0;
    });
}

// [SECTION] The tool and its panel

namespace {

// A deformer kind used as a per-vertex operator outside any stroke: it reads every vertex where
// the display shows it, and its plane from the selection it is given.
template <typename TKind> class TOperator : public TKind
{
public:
    void Prepare(const TTarnwick_Mesh& mesh, const std::vector<int32_t>& vertices,
                 const std::vector<float>& weights)
    {
        this->PressSlot.assign(size_t(mesh.GetVertexCount()), -1);
        this->SelectedVertices = vertices;
        this->SelectedWeights = weights;
    }
};

} // namespace

class TTarnwick_HeadMolder::TKinds
{
public:
    TOperator<TTarnwick_MoveInPlane> Move;
    TOperator<TTarnwick_Bulge> Bulge;
    TOperator<TTarnwick_Scale> Scale;
    TOperator<TTarnwick_Flatten> Flatten;
    TTarnwick_Smooth Smooth;
};

TTarnwick_HeadMolder::TTarnwick_HeadMolder(const std::string& program_folder)
    : ProgramFolder(program_folder),
      Random(uint32_t(std::chrono::steady_clock::now().time_since_epoch().count())),
      Kinds(std::make_unique<TKinds>())
{
    SetNameLiteral("HeadMolder");
    Flags &= ~uint32_t(0x01 | 0x10 | 0x20 | 0x200);
    LoadTemplate(ProgramFolder + "Data/fs01.dat");
}

TTarnwick_HeadMolder::~TTarnwick_HeadMolder() = default;

bool TTarnwick_HeadMolder::LoadTemplate(const std::string& path)
{
    auto loaded = std::make_unique<TTarnwick_HeadMolderTemplate>();
    std::string problem;
    if (!loaded->LoadDefinitions(path, problem)) {
        AddWarning("%s", problem.c_str());
        return false;
    }
    Template = std::move(loaded);
    Template->SymmetryAmount = Symmetry;
    Template->SymmetryFlag = SymmetryFlag;
    BuildPanel();
    return true;
}

void TTarnwick_HeadMolder::BuildPanel()
{
    Parameters.Clear();
    TransformSliders.clear();
    auto add = [&](TTarnwick_ParameterType type, const std::string& label, int32_t event = -1) {
        TTarnwick_Parameter* parameter = AddParameter(type, -1, -1, event);
        parameter->SetNameLiteral(label);
        if (type == TTarnwick_ParameterType::Button)
            parameter->EventHandler = RunToolEvent;
        return parameter;
    };
    auto slider = [&](float& value, const std::string& label, const float* minimum, const float* maximum) {
        TTarnwick_Parameter* parameter = add(TTarnwick_ParameterType::Slider, label);
        parameter->FloatValue = &value;
        parameter->SetRange(minimum, maximum);
        return parameter;
    };
    static const float Two = 2.0f;
    slider(Symmetry, "Symmetry", &RangeZero, &RangeOne);
    slider(Template->Strength, "Strength", &RangeZero, &Two);
    slider(Template->Touchup, "Touchup", &RangeZero, &Two);
    add(TTarnwick_ParameterType::Button, "Update", HeadMolderCommand_Update);
    add(TTarnwick_ParameterType::Button, "Reset", HeadMolderCommand_Reset);
    add(TTarnwick_ParameterType::RowBreak, "");
    add(TTarnwick_ParameterType::Button, "Random Head", HeadMolderCommand_RandomHead);
    for (const auto& category : Template->Categories) {
        add(TTarnwick_ParameterType::Label, category->Name);
        slider(category->Factor, category->Name + " Strength", &RangeZero, &Two);
        for (const auto& section : category->Sections) {
            add(TTarnwick_ParameterType::Label, section->Name);
            for (const auto& transform : section->Transforms) {
                add(TTarnwick_ParameterType::Label, transform->DisplayName);
                static const char* const Axes[3] = {" X", " Y", " Z"};
                for (int32_t k = 0; k < transform->ComponentCount; k++) {
                    const std::string label =
                        transform->DisplayName + (transform->ComponentCount > 1 ? Axes[k] : "");
                    TransformSliders.emplace_back(slider(transform->Value[k], label,
                                                         &transform->LowerLimit[k],
                                                         &transform->UpperLimit[k]),
                                                  transform.get());
                }
            }
        }
    }
    add(TTarnwick_ParameterType::RowBreak, "");
    add(TTarnwick_ParameterType::Button, "Load Selection Set", HeadMolderCommand_LoadSelectionSet);
    add(TTarnwick_ParameterType::Button, "Create Empty Selections", HeadMolderCommand_CreateEmptySelections);
}

bool TTarnwick_HeadMolder::MouseButton(TTarnwick_Mesh&, TTarnwick_ToolView&, int32_t, int32_t, float, float)
{
    return false;
}

bool TTarnwick_HeadMolder::MouseDrag(TTarnwick_Mesh&, TTarnwick_ToolView&, float, float)
{
    return false;
}

void TTarnwick_HeadMolder::Selected(TTarnwick_Mesh* mesh)
{
    // A figure without the sections' selections gets the set its character is known to have.
    if (mesh == nullptr || !Template || !TarnwickHeadMolderHooks.CharacterName)
        return;
    bool missing = false;
    for (const auto& category : Template->Categories)
        for (const auto& section : category->Sections)
            missing |= !section->Optional && FindSelectionNamed(*mesh, section->Name) == nullptr;
    if (missing)
        SetupCharacter(*mesh, TarnwickHeadMolderHooks.CharacterName());
}

void TTarnwick_HeadMolder::Deselected(TTarnwick_Mesh* mesh)
{
    if (mesh == nullptr || !Template)
        return;
    TTarnwick_Morph* morph = FindMorphNamed(*mesh, HeadMolderMorphName);
    if (morph == nullptr)
        return;
    ReportTrace("Setting morph to 0.0f");
    morph->Strength = 0.0f;
    mesh->ResolveVertices();
    mesh->ComputeNormals(TZAVNormalScope::All);
}

std::string TTarnwick_HeadMolder::SelectionSetFolder() const
{
    return ProgramFolder + "Data/Selection Sets/";
}

bool TTarnwick_HeadMolder::SetupCharacter(TTarnwick_Mesh& mesh, const std::string& character)
{
    std::ifstream database(ProgramFolder + "Data/HeadMolder_DataBase.txt");
    std::string set_name;
    bool this_character = false;
    for (std::string line; std::getline(database, line) && set_name.empty();) {
        const std::vector<std::string> words = TemplateLineWords(line);
        if (words.size() >= 2 && words[0] == "Character")
            this_character = TemplateLineArgument(line) == character;
        else if (words.size() >= 2 && words[0] == "SelectionSet" && this_character)
            set_name = TemplateLineArgument(line);
    }
    if (set_name.empty()) {
        AddWarning("No default selection set can be found for this character (%s).", character.c_str());
        return false;
    }
    AddStatus("Loading the appropiate selection set (%s) for this character.", set_name.c_str());
    std::string problem;
    if (!ImportSelectionSet(mesh, SelectionSetFolder() + set_name, problem)) {
        AddWarning("%s", problem.c_str());
        return false;
    }
    PostCommand(HeadMolderTreesChangedCommand);
    return true;
}

void TTarnwick_HeadMolder::CreateEmptySelections(TTarnwick_Mesh& mesh)
{
    if (!Template)
        return;
    for (const auto& category : Template->Categories)
        for (const auto& section : category->Sections)
            if (FindSelectionNamed(mesh, section->Name) == nullptr)
                mesh.NewSelection(-1)->SetNameLiteral(section->Name);
    PostCommand(HeadMolderTreesChangedCommand);
}

// [SECTION] Commands

void TTarnwick_HeadMolder::RecordUndo(TTarnwick_Mesh& mesh)
{
    if (TarnwickHeadMolderHooks.RecordUndo)
        TarnwickHeadMolderHooks.RecordUndo(mesh, *this);
}

void TTarnwick_HeadMolder::Update(TTarnwick_Mesh& mesh)
{
    if (mesh.CurrentMorph == nullptr) {
        ApplyAll(mesh);
        return;
    }
    RecordUndo(mesh);
    ClearMorph(mesh);
    ApplyAll(mesh);
}

void TTarnwick_HeadMolder::RandomHead(TTarnwick_Mesh& mesh)
{
    if (mesh.CurrentMorph == nullptr) {
        ApplyAll(mesh);
        return;
    }
    RecordUndo(mesh);
    ClearMorph(mesh);
    Template->Randomise(Random);
    Template->Evaluate();
    ApplyAll(mesh);
}

void TTarnwick_HeadMolder::ResetHead(TTarnwick_Mesh& mesh)
{
    RecordUndo(mesh);
    Template->Reset();
    ClearMorph(mesh);
}

int32_t TTarnwick_HeadMolder::ToolEvent(TZAVEvent& event)
{
    const int32_t command = event.GetID();
    if (command < HeadMolderCommand_Reset || command > HeadMolderCommand_LoadSelectionSet)
        return 0;
    TTarnwick_Mesh* mesh =
        TarnwickHeadMolderHooks.CurrentMesh ? TarnwickHeadMolderHooks.CurrentMesh() : nullptr;
    if (command == HeadMolderCommand_ReloadDefinitions) {
        LoadTemplate(SelectionSetFolder() + "Template01.txt");
        PostCommand(ToolChangedCommand);
        return 1;
    }
    if (mesh == nullptr || !Template)
        return 1;
    Template->SymmetryAmount = Symmetry;
    switch (command) {
    case HeadMolderCommand_Update:
        Update(*mesh);
        break;
    case HeadMolderCommand_RandomHead:
        RandomHead(*mesh);
        break;
    case HeadMolderCommand_Reset:
        ResetHead(*mesh);
        break;
    case HeadMolderCommand_CreateEmptySelections:
        CreateEmptySelections(*mesh);
        break;
    case HeadMolderCommand_LoadSelectionSet: {
        std::string path;
        if (!TarnwickHeadMolderHooks.ChooseSelectionSet ||
            !TarnwickHeadMolderHooks.ChooseSelectionSet(SelectionSetFolder(), path))
            return 1;
        AddStatus("Importing the Selection Set %s", path.c_str());
        std::string problem;
        if (!ImportSelectionSet(*mesh, path, problem))
            ShowError(GlobalDialogHost, "%s", problem.c_str());
        PostCommand(HeadMolderTreesChangedCommand);
        break;
    }
    default:
        break;
    }
    PostCommand(HeadMolderFigureChangedCommand);
    return 1;
}

void TTarnwick_HeadMolder::ParameterChanged(TTarnwick_Parameter& parameter)
{
    TTarnwick_Mesh* mesh =
        TarnwickHeadMolderHooks.CurrentMesh ? TarnwickHeadMolderHooks.CurrentMesh() : nullptr;
    if (mesh == nullptr || !Template || parameter.Type != TTarnwick_ParameterType::Slider)
        return;
    if (mesh->CurrentMorph == nullptr) {
        ApplyAll(*mesh);
        return;
    }
    // The slider has written the new value already; the record keeps the one before.
    const float written = *parameter.FloatValue;
    const auto found = std::find_if(TransformSliders.begin(), TransformSliders.end(),
                                    [&](const auto& entry) { return entry.first == &parameter; });
    Template->SymmetryAmount = Symmetry;
    RecordUndo(*mesh);
    ClearMorph(*mesh);
    if (found != TransformSliders.end()) {
        // The slider fixes its transform at the value the user chose.
        TTarnwick_HeadMolderTransform& transform = *found->second;
        if (transform.Random)
            std::copy_n(transform.Value, 3, transform.Default);
        transform.Random = false;
        for (int32_t k = 0; k < 3; k++)
            if (&transform.Value[k] == parameter.FloatValue)
                transform.Default[k] = written;
    }
    Template->Evaluate();
    ApplyAll(*mesh);
    PostCommand(HeadMolderFigureChangedCommand);
}

// [SECTION] Applying the transforms

bool TTarnwick_HeadMolder::ClearMorph(TTarnwick_Mesh& mesh)
{
    TTarnwick_Morph* morph = mesh.CurrentMorph;
    if (morph == nullptr)
        return false;
    std::vector<int32_t> changed;
    int32_t vertex = -1;
    float delta[3];
    for (bool more = morph->GetFirstDelta(vertex, delta); more; more = morph->GetNextDelta(vertex, delta))
        if (delta[0] != 0 || delta[1] != 0 || delta[2] != 0)
            changed.push_back(vertex);
    morph->Clear();
    mesh.UpdateVertices(changed);
    return true;
}

bool TTarnwick_HeadMolder::ApplyAll(TTarnwick_Mesh& mesh)
{
    TTarnwick_Morph* morph = mesh.CurrentMorph;
    if (morph == nullptr) {
        ShowMessage(GlobalDialogHost, "Please choose a morph target first");
        PostCommand(ChooseMorphCommand);
        return false;
    }
    if (morph->Strength != 1.0f) {
        morph->Strength = 1.0f;
        mesh.ResolveVertices();
        mesh.ComputeNormals(TZAVNormalScope::All);
        AddStatus("Set the morph \"%s\" strength to 1.0", morph->Name.c_str());
    }
    Template->Incomplete = false;
    for (const auto& category : Template->Categories)
        for (const auto& section : category->Sections) {
            TTarnwick_Selection* selection = FindSelectionNamed(mesh, section->Name);
            if (selection != nullptr) {
                ApplySection(mesh, *section, *selection);
            } else if (!section->Optional) {
                AddWarning("Cannot find selection %s", section->Name.c_str());
                Template->Incomplete = true;
            }
        }
    if (Template->Incomplete)
        AddWarning("%s", NotSetUpMessage);
    return true;
}

void TTarnwick_HeadMolder::ApplySection(TTarnwick_Mesh& mesh, TTarnwick_HeadMolderSection& section,
                                        TTarnwick_Selection& selection)
{
    std::vector<int32_t> vertices;
    std::vector<float> weights;
    GatherWeights(selection, mesh.GetVertexCount(), vertices, weights);
    if (vertices.empty())
        return;
    // The weighted centre, and the centre of the side with positive coordinates when both sides
    // are folded onto it.
    double sum[3] = {0, 0, 0};
    double folded[3] = {0, 0, 0};
    double total = 0;
    for (size_t i = 0; i < vertices.size(); i++) {
        const std::span<const float> p = mesh.GetDisplayedPosition(vertices[i]);
        const float* base = &mesh.Vertices[3 * size_t(vertices[i])];
        for (int32_t k = 0; k < 3; k++) {
            sum[k] += double(weights[i]) * p[k];
            folded[k] += double(weights[i]) * (base[k] < 0 ? -p[k] : p[k]);
        }
        total += weights[i];
    }
    float centre[3];
    float folded_centre[3];
    for (int32_t k = 0; k < 3; k++) {
        centre[k] = total > Negligible ? float(sum[k] / total) : 0.0f;
        folded_centre[k] = total > Negligible ? float(folded[k] / total) : 0.0f;
    }
    TTarnwick_Morph& morph = *mesh.CurrentMorph;
    std::vector<float> out(3 * vertices.size());
    for (const auto& owned : section.Transforms) {
        const TTarnwick_HeadMolderTransform& transform = *owned;
        const int32_t axis = transform.SymmetryAxis;
        const float* pivot = axis >= 0 ? folded_centre : centre;
        float v[3];
        for (int32_t k = 0; k < 3; k++)
            v[k] = transform.Value[k] / transform.ScaleFactor;
        const TTarnwick_HeadTransformType type = transform.Type;
        if (type == TTarnwick_HeadTransformType::Smooth ||
            type == TTarnwick_HeadTransformType::ArtifactRemoval) {
            const float amount = v[0] * Template->Touchup;
            if (!(amount > Negligible))
                continue;
            if (type == TTarnwick_HeadTransformType::Smooth) {
                SmoothVertices(mesh, selection, amount, false);
                continue;
            }
            // The measure compares the shape with the base shape's normals.
            std::vector<float> displayed = mesh.Vertices;
            mesh.DisplayedVertices.swap(displayed);
            mesh.ComputeNormals(TZAVNormalScope::All);
            const std::vector<float> base_normals = mesh.Normals;
            const std::vector<float> base_polygon_normals = mesh.PolygonNormals;
            mesh.DisplayedVertices.swap(displayed);
            mesh.ComputeNormals(TZAVNormalScope::All);
            TTarnwick_Selection artifacts(mesh.GetVertexCount());
            artifacts.SetNameLiteral("Artifact Map");
            for (size_t i = 0; i < vertices.size(); i++) {
                const float now = TTarnwick_SelectSharpPointsBrush::LargestAngle(
                    mesh, mesh.Normals, mesh.PolygonNormals, vertices[i]);
                const float then = TTarnwick_SelectSharpPointsBrush::LargestAngle(
                    mesh, base_normals, base_polygon_normals, vertices[i]);
                artifacts.SetVSelect(vertices[i], weights[i] * std::clamp(std::fabs(now - then), 0.0f, 1.0f));
            }
            SmoothVertices(mesh, artifacts, amount, true);
            continue;
        }
        // A value too close to the default to show is not applied.
        float range = 0;
        float change = 0;
        for (int32_t k = 0; k < 3; k++) {
            range = std::max(range, std::fabs(transform.Max[k] - transform.Min[k]));
            change = std::max(change, std::fabs(transform.Value[k] - transform.Default[k]));
        }
        if (range > Negligible && change < 0.01f * range)
            continue;
        float plane_centre[3] = {0, 0, 0};
        float plane_normal[3] = {0, 0, -1};
        switch (type) {
        case TTarnwick_HeadTransformType::Move:
            Kinds->Move.Prepare(mesh, vertices, weights);
            for (size_t i = 0; i < vertices.size(); i++)
                Kinds->Move.DeformVertex(mesh, vertices[i], v, weights[i], pivot, plane_normal, &out[3 * i],
                                         axis);
            break;
        case TTarnwick_HeadTransformType::Bulge:
            Kinds->Bulge.Prepare(mesh, vertices, weights);
            for (size_t i = 0; i < vertices.size(); i++)
                Kinds->Bulge.DeformVertex(mesh, vertices[i], v, weights[i], pivot, plane_normal, &out[3 * i],
                                          axis);
            break;
        case TTarnwick_HeadTransformType::Scale:
            // One factor per axis: each pass keeps its own axis of the uniform scale.
            Kinds->Scale.Prepare(mesh, vertices, weights);
            for (size_t i = 0; i < vertices.size(); i++)
                for (int32_t k = 0; k < 3; k++) {
                    const float factor[3] = {v[k], 0, 0};
                    float scaled[3];
                    Kinds->Scale.DeformVertex(mesh, vertices[i], pivot, weights[i], factor, plane_normal,
                                              scaled, axis);
                    out[3 * i + k] = scaled[k];
                }
            break;
        case TTarnwick_HeadTransformType::Flatten: {
            Kinds->Flatten.Prepare(mesh, vertices, weights);
            Kinds->Flatten.GetPlane(mesh, plane_centre, plane_normal, axis);
            const float strength[3] = {std::clamp(v[0], 0.0f, 1.0f), 0, 0};
            for (size_t i = 0; i < vertices.size(); i++)
                Kinds->Flatten.DeformVertex(mesh, vertices[i], plane_centre, weights[i], plane_normal,
                                            strength, &out[3 * i], axis);
            break;
        }
        case TTarnwick_HeadTransformType::Rotate:
            for (size_t i = 0; i < vertices.size(); i++) {
                const std::span<const float> p = mesh.GetDisplayedPosition(vertices[i]);
                const bool mirrored = axis >= 0 && mesh.Vertices[3 * size_t(vertices[i]) + axis] < 0;
                double local[3];
                for (int32_t k = 0; k < 3; k++)
                    local[k] = double(mirrored && k == axis ? -p[k] : p[k]) - pivot[k];
                const float angles[3] = {v[0] * weights[i], v[1] * weights[i], v[2] * weights[i]};
                RotateEuler(angles, local);
                for (int32_t k = 0; k < 3; k++) {
                    const float rotated = float(local[k] + pivot[k]);
                    out[3 * i + k] = (mirrored && k == axis ? -rotated : rotated) - p[k];
                }
            }
            break;
        default:
            AddWarning("Unsupported transform type = %d", int32_t(type));
            continue;
        }
        for (size_t i = 0; i < vertices.size(); i++) {
            float* delta = morph.GetVertex(vertices[i]);
            for (int32_t k = 0; k < 3; k++)
                delta[k] += out[3 * i + k];
        }
        mesh.UpdateVertices(vertices);
    }
}

void TTarnwick_HeadMolder::SmoothVertices(TTarnwick_Mesh& mesh, TTarnwick_Selection& selection, float amount,
                                          bool distance_weighted)
{
    // The smooth deformer runs one stroke of that length, alone: no symmetry, locks or undo of its
    // own (the command recorded the whole morph), on the given selection.
    TTarnwick_Smooth& smooth = Kinds->Smooth;
    smooth.NormalOnly = false;
    smooth.NoShrink = false;
    smooth.DistanceWeighted = distance_weighted;
    smooth.Multiplier = 1.0f;
    const TTarnwick_DeformerOptions saved_options = TarnwickDeformerOptions;
    const bool saved_partial_redraw = TarnwickToolOptions.PartialRedraw;
    TarnwickDeformerOptions.Symmetry = false;
    std::fill_n(TarnwickDeformerOptions.LockAxis, 3, false);
    TarnwickDeformerOptions.StrengthCheck = false;
    TarnwickDeformerOptions.RecordMorphUndo = nullptr;
    TarnwickToolOptions.PartialRedraw = false;
    TTarnwick_Selection* saved_selection = mesh.CurrentSelection;
    mesh.CurrentSelection = &selection;

    static const float Identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    TTarnwick_ToolView view;
    view.SetCamera(Identity, Identity, 2, 2, false);
    smooth.Activate(mesh);
    smooth.MouseButton(mesh, view, MouseButton_Left, ButtonState_Pressed, 0, 0);
    smooth.MouseDrag(mesh, view, amount, 0);
    smooth.MouseButton(mesh, view, MouseButton_Left, ButtonState_Released, amount, 0);

    mesh.CurrentSelection = saved_selection;
    TarnwickToolOptions.PartialRedraw = saved_partial_redraw;
    const uint32_t notices = TarnwickDeformerOptions.NoticeFlags;
    TarnwickDeformerOptions = saved_options;
    TarnwickDeformerOptions.NoticeFlags = notices;
}

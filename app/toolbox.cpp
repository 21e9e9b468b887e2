#include "app/toolbox.h"

#include "app/main_window.h"
#include "files/project.h"
#include "mesh/scene_object.h"
#include "paint/undo_buffer.h"
#include "tools/deformer.h"
#include "tools/selection_brush.h"
#include "tools/selection_brush_whole.h"
#include "tools/tool.h"

namespace {

void InstallHooks()
{
    // A stroke's record holds the values it replaced, of the vertices it changed only.
    TarnwickSelectionBrushHooks.RecordUndo = [](TTarnwick_Mesh&, std::span<const int32_t> vertices,
                                                std::span<const float> old_weights) {
        if (TarnwickProject != nullptr)
            TarnwickProject->UndoBuffer.AddUndoNode(
                TarnwickProject->UndoBuffer.CreatePatch(UndoType_Selection, vertices, old_weights));
    };
    TarnwickDeformerOptions.RecordMorphUndo = [](TTarnwick_Mesh&, std::span<const int32_t> vertices,
                                                 std::span<const float> old_deltas) {
        if (TarnwickProject != nullptr)
            TarnwickProject->UndoBuffer.AddUndoNode(
                TarnwickProject->UndoBuffer.CreatePatch(UndoType_Morph, vertices, old_deltas));
    };
    TarnwickSelectionBrushHooks.Redraw = [] {
        if (TarnwickMainWindow != nullptr) {
            TarnwickMainWindow->InvalidateViewportImages();
            TarnwickMainWindow->RequestRedisplay();
        }
    };
}

// The selection brushes in the order of the tool bar; null entries are its gaps.
void AddSelectionBrushes(TTarnwick_Toolbox& toolbox)
{
    TTarnwick_Tool* const brushes[] = {new TTarnwick_DefaultBrush,
                                       new TTarnwick_SoftenBrush,
                                       new TTarnwick_HardenBrush,
                                       new TTarnwick_FractalBrush,
                                       nullptr,
                                       new TTarnwick_SelectElementBrush,
                                       new TTarnwick_SelectGroupBrush,
                                       new TTarnwick_SelectMaterialBrush,
                                       nullptr,
                                       new TTarnwick_SelectArtifactsBrush,
                                       new TTarnwick_SelectSharpPointsBrush,
                                       new TTarnwick_SelectOpenVerticesBrush};
    for (TTarnwick_Tool* brush : brushes)
        toolbox.Brushes.Add(brush);
}

// The deformers in the order of the tool bar.
void AddDeformers(TTarnwick_Toolbox& toolbox)
{
    TTarnwick_Tool* const deformers[] = {new TTarnwick_MoveInPlane, new TTarnwick_Rotate, new TTarnwick_Pinch,
                                         new TTarnwick_Scale,       nullptr,               new TTarnwick_Bulge,
                                         new TTarnwick_Smooth,      new TTarnwick_Flatten, new TTarnwick_Unmorph};
    for (TTarnwick_Tool* deformer : deformers)
        toolbox.Transforms.Add(deformer);
}

} // namespace

TTarnwick_Toolbox& ApplicationToolbox()
{
    // Never destroyed: the tools may be asked to finish a stroke until the process ends.
    static TTarnwick_Toolbox* toolbox = [] {
        InstallHooks();
        auto* made = new TTarnwick_Toolbox;
        AddSelectionBrushes(*made);
        AddDeformers(*made);
        return made;
    }();
    return *toolbox;
}

TTarnwick_Mesh* ToolMesh()
{
    if (TarnwickProject == nullptr || TarnwickProject->CurrentObject == nullptr)
        return nullptr;
    return TarnwickProject->CurrentObject->Mesh.get();
}

bool ChooseTool(TTarnwick_Tool* tool)
{
    if (!ApplicationToolbox().SwitchTool(tool, ToolMesh()))
        return false;
    if (TarnwickMainWindow != nullptr)
        TarnwickMainWindow->RequestRedisplay();
    return true;
}

void CopyProjectToolOptions()
{
    if (TarnwickProject == nullptr)
        return;
    const TTarnwick_Project& project = *TarnwickProject;
    TarnwickToolOptions.BrushSymmetry = project.BrushSymmetry;
    TarnwickDeformerOptions.Symmetry = project.DeformSymmetry;
    TarnwickDeformerOptions.SymmetryDirection = project.FlipSymmetry ? Mirror_ToPositive : Mirror_ToNegative;
    TarnwickDeformerOptions.LockAxis[0] = project.DeformerLockX;
    TarnwickDeformerOptions.LockAxis[1] = project.DeformerLockY;
    TarnwickDeformerOptions.LockAxis[2] = project.DeformerLockZ;
}

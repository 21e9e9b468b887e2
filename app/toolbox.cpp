#include "app/toolbox.h"

#include "app/application.h"
#include "app/main_window.h"
#include "app/paint_canvas.h"
#include "app/scene_drawing.h"
#include "app/viewport_panel.h"
#include "core/paths.h"
#include "core/status.h"
#include "core/dialogs.h"
#include "core/event.h"
#include "core/event_queue.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/scene_object.h"
#include "paint/brush_image.h"
#include "paint/grabbers.h"
#include "paint/image_file.h"
#include "paint/paint_brush.h"
#include "paint/paint_brush_effects.h"
#include "paint/paint_brush_shapes.h"
#include "paint/undo_buffer.h"
#include "tools/deformer.h"
#include "tools/deformer_smooth.h"
#include "tools/head_molder.h"
#include "tools/selection_brush.h"
#include "tools/selection_brush_whole.h"
#include "tools/tool.h"
#include "tools/weld_tools.h"
#include "widgets/master.h"

namespace {

// What the bitmap brush's load button posts; its own handler takes it, never the dispatcher.
constexpr int32_t LoadBrushImageEvent = 1000;
constexpr int32_t UploadMapsCommand = 77;
constexpr const char* DefaultBrushImageName = "Brushes/Default_Selection_Brush.bmp";
constexpr const char* BrushImageFilter = "Image Files\0*.bmp;*.png;*.jpg;*.jpeg;*.tga;*.tif;*.tiff;*.gif\0"
                                         "All Files\0*.*\0";

// Decodes any image the program reads; each pixel's grey is the plain mean of its channels.
bool LoadGreyImage(const std::string& path, TTarnwick_GreyImage& out_image, std::string& out_problem)
{
    TZAVPixelBuffer rgb;
    int32_t width = 0;
    int32_t height = 0;
    if (!LoadImageFile(path, rgb, width, height, ImageLoad_ForceRGB, nullptr, out_problem))
        return false;
    out_image.Width = width;
    out_image.Height = height;
    out_image.Pixels.resize(size_t(width) * size_t(height));
    for (size_t i = 0; i < out_image.Pixels.size(); i++) {
        const uint8_t* pixel = &rgb[i * 3];
        out_image.Pixels[i] = uint8_t((pixel[0] + pixel[1] + pixel[2]) / 3);
    }
    return true;
}

void LoadBrushImageCB(TZAVEvent* event)
{
    auto* brush = static_cast<TTarnwick_BitmapBrush*>(event->Context);
    std::string folder_fallback;
    std::string& folder = TarnwickSettings != nullptr ? TarnwickSettings->ImagesPath : folder_fallback;
    std::string path;
    constexpr bool RememberFolder = true;
    if (AskOpenFileNameFromList(GlobalDialogHost, path, folder, BrushImageFilter, "", RememberFolder))
        brush->LoadImage(path);
}

TTarnwick_BitmapBrush* MakeBitmapBrush()
{
    auto* brush = new TTarnwick_BitmapBrush;
    for (TTarnwick_Parameter* parameter : brush->Parameters) {
        if (parameter->Type == TTarnwick_ParameterType::Button) {
            parameter->Event = LoadBrushImageEvent;
            parameter->EventHandler = LoadBrushImageCB;
        }
    }
    // Built with the panels, which have nothing to refresh yet.
    brush->ReadImage(DataFilePath(DefaultBrushImageName));
    return brush;
}

void InstallSculptHooks()
{
    TTarnwick_BitmapBrush::Loader = LoadGreyImage;
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

void InstallPaintHooks()
{
    // Lives as long as the process, like the tools: its frame buffers belong to the window's context.
    TarnwickPaintHooks.Canvas = new TTarnwick_GLPaintCanvas;
    TarnwickPaintHooks.UndoBuffer = []() -> TTarnwick_UndoBuffer* {
        return TarnwickProject != nullptr ? &TarnwickProject->UndoBuffer : nullptr;
    };
    TarnwickPaintHooks.PaintOnBackFaces = [] { return TarnwickProject != nullptr && TarnwickProject->PaintOnBackFaces; };
    TarnwickPaintHooks.UploadMaps = [] { PostCommand(UploadMapsCommand); };
    TarnwickPaintHooks.Redraw = [] {
        if (TarnwickProject != nullptr)
            TarnwickProject->SceneChanged = true;
        TarnwickSelectionBrushHooks.Redraw();
    };
    TarnwickPaintHooks.DrawScene = [](const TTarnwick_ToolView&) {
        if (TarnwickProject == nullptr)
            return;
        TTarnwick_SceneView view;
        view.Mode = TTarnwick_DisplayMode::Texture;
        SharedSceneDrawing()->DrawScene(*TarnwickProject, view);
    };
    // The tools work in the view pressed in last, which the window made current.
    TarnwickPaintHooks.ViewOrigin = [](int32_t& out_x, int32_t& out_y) {
        out_x = out_y = 0;
        TTarnwick_ViewportPanel* panel =
            TarnwickMainWindow != nullptr ? TarnwickMainWindow->CurrentViewportPanel() : nullptr;
        if (panel == nullptr || panel->GetMaster() == nullptr)
            return;
        const TTarnwick_ViewRect rect = panel->GetViewRect();
        out_x = rect.Left;
        out_y = panel->GetMaster()->Height - rect.Top - rect.Height;
    };
    TarnwickPaintHooks.AddBrushImage = [](std::unique_ptr<TTarnwick_TextureBrushImage> image) -> int32_t {
        if (TarnwickProject == nullptr)
            return -1;
        const std::string base = image->Name;
        for (int32_t number = 2; TarnwickProject->FindBrushImage(image->Name) != nullptr; number++)
            image->SetNameLiteral(base + " " + std::to_string(number));
        // A grab has no file: it gets one, or a saved project would come back without it.
        std::string folder;
        std::string error;
        if (image->FileName.empty() &&
            (!UserDataFolder(folder) || !image->KeepInFile(folder + "Brushes", error)))
            AddWarning("The brush image %s is not kept in a file and will not be saved with the project. %s",
                       image->Name.c_str(), error.c_str());
        if (!TarnwickProject->BrushImages.Add(image.get()))
            return -1;
        image.release();
        return TarnwickProject->BrushImages.Count() - 1;
    };
    TarnwickPaintHooks.ChooseTool = [](TTarnwick_Tool* tool) { ChooseTool(tool); };
    TarnwickPaintHooks.BrushImage = [](int32_t index) -> const TTarnwick_TextureBrushImage* {
        TTarnwick_TextureBrushImage* image = nullptr;
        return TarnwickProject != nullptr && TarnwickProject->BrushImages.Get(image, index) ? image : nullptr;
    };
    TarnwickPaintHooks.BrushImageCount = [] {
        return TarnwickProject != nullptr ? TarnwickProject->BrushImages.Count() : 0;
    };
}

void InstallHeadMolderHooks()
{
    TarnwickHeadMolderHooks.CurrentMesh = ToolMesh;
    TarnwickHeadMolderHooks.CharacterName = [] {
        return ToolMesh() != nullptr ? TarnwickProject->CurrentObject->Name : std::string();
    };
    // One action: the whole morph, and the template's values through the record's hook.
    TarnwickHeadMolderHooks.RecordUndo = [](TTarnwick_Mesh&, TTarnwick_HeadMolder& tool) {
        if (TarnwickProject == nullptr)
            return;
        TTarnwick_UndoBuffer& buffer = TarnwickProject->UndoBuffer;
        buffer.AddUndoNode(buffer.CreateUndoNode(UndoType_Morph, -1));
        if (TTarnwick_UndoNodePtr record = buffer.CreateUndoNode(UndoType_HeadTemplate, -1)) {
            record->Hook = std::make_unique<TTarnwick_HeadMolderUndo<TTarnwick_UndoHook, TTarnwick_UndoNode>>(
                tool, tool.CaptureValues());
            buffer.AddUndoNode(std::move(record));
        }
    };
    TarnwickHeadMolderHooks.ChooseSelectionSet = [](const std::string& folder, std::string& out_path) {
        std::string start = folder;
        return AskOpenFileNameFromList(GlobalDialogHost, out_path, start, "Selection Sets\0*.txt\0All Files\0*.*\0",
                                       "", false);
    };
}

// The selection brushes in the order of the tool bar; null entries are its gaps.
void AddSelectionBrushes(TTarnwick_Toolbox& toolbox)
{
    TTarnwick_Tool* const brushes[] = {new TTarnwick_DefaultBrush,
                                       MakeBitmapBrush(),
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

// The paint brushes in the order of the tool bar.
void AddPaintBrushes(TTarnwick_Toolbox& toolbox)
{
    TTarnwick_Tool* const brushes[] = {
        new TTarnwick_RoundBrush, new TTarnwick_SquareBrush,    nullptr,
        new TTarnwick_BlurBrush,  new TTarnwick_SmudgeBrush,    nullptr,
        new TTarnwick_LineBrush,  new TTarnwick_RectangleBrush, new TTarnwick_EllipseBrush};
    for (TTarnwick_Tool* brush : brushes)
        toolbox.PaintBrushes.Add(brush);
    toolbox.TextureGrabber = new TTarnwick_TextureGrabberBrush;
    toolbox.ColorGrabber = new TTarnwick_ColorGrabberBrush;
}

// The tools without a list name, in the order of the tool bar.
void AddOtherTools(TTarnwick_Toolbox& toolbox)
{
    TTarnwick_Tool* const tools[] = {new TTarnwick_UVMap, new TTarnwick_WeldVertices, new TTarnwick_MergeObjects};
    for (TTarnwick_Tool* tool : tools)
        toolbox.OtherTools.Add(tool);
}

} // namespace

TTarnwick_Toolbox& ApplicationToolbox()
{
    // Never destroyed: the tools may be asked to finish a stroke until the process ends.
    static TTarnwick_Toolbox* toolbox = [] {
        InstallSculptHooks();
        InstallPaintHooks();
        InstallHeadMolderHooks();
        auto* made = new TTarnwick_Toolbox;
        AddSelectionBrushes(*made);
        AddDeformers(*made);
        AddPaintBrushes(*made);
        made->OtherTools.Add(new TTarnwick_HeadMolder(TarnwickApp.ProgramFolder));
        AddOtherTools(*made);
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

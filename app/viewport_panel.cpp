// The viewport panel: its button bar, navigation by dragging, standard views, fitting and the
// drawing of the view.
//
// [SECTION] Bar buttons
// [SECTION] Construction and layout
// [SECTION] Navigation
// [SECTION] Tools
// [SECTION] Views and fitting
// [SECTION] Drawing
#include "app/viewport_panel.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/object_commands.h"
#include "app/texture_registry.h"
#include "app/toolbox.h"
#include "core/status.h"
#include "files/project.h"
#include "mesh/scene_object.h"
#include "tools/brush.h"
#include "tools/deformer.h"
#include "tools/selection_brush.h"
#include "tools/tool.h"
#include "widgets/button.h"
#include "widgets/draw.h"
#include "widgets/master.h"
#include "widgets/menu.h"
#include "widgets/skin_names.h"

namespace {

constexpr int32_t ButtonHeight = 22;
constexpr int32_t PictureButtonWidth = 22;
constexpr int32_t ButtonGap = 2;
constexpr int32_t GroupGap = 8;
constexpr int32_t MenuArrowRoom = 14;
constexpr float BarColor[3] = {0.12f, 0.12f, 0.13f};
// Opens the options window of the view named by the event's Context.
constexpr int32_t ViewportOptionsCommand = 269;

// Gaps part the bar's groups: the navigation, the orientation, the display looks and the rest.
bool StartsBarGroup(std::string_view name)
{
    return name == "OrientationButton" || name == "Display_Flat" || name == "Render";
}
constexpr const char* UserViewPicture = "UserView";
constexpr const char* UserViewLabel = "User";

struct TViewLabel
{
    TTarnwick_StandardView View;
    const char* Label;
};

// 157 sits behind "RightView" and shows the figure's right side, so it is labelled so.
constexpr TViewLabel ViewLabels[] = {
    {TTarnwick_StandardView::Front, "Front"}, {TTarnwick_StandardView::Back, "Back"},
    {TTarnwick_StandardView::Right, "Right"}, {TTarnwick_StandardView::Left, "Left"},
    {TTarnwick_StandardView::Top, "Top"},     {TTarnwick_StandardView::Bottom, "Bottom"},
};

const char* LabelOf(TTarnwick_StandardView view)
{
    for (const TViewLabel& entry : ViewLabels)
        if (entry.View == view)
            return entry.Label;
    return "Perspective";
}

TZAVRegisteredTexture FindPicture(const char* name)
{
    return TarnwickApp.Textures != nullptr ? TarnwickApp.Textures->Find(name) : TZAVRegisteredTexture{};
}

} // namespace

// [SECTION] Bar buttons

// A bar button keeps its widget name and shows its picture, or else a short label.
class TTarnwick_ViewportPanel::TBarButton : public TZAVglutWigits_Button
{
public:
    TBarButton(TZAVglutWigits_Node* parent, const char* name, std::string label)
        : TZAVglutWigits_Button(parent, name)
    {
        SetLook(name, std::move(label));
        Height = ButtonHeight;
    }

    void SetLook(const char* picture_name, std::string label)
    {
        Label = std::move(label);
        const TZAVRegisteredTexture picture = FindPicture(picture_name);
        Picture = picture.Id;
        PictureWidth = std::min(picture.Width, PictureButtonWidth - 4);
        PictureHeight = std::min(picture.Height, ButtonHeight - 4);
        Invalidate();
    }
    int32_t PreferredWidth() const
    {
        const int32_t menu_room = GetAttachedMenu() != nullptr ? MenuArrowRoom : 0;
        if (Picture != 0)
            return PictureButtonWidth + menu_room;
        return TextWidth(Label) + 2 * HorizontalPadding + menu_room;
    }
    void Layout() override { TZAVglutWigits_Node::Layout(); }
    void DrawLabelInColor(const float* colour) override
    {
        if (Picture == 0)
            DrawText(Label, colour);
    }

    std::string Label;
};

// Pressed, it starts a navigation drag; dragged, it hands the movement to NavOnMotionCB and the
// pointer goes back to where it was pressed.
class TTarnwick_ViewportPanel::TNavigationButton : public TBarButton
{
public:
    TNavigationButton(TTarnwick_ViewportPanel* panel, const char* name, std::string label,
                      TTarnwick_NavigationMode mode)
        : TBarButton(panel->Bar, name, std::move(label)), Panel(panel), Mode(mode)
    {
    }

    void OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y) override
    {
        TBarButton::OnMouseButton(button, state, x, y);
        if (button != MouseLeft || state != MouseDown)
            return;
        AnchorX = x;
        AnchorY = y;
        Panel->BeginNavigationAt(AbsX + x, AbsY + y);
    }
    void OnMouseDrag(int32_t x, int32_t y) override
    {
        if (!Pressed || (x == AnchorX && y == AnchorY))
            return;
        TZAVEvent event(NavOnMotionCB, Panel, int32_t(Mode));
        event.SetX(x - AnchorX);
        event.SetY(y - AnchorY);
        event.SetWindowX(AbsX + AnchorX);
        event.SetWindowY(AbsY + AnchorY);
        event.SetSender(this);
        NavOnMotionCB(&event);
    }

private:
    TTarnwick_ViewportPanel* Panel;
    TTarnwick_NavigationMode Mode;
    int32_t AnchorX = 0;
    int32_t AnchorY = 0;
};

// [SECTION] Construction and layout

TTarnwick_ViewportPanel::TTarnwick_ViewportPanel(TZAVglutWigits_Node* parent, int32_t index)
    : TZAVglutWigits_Node(parent), Index(index), Scene(SharedSceneDrawing())
{
    ToolView.OcclusionTest = Occlusion.TestFor(ToolView);
    SetName("Viewport %d", index + 1);
    ShowLabel = false;
    BorderWidth = 0;
    Clickable = false;
    BuildBar();
    Viewport.Resize(Width, Height);
}

TTarnwick_ViewportPanel::~TTarnwick_ViewportPanel() = default;

void TTarnwick_ViewportPanel::BuildBar()
{
    Bar = new TZAVglutWigits_Node(this);
    Bar->SetNameLiteral("ViewportBar");
    Bar->ShowLabel = false;
    Bar->BorderWidth = 0;
    std::copy_n(BarColor, 3, Bar->BackgroundColor);

    new TNavigationButton(this, "PanButton", "Pan", TTarnwick_NavigationMode::Pan);
    new TNavigationButton(this, "ZoomButton", "Zoom", TTarnwick_NavigationMode::Zoom);
    new TNavigationButton(this, "Rotate_XY_Button", "Roll", TTarnwick_NavigationMode::Roll);
    new TNavigationButton(this, "RotateButton", "Rotate", TTarnwick_NavigationMode::Rotate);
    auto* reset = new TBarButton(Bar, "ResetButton", "Fit");
    reset->ClickEvent = std::make_unique<TZAVEvent>(
        [](TZAVEvent* event) { static_cast<TTarnwick_ViewportPanel*>(event->Context)->FitToObject(); }, this,
        0);

    OrientationButton = new TBarButton(Bar, "OrientationButton", "");
    // The label keeps clear of the menu arrow on the right.
    OrientationButton->LabelAlignment = TZAVglutWigits_Alignment::Left;
    auto* menu = new TZAVglutWigits_Menu();
    menu->SetName("OrientationMenu for %s", Name.c_str());
    struct TEntry
    {
        const char* Name;
        const char* Caption;
        TTarnwick_StandardView View;
    };
    const TEntry entries[] = {
        {"FrontView", "Front", TTarnwick_StandardView::Front},
        {"BackView", "Back", TTarnwick_StandardView::Back},
        {"RightView", "Right", TTarnwick_StandardView::Right},
        {"LeftView", "Left", TTarnwick_StandardView::Left},
        {"TopView", "Top", TTarnwick_StandardView::Top},
        {"BottomView", "Bottom", TTarnwick_StandardView::Bottom},
        {"PerspectiveView", "Perspective", TTarnwick_StandardView::Perspective},
    };
    for (const TEntry& entry : entries) {
        // The commands go to the dispatcher, which finds the panel in the event's Context.
        auto command = std::make_unique<TZAVEvent>(int32_t(entry.View));
        command->Context = this;
        TZAVglutWigits_MenuText* item = menu->AddEntry(entry.Name, std::move(command));
        item->SetCaption("%s Button for %s", entry.Caption, Name.c_str());
    }
    OrientationButton->AttachMenu(menu);
    ShowViewOnButton();

    const struct
    {
        const char* Name;
        const char* Label;
        TTarnwick_DisplayMode Mode;
    } display_buttons[] = {
        {"Display_Flat", "Flat", TTarnwick_DisplayMode::Flat},
        {"Display_Smooth", "Smooth", TTarnwick_DisplayMode::Smooth},
        {"Display_Texture", "Texture", TTarnwick_DisplayMode::Texture},
    };
    for (const auto& entry : display_buttons) {
        auto* button = new TBarButton(Bar, entry.Name, entry.Label);
        button->Mode = TZAVglutWigits_ButtonMode::Toggle;
        button->Group = 1;
        button->BoundInteger = &DisplayModeValue;
        button->DownValue = int32_t(entry.Mode);
        button->SetDown(DisplayModeValue == int32_t(entry.Mode));
    }
    // The final render has no action yet.
    new TBarButton(Bar, "Render", "Render");
    auto* settings = new TBarButton(Bar, "ViewportSettings", "...");
    settings->ClickEvent = std::make_unique<TZAVEvent>(ViewportOptionsCommand);
    settings->ClickEvent->Context = this;
}

void TTarnwick_ViewportPanel::Layout()
{
    Viewport.Resize(Width, Height);
    // A view too narrow for the whole bar puts the rest of its groups on more rows rather than
    // cutting buttons off at its edge.
    int32_t x = ButtonGap;
    int32_t row = 0;
    for (TZAVglutWigits_Node* node = Bar->FirstChild; node != nullptr; node = node->NextSibling) {
        auto* button = static_cast<TBarButton*>(node);
        const bool starts_group = StartsBarGroup(button->Name);
        const int32_t width = button->PreferredWidth();
        if (starts_group && x > ButtonGap && x + GroupGap + GroupWidth(button) > Width) {
            x = ButtonGap;
            row++;
        } else if (starts_group) {
            x += GroupGap;
        }
        PlaceNode(button, x, row * BarHeight + (BarHeight - ButtonHeight) / 2, width, ButtonHeight);
        x += width + ButtonGap;
    }
    PlaceNode(Bar, 0, 0, Width, (row + 1) * BarHeight);
    TZAVglutWigits_Node::Layout();
}

int32_t TTarnwick_ViewportPanel::GroupWidth(const TZAVglutWigits_Node* first) const
{
    // The buttons up to the next group's first.
    int32_t width = 0;
    for (const TZAVglutWigits_Node* node = first; node != nullptr; node = node->NextSibling) {
        if (node != first && StartsBarGroup(node->Name))
            break;
        width += static_cast<const TBarButton*>(node)->PreferredWidth() + ButtonGap;
    }
    return width;
}

void TTarnwick_ViewportPanel::OnResize()
{
    Viewport.Resize(Width, Height);
    TZAVglutWigits_Node::OnResize();
}

void TTarnwick_ViewportPanel::SetDisplayMode(TTarnwick_DisplayMode mode)
{
    DisplayModeValue = int32_t(mode);
    DiscardCachedImage();
}

// [SECTION] Navigation

TTarnwick_ViewRect TTarnwick_ViewportPanel::GetViewRect() const
{
    return {AbsX, AbsY, std::max(Width, 1), std::max(Height, 1)};
}

void TTarnwick_ViewportPanel::AddPointerMovement(int32_t dx, int32_t dy)
{
    PointerX += dx;
    PointerY += dy;
}

void TTarnwick_ViewportPanel::BeginNavigationAt(int32_t x, int32_t y)
{
    PointerX = x;
    PointerY = y;
    float view_x = 0, view_y = 0;
    Viewport.Resize(Width, Height);
    WindowToView(GetViewRect(), x, y, view_x, view_y);
    Viewport.BeginNavigation(view_x, view_y);
}

void TTarnwick_ViewportPanel::MarkImagesStale()
{
    if (TarnwickProject != nullptr)
        TarnwickProject->ViewportImagesStale = true;
    DiscardCachedImage();
}

void TTarnwick_ViewportPanel::NavigateToPointer(TTarnwick_NavigationMode mode)
{
    int32_t modifiers = ModifierNone;
    if (IsShiftDown())
        modifiers |= ModifierShift;
    if (IsAltDown())
        modifiers |= ModifierAlt;
    float view_x = 0, view_y = 0;
    WindowToView(GetViewRect(), PointerX, PointerY, view_x, view_y);
    const float scene_size = TarnwickProject != nullptr ? TarnwickProject->SceneSize() : 1.0f;
    Viewport.Navigate(mode, view_x, view_y, modifiers, scene_size);
    if (mode == TTarnwick_NavigationMode::Rotate || mode == TTarnwick_NavigationMode::Roll)
        ShowViewOnButton();
    Invalidate();
}

void TTarnwick_ViewportPanel::NavOnMotionCB(TZAVEvent* event)
{
    auto* panel = event != nullptr ? static_cast<TTarnwick_ViewportPanel*>(event->Context) : nullptr;
    if (panel == nullptr) {
        AddWarning("HomeNode == NULL in TTarnwick_ViewportPanel::NavOnMotionCB()");
        return;
    }
    panel->Navigate(*event);
}

bool TTarnwick_ViewportPanel::Navigate(const TZAVEvent& event)
{
    if (event.Flags[0] != 0)
        return false;
    if (event.ID < int32_t(TTarnwick_NavigationMode::Rotate) ||
        event.ID > int32_t(TTarnwick_NavigationMode::Zoom)) {
        AddWarning("HomeNode == NULL in TTarnwick_ViewportPanel::NavOnMotionCB()");
        return false;
    }
    MarkImagesStale();
    if (event.X != 0 || event.Y != 0) {
        // GLUT reports the warp as a motion back onto the button, which is no movement.
        if (glutGet(GLUT_INIT_STATE) != 0 && glutGetWindow() != 0)
            glutWarpPointer(event.WindowX, event.WindowY);
        AddPointerMovement(event.X, event.Y);
    }
    NavigateToPointer(TTarnwick_NavigationMode(event.ID));
    return true;
}

void TTarnwick_ViewportPanel::OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y)
{
    if (RouteToTool(button, state, x, y))
        return;
    if (button != MouseLeft)
        return TZAVglutWigits_Node::OnMouseButton(button, state, x, y);
    DragRotating = state == MouseDown;
    if (DragRotating)
        BeginNavigationAt(AbsX + x, AbsY + y);
}

void TTarnwick_ViewportPanel::OnMouseDrag(int32_t x, int32_t y)
{
    if (ToolStroke) {
        TTarnwick_Tool* tool = ApplicationToolbox().CurrentTool;
        TTarnwick_Mesh* mesh = ToolMesh();
        if (tool != nullptr && mesh != nullptr) {
            // The press brought the screen positions up to date for the tools that use them, and
            // a stroke does not move the camera; a deformer's drags move vertices it never reads
            // back on screen.
            UpdateToolView(*mesh, TProjection::CameraOnly);
            ToView(x, y, CursorX, CursorY);
            if (tool->MouseDrag(*mesh, ToolView, CursorX, CursorY))
                MarkImagesStale();
        }
        return;
    }
    if (!DragRotating)
        return TZAVglutWigits_Node::OnMouseDrag(x, y);
    PointerX = AbsX + x;
    PointerY = AbsY + y;
    MarkImagesStale();
    NavigateToPointer(TTarnwick_NavigationMode::Rotate);
}

void TTarnwick_ViewportPanel::OnPassiveMotion(int32_t x, int32_t y)
{
    TZAVglutWigits_Node::OnPassiveMotion(x, y);
    ToView(x, y, CursorX, CursorY);
    CursorInside = true;
    // The tool's cursor follows the pointer.
    if (ApplicationToolbox().CurrentTool != nullptr)
        Invalidate();
}

// [SECTION] Tools

void TTarnwick_ViewportPanel::ToView(int32_t x, int32_t y, float& out_x, float& out_y) const
{
    WindowToView(GetViewRect(), AbsX + x, AbsY + y, out_x, out_y);
}

void TTarnwick_ViewportPanel::UpdateToolView(TTarnwick_Mesh& mesh, TProjection projection_kind)
{
    float projection[16], model_view[16];
    Viewport.GetProjectionMatrix(SceneDepth(*TarnwickProject, Viewport.LookAt), projection);
    Viewport.GetModelViewMatrix(model_view);
    ToolView.SetCamera(model_view, projection, Width, Height, Viewport.Perspective);
    std::copy_n(Viewport.LookAt, 3, ToolView.CameraTarget);
    ToolView.Zoom = Viewport.Zoom;
    if (projection_kind == TProjection::Vertices)
        ToolView.UpdateScreenPositions(mesh);
}

bool TTarnwick_ViewportPanel::RouteToTool(int32_t button, int32_t state, int32_t x, int32_t y)
{
    TTarnwick_Tool* tool = ApplicationToolbox().CurrentTool;
    TTarnwick_Mesh* mesh = ToolMesh();
    if (tool == nullptr || mesh == nullptr || (state == MouseUp && !ToolStroke))
        return tool != nullptr && mesh != nullptr;
    // The tool's press brings the screen positions up to date when it uses them.
    UpdateToolView(*mesh, TProjection::CameraOnly);
    ToView(x, y, CursorX, CursorY);
    if (state == MouseDown) {
        CopyProjectToolOptions();
        // Once per stroke: the view does not move while it lasts, and selection strokes leave
        // the shapes as they are.
        auto* brush = dynamic_cast<TTarnwick_Brush*>(tool);
        if (brush != nullptr && brush->GetVisibility() == TTarnwick_Visibility::Respected)
            CaptureDepth();
        else
            Occlusion.Clear();
        tool->Activate(*mesh);
        ToolStroke = tool->MouseButton(*mesh, ToolView, button, ButtonState_Pressed, CursorX, CursorY);
    } else {
        tool->MouseButton(*mesh, ToolView, button, ButtonState_Released, CursorX, CursorY);
        ToolStroke = false;
    }
    MarkImagesStale();
    return true;
}

// [SECTION] Views and fitting

void TTarnwick_ViewportPanel::DiscardCachedImage()
{
    CachedImageValid = false;
    Invalidate();
}

const std::string& TTarnwick_ViewportPanel::GetViewLabel() const
{
    return OrientationButton->Label;
}

void TTarnwick_ViewportPanel::ShowViewOnButton()
{
    if (Viewport.UserView) {
        OrientationButton->SetLook(UserViewPicture, UserViewLabel);
        return;
    }
    const TTarnwick_StandardViewInfo info =
        TTarnwick_Viewport::GetStandardViewInfo(Viewport.LastStandardView);
    OrientationButton->SetLook(info.ButtonName != nullptr ? info.ButtonName : "PerspectiveView",
                               LabelOf(Viewport.LastStandardView));
}

void TTarnwick_ViewportPanel::SetView(TTarnwick_StandardView view)
{
    Viewport.SetStandardView(view);
    ShowViewOnButton();
    MarkImagesStale();
}

bool TTarnwick_ViewportPanel::FitToObject()
{
    if (TarnwickProject == nullptr || TarnwickProject->CurrentObject == nullptr ||
        !TarnwickProject->CurrentObject->Mesh)
        return false;
    Viewport.Resize(Width, Height);
    if (!Viewport.FitToMesh(*TarnwickProject->CurrentObject->Mesh))
        return false;
    ShowViewOnButton();
    MarkImagesStale();
    return true;
}

// [SECTION] Drawing

bool TTarnwick_ViewportPanel::BeginViewDrawing(TZAVglutWigits_Rect& out_visible)
{
    TZAVglutWigits_Master* master = GetMaster();
    if (master == nullptr || Width <= 0 || Height <= 0)
        return false;
    out_visible = TZAVglutWigits_Rect{0, 0, master->Width, master->Height}.Intersect(AbsoluteRect());
    if (out_visible.Empty())
        return false;
    const int32_t window_height = master->Height;
    glViewport(AbsX, window_height - AbsY - Height, Width, Height);
    glEnable(GL_SCISSOR_TEST);
    glScissor(out_visible.X, window_height - out_visible.Y - out_visible.Height, out_visible.Width,
              out_visible.Height);
    return true;
}

void TTarnwick_ViewportPanel::EndViewDrawing()
{
    // Back to the state the widgets draw in; the Master draws the bar after this.
    TZAVglutWigits_Master* master = GetMaster();
    ResetWidgetGLState();
    SetWindowProjection(master->Width, master->Height);
    SetDrawOrigin(AbsX, AbsY);
}

void TTarnwick_ViewportPanel::LoadCamera()
{
    Viewport.Resize(Width, Height);
    float projection[16], model_view[16];
    Viewport.GetProjectionMatrix(SceneDepth(*TarnwickProject, Viewport.LookAt), projection);
    Viewport.GetModelViewMatrix(model_view);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(model_view);
}

void TTarnwick_ViewportPanel::CaptureDepth()
{
    Occlusion.Clear();
    GLint depth_bits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depth_bits);
    TZAVglutWigits_Rect visible;
    if (TarnwickProject == nullptr || depth_bits <= 0 || !BeginViewDrawing(visible))
        return;
    // The depth is drawn again rather than read from the last frame: the back buffer is undefined
    // after a swap, and other widgets may have drawn over it since.
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glClearDepth(1.0);
    glDepthMask(GL_TRUE);
    glClear(GL_DEPTH_BUFFER_BIT);
    LoadCamera();
    // What shows is what occludes; looks and overlays add no depth.
    TTarnwick_SceneView view = SceneView();
    view.Mode = TTarnwick_DisplayMode::Flat;
    view.Wireframe = false;
    view.Selection = nullptr;
    Scene->DrawScene(*TarnwickProject, view);

    // Where the window cuts the view off, nothing lies in front.
    std::vector<float> depths(size_t(Width) * size_t(Height), 1.0f);
    std::vector<float> shown(size_t(visible.Width) * size_t(visible.Height));
    const int32_t window_height = GetMaster()->Height;
    glReadPixels(visible.X, window_height - visible.Y - visible.Height, visible.Width, visible.Height,
                 GL_DEPTH_COMPONENT, GL_FLOAT, shown.data());
    // Rows bottom first, in the panel's own pixels.
    const size_t column = size_t(visible.X - AbsX);
    const size_t first_row = size_t(AbsY + Height - visible.Y - visible.Height);
    for (size_t row = 0; row < size_t(visible.Height); row++)
        std::copy_n(shown.begin() + std::ptrdiff_t(row * size_t(visible.Width)), visible.Width,
                    depths.begin() + std::ptrdiff_t((first_row + row) * size_t(Width) + column));
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    EndViewDrawing();
    Occlusion.Capture(Width, Height, depths);
}

TTarnwick_SceneView TTarnwick_ViewportPanel::SceneView() const
{
    TTarnwick_SceneView view;
    view.Mode = GetDisplayMode();
    view.PixelsPerUnit = float(std::max(Width, 1)) / (2.0f * Viewport.GetHalfWidth());
    view.LockTexture = FindPicture(SkinLock.Name).Id;
    view.Wireframe = Options.Wireframe != 0;
    view.BackFaces = Options.BackFaces != 0;
    view.Lighting = Options.Lighting != 0;
    view.ShowOthers = ObjectDisplay.ShowAll;
    view.DimOthers = ObjectDisplay.DimUnselected;
    if (TarnwickProject != nullptr) {
        std::copy_n(TarnwickProject->WireframeColor, 3, view.WireframeColor);
        view.Current = TarnwickProject->CurrentObject;
    }
    // The selection is what the brushes paint and what the deformers move.
    TTarnwick_Tool* tool = ApplicationToolbox().CurrentTool;
    if (Options.ShowSelection != 0 && (dynamic_cast<TTarnwick_SelectionBrush*>(tool) != nullptr ||
                                       dynamic_cast<TTarnwick_Deformer*>(tool) != nullptr))
        view.Selection = ToolMesh();
    return view;
}

void TTarnwick_ViewportPanel::Draw()
{
    // Raw GL below: queued text must not end up under the view.
    FlushTextBatch();
    TZAVglutWigits_Rect visible;
    if (!BeginViewDrawing(visible))
        return;
    const float* background = TarnwickProject != nullptr ? TarnwickProject->BackgroundColor : BackgroundColor;
    glClearColor(background[0], background[1], background[2], 1.0f);
    glClearDepth(1.0);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    if (TarnwickProject != nullptr) {
        LoadCamera();
        Scene->DrawScene(*TarnwickProject, SceneView());
        TTarnwick_Tool* tool = ApplicationToolbox().CurrentTool;
        if (tool != nullptr && tool->DrawsCursor && CursorInside)
            if (TTarnwick_Mesh* mesh = ToolMesh()) {
                UpdateToolView(*mesh);
                // Cursors draw in the view's normalised space, unlit and over the scene.
                ResetWidgetGLState();
                glEnable(GL_SCISSOR_TEST);
                tool->DrawCursor(*mesh, ToolView, CursorX, CursorY);
            }
    }
    CachedImageValid = true;
    EndViewDrawing();
}

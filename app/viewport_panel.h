// TTarnwick_ViewportPanel: the widget that shows one 3D view of the scene and carries its button
// bar: navigation buttons that turn drags into rotation, roll, pan and zoom, the orientation menu
// of the six standard views, fitting, and the display modes.
//
// Navigation through a bar button (the pointer is warped back onto the button at every movement,
// so a drag is unlimited; the virtual pointer position adds up the movements):
//   press on the button  -> start point (the virtual pointer), saved rotation and zoom taken
//   drag                 -> NavOnMotionCB with the movement; the view follows the virtual pointer
//   release              -> nothing
// A left drag in the view itself rotates the same way, following the real pointer, unless a tool
// is current: then the view's mouse input is the tool's (press, drag, release, and its cursor).
// A brush's press first takes the depth of the scene as the view shows it, so that the stroke
// leaves alone what lies behind other geometry.
#pragma once

#include <cstdint>
#include <memory>

#include "app/scene_drawing.h"
#include "app/viewport_camera.h"
#include "tools/depth_occlusion.h"
#include "tools/tool_view.h"
#include "widgets/node.h"

class TZAVglutWigits_Button;

// The display switches of one view; integers so that check boxes can bind them. They live as long
// as the view and are not saved with the project.
struct TTarnwick_ViewOptions
{
    int32_t Wireframe = 0;
    int32_t BackFaces = 0;
    // The current selection's weights over the figure while a selection brush or a deformer is
    // the tool.
    int32_t ShowSelection = 1;
    int32_t Lighting = 1;

    bool operator==(const TTarnwick_ViewOptions&) const = default;
};

class TTarnwick_ViewportPanel : public TZAVglutWigits_Node
{
public:
    static constexpr int32_t BarHeight = 24;

    // index is the panel's place among the four (0..3).
    TTarnwick_ViewportPanel(TZAVglutWigits_Node* parent, int32_t index);
    ~TTarnwick_ViewportPanel() override;

    // Sets the standard view of commands 155 to 161: camera, button image and label, redraw. The
    // command's status line is the dispatcher's.
    void SetView(TTarnwick_StandardView view);
    // Fits the view to the current object of the current project; false without vertices.
    bool FitToObject();
    // Drops the cached image of the view (nothing is cached yet, so only a redraw follows).
    void DiscardCachedImage();
    // Adds a pointer movement to the virtual pointer position (the pointer is warped back to the
    // navigation button while it drags).
    void AddPointerMovement(int32_t dx, int32_t dy);

    // The handler of the events the navigation buttons post while dragged: the event's ID is the
    // mode (TTarnwick_NavigationMode), its X and Y the pointer movement since the last event, its
    // WindowX and WindowY where the pointer goes back to, its Context the panel.
    static void NavOnMotionCB(TZAVEvent* event);
    bool Navigate(const TZAVEvent& event);
    // A navigation drag starts at the window position x, y (a navigation button's press).
    void BeginNavigationAt(int32_t x, int32_t y);

    // The view's rectangle in the window, for the pointer conversion.
    TTarnwick_ViewRect GetViewRect() const;
    TTarnwick_DisplayMode GetDisplayMode() const { return TTarnwick_DisplayMode(DisplayModeValue); }
    void SetDisplayMode(TTarnwick_DisplayMode mode);
    // The orientation button's label: the standard view's name, or "User".
    const std::string& GetViewLabel() const;
    // How the view draws the scene now: its display mode and options, the project's colours and
    // which objects show.
    TTarnwick_SceneView SceneView() const;

    void OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y) override;
    void OnMouseDrag(int32_t x, int32_t y) override;
    void OnPassiveMotion(int32_t x, int32_t y) override;
    void OnResize() override;
    void Layout() override;
    void Draw() override;

    int32_t Index = 0;
    TTarnwick_Viewport Viewport;
    TTarnwick_ViewOptions Options;

private:
    class TBarButton;
    class TNavigationButton;

    void BuildBar();
    // Applies the navigation mode to the view at the virtual pointer position.
    void NavigateToPointer(TTarnwick_NavigationMode mode);
    // The orientation button shows the current view's picture and name.
    // The width of the bar's buttons from first to the next group's first.
    int32_t GroupWidth(const TZAVglutWigits_Node* first) const;
    void ShowViewOnButton();
    void MarkImagesStale();
    // The mouse input of the view goes to the current tool, when there is one and a mesh to work
    // on: true then, whatever the tool made of it.
    bool RouteToTool(int32_t button, int32_t state, int32_t x, int32_t y);
    // The tool's view of this panel's camera, and the pointer in normalised view coordinates.
    // Whether the tool view's screen positions are brought up to date along with its camera.
    enum class TProjection
    {
        Vertices,
        CameraOnly,
    };
    void UpdateToolView(TTarnwick_Mesh& mesh, TProjection projection_kind = TProjection::Vertices);
    void ToView(int32_t x, int32_t y, float& out_x, float& out_y) const;
    // Draws the scene's depth alone (the colours stay) and keeps it for the tool view's occlusion
    // test; empties it when the window has no depth buffer or the view does not show.
    void CaptureDepth();
    // The GL viewport over the panel, clipped to what the window shows of it; false when nothing
    // shows. EndViewDrawing gives the widgets their state back.
    bool BeginViewDrawing(TZAVglutWigits_Rect& out_visible);
    void EndViewDrawing();
    // The camera's matrices into GL.
    void LoadCamera();

    TZAVglutWigits_Node* Bar = nullptr;
    TBarButton* OrientationButton = nullptr;
    std::shared_ptr<TTarnwick_SceneDrawing> Scene;
    // Painted maps show from the start; polygons without a resident map show their colour.
    int32_t DisplayModeValue = int32_t(TTarnwick_DisplayMode::Texture);
    // The virtual pointer position, in window pixels.
    int32_t PointerX = 0;
    int32_t PointerY = 0;
    // A left drag in the view is rotating it.
    bool DragRotating = false;
    // A press that the current tool took: its drags and release go to the tool too.
    bool ToolStroke = false;
    TTarnwick_ToolView ToolView;
    // The depth of the scene at the press of the current stroke, behind ToolView's occlusion test.
    TTarnwick_DepthOcclusion Occlusion;
    // Where the pointer was last seen over the view, for the tool's cursor.
    float CursorX = 0;
    float CursorY = 0;
    bool CursorInside = false;
    bool CachedImageValid = false;
};

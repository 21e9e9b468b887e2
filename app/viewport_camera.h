// TTarnwick_Viewport: the camera of one 3D view and the navigation that moves it, without any
// drawing, so that the view panel only turns pointer input into calls here and loads the matrices.
//
// Conventions:
//   - Rotation is 4 x 4, stored row by row, and applies to row vectors: eye = scene * Rotation.
//     OpenGL reads the same 16 floats column by column, so they load unchanged.
//   - Eye space looks down -Z with +X right and +Y up; LookAt sits at the centre of the view.
//   - VerticalScale is the view's height over its width. The shorter half-side of the view spans
//     Zoom * sqrt(VerticalScale) scene units around LookAt, so a bounding sphere of radius r fits
//     exactly when Zoom = r / sqrt(VerticalScale), the fit's rule.
//   - Normalised view coordinates run from -1 (left, bottom) to 1 (right, top).
//
// A navigation drag: BeginNavigation on the button press (start point, saved rotation and saved
// zoom taken), Navigate for each movement while dragging, nothing on release.
#pragma once

#include <cstdint>

#include "core/thingy.h"

class TZAVPolyMesh;
struct TTarnwick_ViewportState;

// The event IDs that the navigation buttons post.
enum class TTarnwick_NavigationMode : int32_t
{
    Rotate = 0,
    Roll = 1,
    Pan = 2,
    Zoom = 3,
};

// The orientation commands 155 to 161. 157 sits behind the button "RightView" and 158 behind
// "LeftView": each looks at the figure's own side of that name.
enum class TTarnwick_StandardView : int32_t
{
    Front = 155,
    Back = 156,
    Right = 157,
    Left = 158,
    Top = 159,
    Bottom = 160,
    Perspective = 161,
};

// What the panel shows for a standard view.
struct TTarnwick_StandardViewInfo
{
    const char* ButtonName;
    const char* StatusText;
};

// A view's rectangle in window pixels, y growing downwards.
struct TTarnwick_ViewRect
{
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 1;
    int32_t Height = 1;
};

// A window position in normalised view coordinates.
void WindowToView(const TTarnwick_ViewRect& rect, int32_t x, int32_t y, float& out_x, float& out_y);

class TTarnwick_Viewport : public TZAVThingy
{
public:
    static constexpr float MinimumZoom = 0.01f;
    // Vertical field of view of the perspective view; at LookAt it shows what the flat view shows.
    static constexpr float PerspectiveFieldOfView = 0.7853982f;

    TTarnwick_Viewport();

    // The project file keeps rotation, LookAt, Zoom and the flags; the rest stays as it is.
    void LoadState(const TTarnwick_ViewportState& state);
    void SaveState(TTarnwick_ViewportState& out_state) const;

    // Sets VerticalScale from the view's size; an empty view counts as square.
    void Resize(int32_t width, int32_t height);

    // Navigation. Modifiers are the widget modifier bits (ModifierShift, ModifierAlt).
    void BeginNavigation(float start_x, float start_y);
    // False for an unknown mode. scene_size is the project's scene size value, read by zooming.
    bool Navigate(TTarnwick_NavigationMode mode, float x, float y, int32_t modifiers, float scene_size);

    void SetStandardView(TTarnwick_StandardView view);
    // The rotation (and the saved one) of the front view turned round radians about the vertical
    // axis, then tipped tip radians about the horizontal one.
    void SetTurn(float round, float tip);
    static TTarnwick_StandardViewInfo GetStandardViewInfo(TTarnwick_StandardView view);

    // Centres the view on the box and zooms so that its bounding sphere fits.
    void FitToBox(const float box_min[3], const float box_max[3]);
    // Fits the box of the mesh's shown (displayed) vertices; false, changing nothing, without
    // vertices.
    bool FitToMesh(const TZAVPolyMesh& mesh);

    // Half-extents of the view at LookAt, in scene units.
    float GetHalfWidth() const;
    float GetHalfHeight() const { return GetHalfWidth() * VerticalScale; }

    // The matrices the view loads, column by column as OpenGL takes them. depth is how far in
    // front of and behind LookAt the projection keeps the scene.
    void GetProjectionMatrix(float depth, float out_matrix[16]) const;
    void GetModelViewMatrix(float out_matrix[16]) const;
    // A scene point through both matrices: normalised view x and y, and depth from -1 (near) to 1.
    // False when the point is behind the perspective eye.
    bool ProjectPoint(const float point[3], float depth, float out_view[3]) const;

    float Rotation[16];
    float SavedRotation[16];
    float LookAt[3] = {0, 0, 0};
    float Zoom = 1.0f;
    float SavedZoom = 1.0f;
    bool Perspective = false;
    int32_t Axis = 2;
    float VerticalScale = 1.0f;
    // Set by rotating or rolling; standard views and fitting end it.
    bool UserView = false;
    TTarnwick_StandardView LastStandardView = TTarnwick_StandardView::Front;
    bool Current = false;
    bool Maximized = false;
    int32_t CameraID = -1;

private:
    float StartX = 0;
    float StartY = 0;
};

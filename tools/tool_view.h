// TTarnwick_ToolView: what a tool needs of the viewport it works in, without the viewport itself:
// the view's two matrices as OpenGL loads them, its size in pixels, and the screen positions of
// the current mesh's vertices in that view.
//
// Screen space is the viewport's normalised space: x and y from -1 to 1 across the view, depth
// from -1 (near) to 1 (far). Distances are made round by scaling vertical differences by the
// aspect value, height / width, so a radius is a fraction of the view's half-width.
//
// UpdateScreenPositions also gives the mesh's vertices the facing-away mark.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

class TTarnwick_Mesh;

// Vertex marks that the tools write into the mesh's flag words.
enum TTarnwick_ToolVertexFlag : uint32_t
{
    ToolVertexFlag_FacingAway = 0x01,
    // Reached by the local-surface search.
    ToolVertexFlag_LocalSurface = 0x80,
};

enum TTarnwick_ToolPolygonFlag : uint32_t
{
    // A stroke changed one of the polygon's vertices (partial redraw).
    ToolPolygonFlag_Changed = 0x20,
    ToolPolygonFlag_LocalSurface = 0x80,
};

// Whether tools leave alone what the viewer cannot see (facing away, occluded).
enum class TTarnwick_Visibility
{
    Respected,
    Ignored,
};

// Whether a vertex is hidden behind other geometry in the view. The viewport that draws the scene
// provides it (it has the depth of what it drew).
using TTarnwick_OcclusionTest = std::function<bool(const TTarnwick_Mesh& mesh, int32_t vertex)>;

class TTarnwick_ToolView
{
public:
    TTarnwick_ToolView();

    // Matrices column by column, as OpenGL takes them; width and height in pixels. Marks the
    // screen positions stale.
    void SetCamera(const float model_view[16], const float projection[16], int32_t width, int32_t height,
                   bool perspective);

    float Aspect() const { return float(Height) / float(Width); }
    // x, y and depth in screen space; false when the point lies behind a perspective eye.
    bool ProjectPoint(const float point[3], float out_screen[3]) const;
    // Projection × model view, column by column.
    void GetSceneToScreen(float out_matrix[16]) const;
    // The unit direction the eye looks along, in scene space.
    void GetViewDirection(float out_direction[3]) const;
    // Scene-space position of a perspective eye.
    void GetEyePosition(float out_position[3]) const;

    // Projects the mesh's displayed positions and marks its vertices facing away, unless they are
    // up to date for this mesh, its displayed positions and this camera; after a partial update of
    // the mesh only the vertices its journal names.
    void UpdateScreenPositions(TTarnwick_Mesh& mesh);

    std::span<const float> ScreenPosition(int32_t vertex) const
    {
        return {Screen.data() + 3 * static_cast<size_t>(vertex), 3};
    }
    // The round distance on screen from (x, y) to the vertex.
    float ScreenDistance(int32_t vertex, float x, float y) const;
    // False without an occlusion test.
    bool IsOccluded(const TTarnwick_Mesh& mesh, int32_t vertex) const
    {
        return OcclusionTest && OcclusionTest(mesh, vertex);
    }

    float ModelView[16];
    float Projection[16];
    int32_t Width = 1;
    int32_t Height = 1;
    bool Perspective = false;
    // The camera's target point and zoom, which the deformers scale their movements by.
    float CameraTarget[3] = {0, 0, 0};
    float Zoom = 1.0f;
    TTarnwick_OcclusionTest OcclusionTest;
    // x, y, depth per vertex of the mesh last projected; vertices that are behind the eye get a
    // position far outside the view.
    std::vector<float> Screen;

private:
    // Every vertex without a list.
    void ProjectVertices(const TTarnwick_Mesh& mesh, const std::span<const int32_t>* list);
    void MarkFacing(TTarnwick_Mesh& mesh, const std::span<const int32_t>* list) const;

    bool Stale = true;
    const TTarnwick_Mesh* ProjectedMesh = nullptr;
    uint64_t ProjectedRevision = 0;
};

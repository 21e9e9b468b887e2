// Drawing the scene's meshes into a 3D view with vertex buffers.
//
// OBJ corners index positions, normals and texture vertices separately, while a vertex buffer has
// one index for all three. Each mesh therefore gets, once, a stream of unwelded vertices (one per
// distinct position / normal / texture vertex combination that some corner uses) and an index
// buffer of the fan-triangulated shown polygons, grouped by material (locked polygons apart: they
// are drawn white under the lock picture, whatever their material). When the displayed
// positions change (the mesh's DisplayRevision moves) only positions and normals go up again, in
// one pass; the stream and the indices are rebuilt only when the polygons, their visibility or the
// weld change.
//
// The buffers live in the GL context that drew them; the drawing object deletes them when it is
// destroyed or when their mesh left the project, so the context must be current then.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

class TTarnwick_Mesh;
class TTarnwick_Object;
class TTarnwick_Project;
class TTarnwick_Selection;

// The looks of the display buttons.
enum class TTarnwick_DisplayMode : int32_t
{
    Flat = 0,
    Smooth = 1,
    Texture = 2,
};

// How a view wants the scene drawn.
struct TTarnwick_SceneView
{
    TTarnwick_DisplayMode Mode = TTarnwick_DisplayMode::Smooth;
    // Window pixels per scene unit at the view's LookAt: the lock picture over locked polygons
    // repeats every LockRepeatPixels pixels.
    float PixelsPerUnit = 1.0f;
    // The interface picture tiled over locked polygons; 0 draws them plain white.
    uint32_t LockTexture = 0;
    // The mesh whose current selection is shown over it (while a brush or a deformer is current);
    // drawing it clears the mesh's SelectionDisplayStale.
    TTarnwick_Mesh* Selection = nullptr;
    // The polygons' edges in WireframeColor over the surface.
    bool Wireframe = false;
    float WireframeColor[3] = {0.0f, 0.0f, 0.0f};
    // Polygons facing away are drawn (and lit) too, instead of culled.
    bool BackFaces = false;
    // Off: every polygon in its plain colour, as bright from any side.
    bool Lighting = true;
    // The object the others are told apart from: they are left out without ShowOthers, and drawn
    // darker with DimOthers. Null treats every object as current.
    const TTarnwick_Object* Current = nullptr;
    bool ShowOthers = true;
    bool DimOthers = false;
};

// How much of its brightness a dimmed object keeps.
constexpr float DimmedObjectShade = 0.35f;

class TTarnwick_SceneDrawing
{
public:
    TTarnwick_SceneDrawing();
    ~TTarnwick_SceneDrawing();
    TTarnwick_SceneDrawing(const TTarnwick_SceneDrawing&) = delete;
    TTarnwick_SceneDrawing& operator=(const TTarnwick_SceneDrawing&) = delete;

    // Draws the objects of the project that have a mesh (the view says which and how), with the
    // camera matrices already loaded.
    // Caches of meshes no longer in the project are dropped first. Leaves lighting, depth test,
    // culling and texturing on for the caller to reset; the buffer bindings and client arrays are
    // left as it found them (none).
    void DrawScene(const TTarnwick_Project& project, const TTarnwick_SceneView& view);
    // Brings the mesh's buffers up to date without drawing.
    void UpdateMesh(const TTarnwick_Mesh& mesh);
    // Deletes the caches of every mesh not in meshes.
    void KeepOnly(std::span<const TTarnwick_Mesh* const> meshes);
    void Clear();

    int32_t CachedMeshCount() const { return int32_t(Caches.size()); }
    // How many times the whole stream and indices were built, and positions and normals sent:
    // what a test looks at to see that a mere position change does not rebuild the rest.
    int64_t StructureBuilds() const { return StructureBuildCount; }
    int64_t PositionUploads() const { return PositionUploadCount; }
    // The selection points the views showed last.
    int32_t SelectionPointCount() const { return int32_t(SelectionPoints.size() / 3); }

private:
    struct TMeshCache;

    TMeshCache& CacheFor(const TTarnwick_Mesh& mesh);
    // shade scales every colour (1 for the current object).
    void DrawMesh(const TTarnwick_Mesh& mesh, TMeshCache& cache, const TTarnwick_SceneView& view,
                  float shade);
    // The triangles' edges over what DrawMesh drew, a hair nearer so that the surface does not
    // hide them.
    void DrawWireframe(const TMeshCache& cache, const TTarnwick_SceneView& view);
    // The current selection as points, the redder the stronger its weight.
    void DrawSelection(TTarnwick_Mesh& mesh);

    std::unordered_map<const TTarnwick_Mesh*, std::unique_ptr<TMeshCache>> Caches;
    // The points of the selection drawn last, and what they were made from: the views share them
    // until the figure moves or the weights change.
    std::vector<float> SelectionPoints;
    std::vector<float> SelectionColours;
    const TTarnwick_Mesh* SelectionMesh = nullptr;
    const TTarnwick_Selection* SelectionShown = nullptr;
    uint64_t SelectionRevision = 0;
    int64_t StructureBuildCount = 0;
    int64_t PositionUploadCount = 0;
};

// The drawing shared by the views of one window (they share one GL context): made by the first
// panel that asks, destroyed with the last that holds it.
std::shared_ptr<TTarnwick_SceneDrawing> SharedSceneDrawing();

// A depth range that keeps every object of the project in a view looking at look_at: the distance
// from it to the farthest corner of the objects' boxes, with room for morphs.
float SceneDepth(const TTarnwick_Project& project, const float look_at[3]);

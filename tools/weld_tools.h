// The tools that change the mesh itself rather than a morph or a selection: welding vertices,
// merging objects into one and UV mapping the selected surface as a view shows it. Their panels
// only post commands; the work is done by the plain functions below, which the commands call
// after recording what they are about to change (TTarnwick_MeshShape).
//
// [SECTION] Commands and messages
// [SECTION] Mesh shape
// [SECTION] Welding
// [SECTION] UV mapping
// [SECTION] Merging
// [SECTION] The tools
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "mesh/sculpt_mesh.h"
#include "tools/deformer.h"
#include "tools/tool.h"

// [SECTION] Commands and messages

enum TTarnwick_MeshToolCommand : int32_t
{
    UVMapFromViewCommand = 93,
    ConvertPolygonsCommand = 94,
    WeldByThresholdCommand = 101,
    UnweldCommand = 102,
    MergeObjectsCommand = 120,
    WeldSelectedPointsCommand = 151,
};

inline constexpr const char* WeldingPointsStatus = "Welding the selected points together";
inline constexpr const char* NothingToWeldMessage = "No points are selected for welding";
inline constexpr const char* UVMappingStatus =
    "UV mapping the selected surface as it appears in the viewport.";
inline constexpr const char* NoViewportMessage = "Please select a viewport window";
inline constexpr const char* MergedObjectName = "Merged Object";
// Welds vertices closer than 10^-8 of the mesh's largest extent: only those that coincide.
inline constexpr float DefaultWeldThreshold = 8.0f;

// [SECTION] Mesh shape

// What the mesh edits here change: the base positions, the polygons with their corners and
// flags, the texture vertices, the vertex flags and the weld map. Kept before the change, so that
// undo can put the mesh back bit for bit.
struct TTarnwick_MeshShape
{
    static TTarnwick_MeshShape Capture(const TTarnwick_Mesh& mesh);
    // Puts the shape back and rebuilds what derives from it; false (nothing changed) when the
    // mesh's vertex count or sub-objects no longer fit the shape.
    bool Restore(TTarnwick_Mesh& mesh) const;
    int64_t ByteCount() const;

    struct TGroupRanges
    {
        TZAVIndexRange TexVertices;
        TZAVIndexRange Polygons;
    };

    std::vector<float> Vertices;
    std::vector<float> TexVertices;
    std::vector<int32_t> PolygonStart;
    std::vector<int16_t> PolygonMaterial;
    std::vector<int16_t> PolygonGroup;
    std::vector<int16_t> PolygonPart;
    std::vector<uint32_t> PolygonFlags;
    std::vector<uint32_t> PolygonLayerFlags;
    std::vector<int32_t> CornerVertex;
    std::vector<int32_t> CornerTexVertex;
    std::vector<int32_t> CornerNormal;
    std::vector<uint8_t> CornerVisible;
    std::vector<uint32_t> VertexFlags;
    std::vector<int32_t> WeldMap;
    uint8_t Welded = 0;
    // Per sub-object, the ranges the edits renumber.
    std::vector<TGroupRanges> GroupRanges;
};

// After the corners, the weld or the base positions changed: adjacency, displayed positions,
// normals and the drawing order.
void RefreshMeshAfterEdit(TTarnwick_Mesh& mesh);

// [SECTION] Welding

// The share of the mesh's largest extent below which the weld tool joins vertices: 10^-setting.
double WeldFactor(float weld_threshold);
// WeldByThreshold at WeldFactor(weld_threshold), then the adjacency through the new welds (the
// mesh's weld leaves that to its caller).
void WeldMeshByThreshold(TTarnwick_Mesh& mesh, float weld_threshold);
// Every vertex stands for itself again.
void UnweldMesh(TTarnwick_Mesh& mesh);

enum class TTarnwick_WeldOutcome
{
    Welded,
    NothingSelected,
};

// Joins the vertices of the current selection whose weight is above 0.1 at the mean of their
// displayed positions: the highest-numbered one takes over every corner of the others, which stay
// in the vertex array unused. The survivor's weight becomes 1, the others' 0.
TTarnwick_WeldOutcome WeldSelectedPoints(TTarnwick_Mesh& mesh);

// Replaces every polygon of five or more corners by quads and at most one triangle; each piece
// keeps its polygon's layers and flags, and the weld stays. False (nothing changed) when every
// polygon has three or four corners already.
bool ConvertToQuadsAndTriangles(TTarnwick_Mesh& mesh);

// [SECTION] UV mapping

// Polygons whose every corner's vertex has a weight above 0 in the current selection.
std::vector<int32_t> SelectedPolygons(const TTarnwick_Mesh& mesh);

// Gives every polygon corner a texture vertex of its own, copied from the one it used ((0, 0)
// for none).
void MakeTextureVerticesFree(TZAVPolyMesh& mesh);

enum class TTarnwick_UVMapOutcome
{
    Mapped,
    NoSelectedPolygons,
};

// Maps the selected polygons (those no layer hides or locks) as the view shows them: a corner
// at normalised view position (x, y) gets the texture coordinates ((x + 1) / 2, (y + 1) / 2).
// scene_to_screen is projection × model view, column by column. A fully selected mesh gets one
// texture vertex per vertex; otherwise every corner gets its own, so the polygons left out keep
// their coordinates.
TTarnwick_UVMapOutcome UVMapFromView(TTarnwick_Mesh& mesh, const float scene_to_screen[16]);

// [SECTION] Merging

// The merge panel's switches.
struct TTarnwick_MergeOptions
{
    // Only objects outside hidden groups of the object tree are merged.
    bool VisibleOnly = false;
    // Materials of the same name become one; without, the polygons have no material.
    bool KeepMaterials = true;
    // Polygon groups of the same name become one; without, the polygons have no group.
    bool KeepGroups = true;
    // Vertices that coincide where the objects meet are welded.
    bool WeldSeams = false;
    // The merged objects leave the project.
    bool DeleteOriginals = false;
};

// A new prepared mesh, "Merged Object", holding the meshes one after the other as they are
// shown (base plus morphs), each as a sub-object named after the mesh. Morphs, selections and
// texture maps do not come along: they belong to a vertex numbering the new mesh does not have.
std::unique_ptr<TTarnwick_Mesh> MergeMeshes(std::span<const TTarnwick_Mesh* const> meshes,
                                            const TTarnwick_MergeOptions& options);

// [SECTION] The tools

// The weld panel: the threshold and the weld and unweld buttons. As a deformer it moves nothing.
class TTarnwick_WeldVertices : public TTarnwick_Deformer
{
public:
    TTarnwick_WeldVertices();

    // Welds vertices closer than 10^-WeldThreshold of the mesh's largest extent.
    float WeldThreshold = DefaultWeldThreshold;

protected:
    void ComputeStep(TTarnwick_Mesh&, float, float) override {}
};

class TTarnwick_MergeObjects : public TTarnwick_Tool
{
public:
    TTarnwick_MergeObjects();

    TTarnwick_MergeOptions Options;
};

// The UV map panel; its overlay shows the texture coordinates of the chosen material's polygons
// over the view, the view standing for the unit texture square as in the mapping from the view.
class TTarnwick_UVMap : public TTarnwick_Tool
{
public:
    TTarnwick_UVMap();

    void DrawCursor(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y) override;
    void Selected(TTarnwick_Mesh* mesh) override;
    void Deselected(TTarnwick_Mesh* mesh) override;

    // Whether the overlay shows a polygon of that material.
    bool ShowsMaterial(int32_t material) const { return ShownMaterial < 0 || material == ShownMaterial; }

    // -1 shows every polygon.
    int32_t ShownMaterial = -1;

private:
    static void AnswerMaterialList(TTarnwick_Tool& tool, TZAVEvent& event);

    // The mesh whose materials the list shows; the tool is current while it is set.
    const TTarnwick_Mesh* ListedMesh = nullptr;
};

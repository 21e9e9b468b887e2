// Catmull-Clark subdivision of a sculpt mesh, and the whole-mesh snapshot that takes it back.
//
// Every polygon of n corners becomes n quads through its edge midpoints and its centre, triangles
// included: one rule for every polygon, and an all-quad result that subdivides evenly again. The
// positions are smoothed (a sculptor subdivides to get a finer surface of the same form, not the
// same facets with more vertices); the rules are linear, so every morph's displacements and every
// selection's weights go through the very same weights and carry over exactly. Texture
// coordinates are split linearly within each polygon's own corners: a new texture vertex is
// shared only where the old corners shared both ends of its edge, so seams stay seams.
//
// Topology follows the weld map: vertices welded together smooth as one, and the edge points of
// a welded edge are welded too. Edges used by one polygon, or by more than two, keep the boundary
// rules (a crease), and a corner of a single polygon stays put. The old vertices keep their
// order; each sub-object's vertices, texture vertices and polygons stay one block, in the order of
// the sub-objects.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/group.h"
#include "mesh/sculpt_mesh.h"

// The sizes a subdivision would make; the index types must hold them all.
struct TTarnwick_SubdivisionCounts
{
    int64_t Vertices = 0;
    int64_t TexVertices = 0;
    int64_t Polygons = 0;
    int64_t Corners = 0;

    bool Fit() const;
};

enum class TTarnwick_SubdivideOutcome
{
    Subdivided,
    NoPolygons,
    TooLarge,
};

// Subdivides the mesh with all its morphs and selections (hidden ones included); the current
// morph and selection stay current. New polygons take their parent's material, group, part,
// flags and layers. out_new_places, when given, receives the new index of every old vertex.
TTarnwick_SubdivideOutcome SubdivideMesh(TTarnwick_Mesh& mesh,
                                         std::vector<int32_t>* out_new_places = nullptr);

// The mesh's geometry, its flags and its sub-object ranges: what the subdivision replaces.
struct TTarnwick_MeshGeometry
{
    struct TRanges
    {
        TZAVIndexRange Vertices, TexVertices, Normals, Polygons, Lines;
    };

    int32_t VertexCount = 0;
    std::vector<float> Vertices;
    std::vector<float> TexVertices;
    std::vector<int32_t> PolygonStart;
    std::vector<int16_t> PolygonMaterial;
    std::vector<int16_t> PolygonGroup;
    std::vector<int16_t> PolygonPart;
    std::vector<int32_t> CornerVertex;
    std::vector<int32_t> CornerTexVertex;
    std::vector<int32_t> CornerNormal;
    std::vector<uint8_t> CornerVisible;
    std::vector<int32_t> LineStart;
    std::vector<int32_t> LineVertex;
    std::vector<int32_t> LineTexVertex;
    std::vector<uint32_t> VertexFlags;
    std::vector<uint32_t> PolygonFlags;
    std::vector<uint32_t> PolygonLayerFlags;
    std::vector<int32_t> WeldMap;
    uint8_t Welded = 0;
    std::vector<TRanges> GroupRanges;
};

// The geometry with every morph's and selection's values as they are stored: restoring it gives
// the mesh back bit for bit, whatever its vertex count meanwhile.
struct TTarnwick_MeshSnapshot : TTarnwick_MeshGeometry
{
    static TTarnwick_MeshSnapshot Capture(TTarnwick_Mesh& mesh);
    void Restore(TTarnwick_Mesh& mesh) const;
    int64_t ByteCount() const;

    struct TItem
    {
        int32_t ID = -1;
        bool Compressed = false;
        // Expanded: vcount × components values; compressed: the records' indices and values.
        std::vector<int32_t> Indices;
        std::vector<float> Values;
    };

    std::vector<TItem> Morphs;
    std::vector<TItem> Selections;
    // Where each captured vertex went in the mesh that replaced it (empty: at its own index). A
    // morph or selection made since has its values at those places taken back.
    std::vector<int32_t> NewPlaces;
};

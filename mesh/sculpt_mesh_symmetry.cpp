// TTarnwick_Mesh: symmetry. The mirror tables pair vertices across the plane of SymmetryAxis; the
// operations copy or exchange the current morph's displacements, or the current selection's
// weights, across it.
#include "mesh/sculpt_mesh.h"

#include <numeric>
#include <vector>

void TTarnwick_Mesh::BuildMirrorTables(int32_t precision)
{
    MirrorTables.Build(Vertices, SymmetryAxis, precision, VertexFlags);
}

TTarnwick_MirrorTables::TContext TTarnwick_Mesh::MirrorContext() const
{
    TTarnwick_MirrorTables::TContext context;
    context.BasePositions = Vertices;
    context.VertexFlags = VertexFlags;
    context.Axis = SymmetryAxis;
    return context;
}

std::vector<int32_t> TTarnwick_Mesh::AllVertices() const
{
    std::vector<int32_t> vertices(VertexCount);
    std::iota(vertices.begin(), vertices.end(), 0);
    return vertices;
}

void TTarnwick_Mesh::MirrorDisplacements(std::span<float> displacements, TTarnwick_MirrorDirection direction,
                                         std::span<const int32_t> vertices) const
{
    MirrorTables.CopyDisplacements(displacements, direction, vertices, MirrorContext());
}

// The morph is worked on expanded and keeps its form.
template <typename TOperation> void TTarnwick_Mesh::WithCurrentMorphExpanded(TOperation operation)
{
    if (CurrentMorph == nullptr || CurrentMorph->vcount != VertexCount || VertexCount == 0)
        return;
    const bool was_compressed = CurrentMorph->IsCompressed();
    CurrentMorph->Expand();
    operation(std::span<float>(CurrentMorph->vertices(), 3 * static_cast<size_t>(VertexCount)));
    if (was_compressed)
        CurrentMorph->Compress();
}

void TTarnwick_Mesh::MirrorCurrentMorph(TTarnwick_MirrorDirection direction,
                                        std::span<const int32_t> vertices)
{
    WithCurrentMorphExpanded(
        [&](std::span<float> values) { MirrorDisplacements(values, direction, vertices); });
}

void TTarnwick_Mesh::MirrorCurrentMorph(TTarnwick_MirrorDirection direction)
{
    MirrorCurrentMorph(direction, AllVertices());
}

void TTarnwick_Mesh::ExchangeCurrentMorphSides(std::span<const int32_t> vertices)
{
    WithCurrentMorphExpanded([&](std::span<float> values) {
        MirrorTables.ExchangeDisplacements(values, vertices, MirrorContext());
    });
}

void TTarnwick_Mesh::ExchangeCurrentMorphSides()
{
    ExchangeCurrentMorphSides(AllVertices());
}

void TTarnwick_Mesh::MirrorCurrentSelection(TTarnwick_MirrorDirection direction,
                                            std::span<const int32_t> vertices)
{
    if (CurrentSelection == nullptr || CurrentSelection->vcount != VertexCount || VertexCount == 0)
        return;
    const bool was_compressed = CurrentSelection->IsCompressed();
    CurrentSelection->Expand();
    MirrorTables.CopyWeights(std::span<float>(CurrentSelection->vselect(), VertexCount), direction, vertices,
                             MirrorContext());
    if (was_compressed)
        CurrentSelection->Compress();
    SelectionDisplayStale = true;
}

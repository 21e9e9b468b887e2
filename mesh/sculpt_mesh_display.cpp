// TTarnwick_Mesh: the displayed positions (base plus the morphs in use), their full and incremental
// updates, the entry points of their normals and the spatial index over them.
//
// [SECTION] Normals
// [SECTION] Displayed positions
// [SECTION] Octree
#include "mesh/sculpt_mesh.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

#include "core/report.h"
#include "mesh/normals.h"

namespace {

constexpr float NegligibleStrength = 1e-30f;

// Spatial index: levels, and polygons per leaf = polygon count / 8^5 (at least one).
constexpr int32_t OctreeLevels = 5;
constexpr int32_t OctreeLeafDivisor = 8 * 8 * 8 * 8 * 8;

// The morph of the displacements at `vertices`, added to positions with factor; a compressed
// morph is searched, since its records are sorted by vertex.
void AddMorphAt(TTarnwick_Morph* morph, float factor, std::span<const int32_t> vertices, float* positions)
{
    if (morph == nullptr || std::fabs(factor) <= NegligibleStrength)
        return;
    if (morph->IsCompressed()) {
        const TTarnwick_MorphDelta* deltas = morph->Deltas();
        const TTarnwick_MorphDelta* end = deltas + morph->DeltaCount;
        for (int32_t vertex : vertices) {
            const TTarnwick_MorphDelta* found =
                std::lower_bound(deltas, end, vertex, [](const TTarnwick_MorphDelta& delta, int32_t index) {
                    return delta.Index < index;
                });
            if (found == end || found->Index != vertex)
                continue;
            float* position = positions + 3 * static_cast<size_t>(vertex);
            for (int32_t k = 0; k < 3; k++)
                position[k] += factor * found->Value[k];
        }
        return;
    }
    const float* values = morph->vertices();
    for (int32_t vertex : vertices) {
        if (vertex >= morph->vcount)
            continue;
        float* position = positions + 3 * static_cast<size_t>(vertex);
        const float* value = values + 3 * static_cast<size_t>(vertex);
        for (int32_t k = 0; k < 3; k++)
            position[k] += factor * value[k];
    }
}

// Calls visit(morph) for every morph of the tree, hidden groups included.
template <typename TVisit> void ForEachMorph(TTarnwick_TreeGroup* tree, TVisit visit)
{
    auto callback = [](TTarnwick_TreeGroup* group, int32_t, void* data) {
        for (TTarnwick_Thingy* item : group->List)
            if (auto* morph = dynamic_cast<TTarnwick_Morph*>(item))
                (*static_cast<TVisit*>(data))(morph);
        return true;
    };
    TTarnwick_TreeGroup::Walk(tree, 0, callback, &visit, TZAVWalkOrder::PreOrder);
}

// A morph that strokes edit, added over the base by its factor; null when absent or negligible.
struct TEditedMorph
{
    TTarnwick_Morph* Morph;
    float Factor;
};

// The current morph, then the temporary morph: at full strength when not mixing (the temporary
// morph twice when it is current), by their strengths and each once when mixing.
std::array<TEditedMorph, 2> EditedMorphs(const TTarnwick_Mesh& mesh)
{
    std::array<TEditedMorph, 2> edited{{{mesh.CurrentMorph, 1.0f}, {mesh.TempMorph, 1.0f}}};
    if (mesh.MixMorphs) {
        if (mesh.CurrentMorph == mesh.TempMorph2)
            edited[0].Morph = nullptr;
        if (mesh.TempMorph == mesh.CurrentMorph)
            edited[1].Morph = nullptr;
        for (TEditedMorph& morph : edited)
            if (morph.Morph != nullptr)
                morph.Factor = morph.Morph->Strength;
    }
    for (TEditedMorph& morph : edited)
        if (std::fabs(morph.Factor) <= NegligibleStrength)
            morph.Morph = nullptr;
    return edited;
}

} // namespace

// [SECTION] Normals

TNormalOutput TTarnwick_Mesh::SculptNormalOutput()
{
    TNormalOutput output = NormalOutput();
    output.NormalBounds = PolygonNormalBounds;
    return output;
}

void TTarnwick_Mesh::ComputePolygonNormal(int32_t polygon)
{
    if (PolygonNormalBounds.size() != 6 * static_cast<size_t>(PolygonCount))
        PolygonNormalBounds.assign(6 * static_cast<size_t>(PolygonCount), 0.0f);
    ComputeSculptPolygonNormal(NormalInput(DisplayedVertices), SculptNormalOutput(), polygon, nullptr);
}

void TTarnwick_Mesh::ComputePolygonNormals(TZAVNormalScope scope)
{
    if (PolygonNormals.size() != 3 * static_cast<size_t>(PolygonCount) ||
        PolygonAreas.size() != static_cast<size_t>(PolygonCount) ||
        PolygonNormalBounds.size() != 6 * static_cast<size_t>(PolygonCount)) {
        PolygonNormals.assign(3 * static_cast<size_t>(PolygonCount), 0.0f);
        PolygonAreas.assign(PolygonCount, 0.0f);
        PolygonNormalBounds.assign(6 * static_cast<size_t>(PolygonCount), 0.0f);
        scope = TZAVNormalScope::All;
    }
    const TNormalInput input = NormalInput(DisplayedVertices);
    if (scope == TZAVNormalScope::DirtyOnly && !DirtyPolygons.empty()) {
        ComputeSculptPolygonNormals(input, SculptNormalOutput(), DirtyPolygons, nullptr);
        return;
    }
    ComputeSculptPolygonNormals(input, SculptNormalOutput(), 0, PolygonCount);
}

void TTarnwick_Mesh::ComputeVertexNormal(int32_t vertex)
{
    ComputeSculptVertexNormal(NormalInput(DisplayedVertices), SculptNormalOutput(), vertex);
}

void TTarnwick_Mesh::ComputeVertexNormals(TZAVNormalScope scope)
{
    if (Normals.size() != 3 * static_cast<size_t>(VertexCount) || NormalCount != VertexCount) {
        MakeNormalsFollowVertices();
        scope = TZAVNormalScope::All;
    }
    const TNormalInput input = NormalInput(DisplayedVertices);
    if (scope == TZAVNormalScope::DirtyOnly && !DirtyVertices.empty()) {
        ComputeSculptVertexNormals(input, SculptNormalOutput(), DirtyVertices);
        return;
    }
    ComputeSculptVertexNormals(input, SculptNormalOutput(), 0, VertexCount);
}

void TTarnwick_Mesh::ComputeNormals(TZAVNormalScope scope)
{
    if (DisplayedVertices.size() != Vertices.size())
        DisplayedVertices = Vertices;
    ComputePolygonNormals(scope);
    ComputeVertexNormals(scope);
}

// [SECTION] Displayed positions

bool TTarnwick_Mesh::MorphNotInUse_OnVisitMorph(TTarnwick_TreeGroup* group, int32_t, void* data)
{
    auto* mesh = static_cast<TTarnwick_Mesh*>(data);
    for (TTarnwick_Thingy* item : group->List) {
        auto* morph = dynamic_cast<TTarnwick_Morph*>(item);
        if (morph != nullptr && morph != mesh->TempMorph2 && morph != mesh->CurrentMorph)
            morph->PageOut();
    }
    return true;
}

bool TTarnwick_Mesh::ResolveVertices_OnVisitMorph(TTarnwick_TreeGroup* group, int32_t, void* data)
{
    auto* mesh = static_cast<TTarnwick_Mesh*>(data);
    for (TTarnwick_Thingy* item : group->List) {
        auto* morph = dynamic_cast<TTarnwick_Morph*>(item);
        if (morph == nullptr || morph == mesh->TempMorph2)
            continue;
        if (std::fabs(morph->Strength) < NegligibleStrength && morph != mesh->CurrentMorph) {
            morph->PageOut();
            continue;
        }
        morph->PageIn();
        if (!mesh->InMixedBase(morph))
            continue;
        morph->AddToVertices(mesh->MixedBase, morph->Strength);
        mesh->MixedBaseMorphs.push_back({morph, morph->ID, std::bit_cast<uint32_t>(morph->Strength)});
    }
    return true;
}

bool TTarnwick_Mesh::InMixedBase(const TTarnwick_Morph* morph) const
{
    return morph != TempMorph2 && morph != CurrentMorph && morph != TempMorph &&
           std::fabs(morph->Strength) >= NegligibleStrength;
}

void TTarnwick_Mesh::BuildMixedBase()
{
    MixedBase = Vertices;
    MixedBaseMorphs.clear();
    MixedBaseCurrent = CurrentMorph;
    TTarnwick_TreeGroup::Walk(MorphTree.get(), 0, ResolveVertices_OnVisitMorph, this,
                              TZAVWalkOrder::PreOrder);
    MixedBaseValid = true;
}

bool TTarnwick_Mesh::MixedBaseFits()
{
    if (!MixedBaseValid || MixedBaseCurrent != CurrentMorph || MixedBase.size() != Vertices.size())
        return false;
    MixedMorphScratch.clear();
    ForEachMorph(MorphTree.get(), [&](TTarnwick_Morph* morph) {
        if (InMixedBase(morph))
            MixedMorphScratch.push_back({morph, morph->ID, std::bit_cast<uint32_t>(morph->Strength)});
    });
    return MixedMorphScratch == MixedBaseMorphs;
}

void TTarnwick_Mesh::DropMixedBase()
{
    std::vector<float>().swap(MixedBase);
    MixedBaseMorphs.clear();
    MixedBaseCurrent = nullptr;
    MixedBaseValid = false;
}

void TTarnwick_Mesh::ResolveVertices()
{
    DisplayRevision++;
    RestartDisplayJournal();
    DropOctree();
    if (MixMorphs) {
        BuildMixedBase();
        DisplayedVertices = MixedBase;
        for (const TEditedMorph& edited : EditedMorphs(*this))
            if (edited.Morph != nullptr)
                edited.Morph->AddToVertices(DisplayedVertices, edited.Factor);
        return;
    }
    DropMixedBase();
    DisplayedVertices = Vertices;
    TTarnwick_TreeGroup::Walk(MorphTree.get(), 0, MorphNotInUse_OnVisitMorph, this, TZAVWalkOrder::PreOrder);
    if (CurrentMorph != nullptr)
        CurrentMorph->AddToVertices(DisplayedVertices, 1.0f);
    if (TempMorph != nullptr)
        TempMorph->AddToVertices(DisplayedVertices, 1.0f);
}

void TTarnwick_Mesh::UpdateVertices(std::span<const int32_t> changed_vertices, TIndexUpdate indexes)
{
    if (DisplayedVertices.size() != Vertices.size()) {
        ResolveVertices();
        ComputeNormals(TZAVNormalScope::All);
        return;
    }
    auto check = [&](int32_t vertex) {
        if (static_cast<uint32_t>(vertex) >= static_cast<uint32_t>(VertexCount))
            ReportError("Vertex %d of %d in TTarnwick_Mesh::UpdateVertices()", vertex, VertexCount);
    };
    DisplayRevision++;
    PolygonMarks.Resize(PolygonCount);
    VertexMarks.Resize(VertexCount);
    if (!MixMorphs)
        DropMixedBase();
    else if (!MixedBaseFits())
        BuildMixedBase();

    // Positions of the changed vertices: the base (mixed or not), then the edited morphs, in the
    // order of ResolveVertices, so that both round alike.
    const float* base = MixMorphs ? MixedBase.data() : Vertices.data();
    float* positions = DisplayedVertices.data();
    const std::array<TEditedMorph, 2> edited = EditedMorphs(*this);
    auto expanded = [&](const TEditedMorph& morph) {
        return morph.Morph == nullptr || (!morph.Morph->IsCompressed() && morph.Morph->vcount >= VertexCount);
    };
    if (expanded(edited[0]) && expanded(edited[1])) {
        // A stroke's usual case in one pass; a vertex named twice is simply computed twice.
        const float* current = edited[0].Morph != nullptr ? edited[0].Morph->vertices() : nullptr;
        const float* temporary = edited[1].Morph != nullptr ? edited[1].Morph->vertices() : nullptr;
        const float current_factor = edited[0].Factor;
        const float temporary_factor = edited[1].Factor;
        for (int32_t vertex : changed_vertices) {
            check(vertex);
            const size_t offset = 3 * static_cast<size_t>(vertex);
            for (size_t k = offset; k < offset + 3; k++) {
                float position = base[k];
                if (current != nullptr)
                    position += current_factor * current[k];
                if (temporary != nullptr)
                    position += temporary_factor * temporary[k];
                positions[k] = position;
            }
        }
    } else {
        // The morphs are added vertex list by vertex list, so each vertex must come once.
        for (int32_t vertex : changed_vertices)
            check(vertex);
        const TTarnwick_MarkSet::TMarker marker = VertexMarks.Marker();
        for (int32_t vertex : changed_vertices)
            marker.Mark(vertex);
        VertexMarks.Take(ChangedVertices);
        changed_vertices = ChangedVertices;
        for (int32_t vertex : changed_vertices)
            std::copy_n(base + 3 * static_cast<size_t>(vertex), 3,
                        positions + 3 * static_cast<size_t>(vertex));
        for (const TEditedMorph& morph : edited)
            AddMorphAt(morph.Morph, morph.Factor, changed_vertices, positions);
    }

    if (PolygonNormals.size() != 3 * static_cast<size_t>(PolygonCount) ||
        Normals.size() != 3 * static_cast<size_t>(VertexCount) ||
        PolygonNormalBounds.size() != 6 * static_cast<size_t>(PolygonCount)) {
        DropOctree();
        RestartDisplayJournal();
        ComputeNormals(TZAVNormalScope::All);
        return;
    }

    RefreshSculptNormals(NormalInput(DisplayedVertices), SculptNormalOutput(), changed_vertices,
                         {PolygonMarks, VertexMarks, DirtyPolygons, DirtyVertices});
    if (indexes == TIndexUpdate::Deferred)
        return;
    if (Octree)
        Octree->MarkChanged(changed_vertices, DirtyPolygons);
    JournalDisplayChange(changed_vertices);
    JournalDisplayChange(DirtyVertices);
}

void TTarnwick_Mesh::JournalDisplayChange(std::span<const int32_t> vertices)
{
    if (InJournal.size() != static_cast<size_t>(VertexCount)) {
        InJournal.assign(VertexCount, 0);
        Journal.clear();
        JournalStart = DisplayRevision;
        return;
    }
    for (int32_t vertex : vertices) {
        if (InJournal[vertex])
            continue;
        InJournal[vertex] = 1;
        Journal.push_back(vertex);
    }
    // Past a quarter of the figure, projecting everything again is as cheap as reading the journal.
    if (Journal.size() > static_cast<size_t>(VertexCount) / 4)
        RestartDisplayJournal();
}

void TTarnwick_Mesh::RestartDisplayJournal()
{
    for (int32_t vertex : Journal)
        InJournal[vertex] = 0;
    Journal.clear();
    JournalStart = DisplayRevision;
}

void TTarnwick_Mesh::GetVertex(int32_t vertex, float out_position[3]) const
{
    std::copy_n(&DisplayedVertices[3 * static_cast<size_t>(vertex)], 3, out_position);
}
// [SECTION] Octree

void TTarnwick_Mesh::BuildOctree()
{
    auto octree = std::make_unique<TZAVOctree>();
    TZAVOctree::TBuildInput input;
    input.Mesh = this;
    input.Positions = DisplayedVertices;
    input.NormalBounds = PolygonNormalBounds;
    input.Levels = OctreeLevels;
    input.PolygonsPerLeaf = std::max(1, PolygonCount / OctreeLeafDivisor);
    octree->Build(input);
    Octree = std::move(octree);
}

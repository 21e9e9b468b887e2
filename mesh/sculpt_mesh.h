// TTarnwick_Mesh: the mesh the user sculpts and paints. To the base geometry of TZAVPolyMesh it
// adds the displayed positions (base plus morphs), the morph and selection trees with a current
// morph and selection, hidden temporary morphs and selection for the tools, symmetry tables,
// per-polygon normal bounds, the polygon layer masks, a spatial index built on demand, and the
// "mesh" text block of a project file.
//
// Keeping the display up to date:
//   - UpdateVertices(changed) after a morph changed some vertices: recomputes the displayed
//     positions of those vertices, the normals of the polygons around them and the vertex normals
//     of those polygons' vertices, and nothing else. The touched polygons and vertices are left in
//     DirtyPolygons and DirtyVertices, in ascending order.
//   - ResolveVertices (positions) then ComputeNormals(TZAVNormalScope::All) after a change of mode or of the
//     morphs in use.
// While mixing, the mix of every morph that strokes do not edit (all but the current and the
// temporary morph) is kept as a mixed base, so that an update costs the same however many morphs
// are dialled in. UpdateVertices rebuilds it when the current morph, the mix set or another
// morph's strength changed; after changing the base positions or the displacements of a morph
// other than the current and temporary ones, call ResolveVertices.
//
// [SECTION] Flags and notices
// [SECTION] TTarnwick_Mesh
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "mesh/mark_set.h"
#include "mesh/mirror_table.h"
#include "mesh/morph.h"
#include "mesh/morph_tree.h"
#include "mesh/octree.h"
#include "mesh/poly_mesh.h"
#include "mesh/selection.h"

// [SECTION] Flags and notices

// Notices shown at most once per run; the application keeps the word in its option flags.
enum TTarnwick_NoticeFlag : uint32_t
{
    Notice_None = 0,
    Notice_ReadOnlySelectionShown = 1 << 0,
    Notice_ReadOnlyMorphShown = 1 << 1,
};

// What SetCurrentSelection does to the selection that stops being current.
enum class TZAVOldSelection
{
    Keep,
    Compress,
};

// The name a baked morph gets until the language file has an entry for it.
inline constexpr const char* BakedMorphDefaultName = "Baked Morph";

// Reads one "map" block (the reader stands after its header line, whose value is `name`) into a
// new material map; null when the block could not be read, the reader holding the message. The
// maps are paint's, which mesh may not include, so paint installs the reader at start-up.
using TTarnwick_MapBlockReader = TTarnwick_Thingy* (*)(TZAVTextReader& reader, std::string_view name);
// Completes a map read by the block reader once the whole mesh block is read (its pixels may be
// decoded meanwhile); false, with the reason, drops the map.
using TTarnwick_MapBlockFinisher = bool (*)(TTarnwick_Thingy& map, std::string& out_problem);

// [SECTION] TTarnwick_Mesh

class TTarnwick_Mesh : public TZAVPolyMesh, public TTarnwick_Thingy
{
public:
    // Empty, with the trees, the hidden items and the defaults of a mesh of no vertices.
    TTarnwick_Mesh();
    ~TTarnwick_Mesh() override;

    // TZAVPolyMesh. Normals come from the displayed positions, with the sculpt rounding of
    // normals.h; the polygon passes also keep the polygons' normal bounds.
    void ComputePolygonNormal(int32_t polygon) override;
    void ComputePolygonNormals(TZAVNormalScope scope) override;
    void ComputeVertexNormal(int32_t vertex) override;
    void ComputeVertexNormals(TZAVNormalScope scope) override;
    // The base allocation, then fresh trees with "Default Morph" and "Default Selection" current,
    // the hidden items and zeroed layer masks.
    void Allocate(int32_t vertex_count, int32_t tex_vertex_count, int32_t normal_count,
                  int32_t polygon_count) override;
    // Sizes the mesh's own per-polygon arrays, resolves the displayed positions, then the base Prepare.
    void Prepare() override;
    // The displayed position.
    void GetVertex(int32_t vertex, float out_position[3]) const override;
    // Polygon normals, then vertex normals, both limited to the dirty lists with DirtyOnly.
    void ComputeNormals(TZAVNormalScope scope) override;
    // Takes a loader's geometry and starts the sculpt data afresh for it (trees, defaults, masks).
    void AdoptContents(TZAVPolyMesh& source) override;
    TZAVMaterial* CreateMaterial() const override;
    TZAVGroup2* CreateGroup2() const override;

    // TTarnwick_Thingy: the "mesh" block. The mesh is read whole into temporaries and applied
    // only when every count, index and block size checks out; otherwise it stays as it was and
    // the reader holds the message.
    bool SaveToStream_Text(FILE* file) override;
    bool LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                             std::string_view value) override;
    bool LoadFromStream_Text(TZAVTextReader& reader) override;
    // A loaded weld map is kept aside because Prepare starts a fresh one; the owner installs it
    // after Prepare. False (nothing changed) when the block carried none of the right size.
    bool InstallLoadedWeldMap();

    // Morphs and selections. A null item clears the current one.
    void SetCurrentMorph(TTarnwick_Morph* morph);
    void SetCurrentSelection(TTarnwick_Selection* selection, TZAVOldSelection old);
    // A new item of the mesh's vertex count, appended to the group of row `position` of the tree
    // view (the root for -1 or a row that does not exist).
    TTarnwick_Morph* NewMorph(int32_t position);
    TTarnwick_Selection* NewSelection(int32_t position);
    // A new current morph holding displayed - base for every vertex, Strength 0.
    TTarnwick_Morph* BakeToNewMorph(int32_t position);

    // Read-only checks for tools: false when the current item is read-only, after showing its
    // notice unless notice_flags says it was shown this run.
    bool CheckMorphWritable(uint32_t& notice_flags) const;
    bool CheckSelectionWritable(uint32_t& notice_flags) const;

    // Displayed positions = base + morphs in use (see the class comment). While mixing they are
    // added in tree order, except that the current morph and then the temporary morph come last.
    void ResolveVertices();
    // Repeats in changed_vertices are allowed. A stroke that updates the same vertices step after
    // step may defer the octree's refit marks and the display journal until its last update, which
    // must then name every vertex it left away from where it was before the stroke.
    enum class TIndexUpdate
    {
        Now,
        Deferred,
    };
    void UpdateVertices(std::span<const int32_t> changed_vertices, TIndexUpdate indexes = TIndexUpdate::Now);
    // Bytes held for the mixed base (none while not mixing).
    size_t MixedBaseBytes() const { return MixedBase.capacity() * sizeof(float); }
    std::span<const float> GetDisplayedPosition(int32_t vertex) const
    {
        return {DisplayedVertices.data() + 3 * static_cast<size_t>(vertex), 3};
    }

    // Spatial index over the displayed positions; dropped when the whole figure changes, its bounds
    // refitted when UpdateVertices moved some vertices.
    bool HasOctree() const { return Octree != nullptr; }
    void BuildOctree();
    void DropOctree() { Octree.reset(); }
    // The bounds are a cache of the positions, so the refit they may need does not count as a change.
    const TZAVOctree* GetOctree() const
    {
        if (Octree != nullptr && Octree->NeedsRefit())
            Octree->Refit();
        return Octree.get();
    }

    // The vertices whose displayed position or normal changed since revision DisplayJournalStart,
    // each once: a view that projected the figure at or after that revision brings itself up to
    // date from them instead of projecting every vertex again.
    std::span<const int32_t> DisplayJournal() const { return Journal; }
    uint64_t DisplayJournalStart() const { return JournalStart; }
    // The view whose facing-away marks the vertex flags hold.
    const void* FacingMarksView = nullptr;

    // Symmetry along SymmetryAxis. The tables match vertices by their base positions within
    // 10^-precision of the bounding box diagonal.
    void BuildMirrorTables(int32_t precision);
    // One-sided copy towards the side `direction` names, on the given vertices (all without a list).
    void MirrorCurrentMorph(TTarnwick_MirrorDirection direction, std::span<const int32_t> vertices);
    void MirrorCurrentMorph(TTarnwick_MirrorDirection direction);
    // Swaps the displacements of each vertex and its mirror vertex.
    void ExchangeCurrentMorphSides(std::span<const int32_t> vertices);
    void ExchangeCurrentMorphSides();
    // Copies the weights of the current selection towards the side `direction` names.
    void MirrorCurrentSelection(TTarnwick_MirrorDirection direction, std::span<const int32_t> vertices);
    // The same one-sided copy on any expanded displacement array of vcount × 3 floats.
    void MirrorDisplacements(std::span<float> displacements, TTarnwick_MirrorDirection direction,
                             std::span<const int32_t> vertices) const;

    // Without a reader "map" blocks are skipped as unclaimed; null uninstalls. The finisher may be
    // null.
    static void SetMapBlockReader(TTarnwick_MapBlockReader reader, TTarnwick_MapBlockFinisher finisher = nullptr);

    // Tree-walk callbacks (data is the mesh). ResolveVertices_OnVisitMorph pages the morphs in or
    // out by strength and adds those of the mixed base to it.
    static bool MorphNotInUse_OnVisitMorph(TTarnwick_TreeGroup* group, int32_t depth, void* mesh);
    static bool ResolveVertices_OnVisitMorph(TTarnwick_TreeGroup* group, int32_t depth, void* mesh);

    // Displayed positions, 3 floats per vertex; Vertices holds the base positions.
    std::vector<float> DisplayedVertices;
    // Raised whenever the displayed positions (and so the normals) may have changed, so that
    // drawing knows when to send them again.
    uint64_t DisplayRevision = 0;
    // Per polygon: component-wise minimum (3 floats) then maximum (3 floats) of its fan triangles'
    // unit normals.
    std::vector<float> PolygonNormalBounds;
    // Layer membership per polygon: bit i - 1 set for layer i.
    std::vector<uint32_t> PolygonLayerFlags;

    // The material maps, owned; paint's MaterialMapAt gives the typed view. A channel's
    // TextureIndex is a position in this list.
    TZAVMultiList<TTarnwick_Thingy*> MaterialMaps;

    std::unique_ptr<TTarnwick_MorphTreeGroup> MorphTree;
    std::unique_ptr<TTarnwick_SelectionTreeGroup> SelectionTree;
    // Owned by the trees.
    TTarnwick_MorphTreeGroup* HiddenMorphs = nullptr;
    TTarnwick_Morph* TempMorph = nullptr;
    TTarnwick_Morph* TempMorph2 = nullptr;
    TTarnwick_SelectionTreeGroup* HiddenSelections = nullptr;
    TTarnwick_Selection* TempSelection = nullptr;
    TTarnwick_Morph* CurrentMorph = nullptr;
    TTarnwick_Selection* CurrentSelection = nullptr;
    TTarnwick_MorphMixer Mixer;

    bool MixMorphs = false;
    int32_t SymmetryAxis = 0;
    TTarnwick_MirrorTables MirrorTables;
    bool ForceColorTextureDisplay = false;
    bool CanDrawSelection = false;
    bool AlwaysAllSelected = false;
    bool MapsEdited = false;
    // Set when the current selection changes; the selection display clears it when redrawn.
    bool SelectionDisplayStale = true;

private:
    struct TPendingMesh;
    // Defined beside the pending block, so that this header need not show it.
    struct TPendingMeshDeleter
    {
        void operator()(TPendingMesh* pending) const;
    };
    using TPendingMeshPtr = std::unique_ptr<TPendingMesh, TPendingMeshDeleter>;

    // Allocate without its sculpt data, for a reader that brings its own trees.
    void AllocateArrays(int32_t vertex_count, int32_t tex_vertex_count, int32_t normal_count,
                        int32_t polygon_count);
    // Steps 2 to 5 of Allocate: fresh trees and hidden items for the present vertex count.
    void StartSculptData();
    void AttachHiddenMorphs();
    void AttachHiddenSelections();
    TTarnwick_MirrorTables::TContext MirrorContext() const;
    std::vector<int32_t> AllVertices() const;
    template <typename TOperation> void WithCurrentMorphExpanded(TOperation operation);
    // The group of row `position` in the tree view, or the root.
    static TTarnwick_TreeGroup* GroupAtRow(TTarnwick_TreeGroup* tree, int32_t position);
    // Checks the pending block whole; empty when sound, otherwise the problem.
    std::string CheckPending(TPendingMesh& pending) const;
    void ApplyPending(TPendingMesh& pending);
    // NormalOutput with the normal bounds.
    TNormalOutput SculptNormalOutput();
    // Empties the mixer without deleting its morphs, which the trees own.
    void ForgetMixedMorphs();
    // A morph that the mixed base holds: identified twice, since a freed morph's address may be
    // reused, with its strength bit for bit.
    struct TMixedMorph
    {
        const TTarnwick_Morph* Morph;
        int32_t ID;
        uint32_t StrengthBits;
        bool operator==(const TMixedMorph&) const = default;
    };
    bool InMixedBase(const TTarnwick_Morph* morph) const;
    // Base positions plus every morph InMixedBase, in tree order, paging the morphs as the full
    // resolve does.
    void BuildMixedBase();
    // Whether the mixed base still holds what the tree and the current morph call for.
    bool MixedBaseFits();
    void DropMixedBase();
    bool ReadPendingDataBlock(TZAVTextReader& reader, std::string_view key);

    void JournalDisplayChange(std::span<const int32_t> vertices);
    // Every vertex may have moved: the journal starts again at the present revision.
    void RestartDisplayJournal();

    TPendingMeshPtr Pending;
    std::vector<int32_t> LoadedWeldMap;
    uint8_t LoadedWelded = 0;
    std::unique_ptr<TZAVOctree> Octree;
    // Scratch of UpdateVertices, kept so that an update allocates nothing: the polygons and
    // vertices met, and the changed vertices without repeats.
    TTarnwick_MarkSet PolygonMarks;
    TTarnwick_MarkSet VertexMarks;
    std::vector<int32_t> ChangedVertices;
    std::vector<int32_t> Journal;
    std::vector<uint8_t> InJournal;
    uint64_t JournalStart = 0;
    // The mixed base (3 floats per vertex) and what it was built from; MixedBaseMorphs is in order of
    // addition, MixedMorphScratch is where MixedBaseFits gathers the tree's present mix.
    std::vector<float> MixedBase;
    std::vector<TMixedMorph> MixedBaseMorphs;
    std::vector<TMixedMorph> MixedMorphScratch;
    const TTarnwick_Morph* MixedBaseCurrent = nullptr;
    bool MixedBaseValid = false;
};

using TTarnwick_MeshPtr = TTarnwick_Mesh*;

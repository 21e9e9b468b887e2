// TTarnwick_Mesh: construction and allocation, the trees with their current, new and temporary
// items, and the read-only notices. The displayed positions and their normals are in
// sculpt_mesh_display.cpp, the mirror operations in sculpt_mesh_symmetry.cpp and the text block in
// sculpt_mesh_text.cpp.
//
// [SECTION] Construction and allocation
// [SECTION] Current and new morphs and selections
#include "mesh/sculpt_mesh.h"

#include <vector>

#include "core/dialogs.h"

namespace {

constexpr const char* ReadOnlyMorphNotice =
    "The current morph is designated as read-only.\nThe read-only status can be changed in the \"Morph "
    "Manager\".";
constexpr const char* ReadOnlySelectionNotice =
    "The current selection is designated as read-only.\nThe read-only status can be changed in the "
    "\"Selection Manager\".";

} // namespace

// [SECTION] Construction and allocation

TTarnwick_Mesh::TTarnwick_Mesh()
{
    Mixer.Mesh = this;
    StartSculptData();
}

TTarnwick_Mesh::~TTarnwick_Mesh()
{
    MaterialMaps.Clear();
}

void TTarnwick_Mesh::Allocate(int32_t vertex_count, int32_t tex_vertex_count, int32_t normal_count,
                              int32_t polygon_count)
{
    AllocateArrays(vertex_count, tex_vertex_count, normal_count, polygon_count);
    StartSculptData();
}

void TTarnwick_Mesh::AllocateArrays(int32_t vertex_count, int32_t tex_vertex_count, int32_t normal_count,
                                    int32_t polygon_count)
{
    TZAVPolyMesh::Allocate(vertex_count, tex_vertex_count, normal_count, polygon_count);
    DisplayedVertices.assign(3 * static_cast<size_t>(vertex_count), 0.0f);
    DisplayRevision++;
    RestartDisplayJournal();
    PolygonLayerFlags.assign(polygon_count, 0);
    PolygonNormalBounds.assign(6 * static_cast<size_t>(polygon_count), 0.0f);
    MirrorTables.Reset(vertex_count);
    LoadedWeldMap.clear();
    DropOctree();
    DropMixedBase();
}

void TTarnwick_Mesh::AdoptContents(TZAVPolyMesh& source)
{
    TZAVPolyMesh::AdoptContents(source);
    DisplayedVertices = Vertices;
    DisplayRevision++;
    RestartDisplayJournal();
    PolygonLayerFlags.assign(PolygonCount, 0);
    PolygonNormalBounds.assign(6 * static_cast<size_t>(PolygonCount), 0.0f);
    MirrorTables.Reset(VertexCount);
    LoadedWeldMap.clear();
    DropOctree();
    StartSculptData();
}

void TTarnwick_Mesh::StartSculptData()
{
    CurrentMorph = nullptr;
    CurrentSelection = nullptr;
    ForgetMixedMorphs();
    DropMixedBase();
    MorphTree = std::make_unique<TTarnwick_MorphTreeGroup>();
    MorphTree->SetNameLiteral("Morph Targets");
    MorphTree->Label = "morphs";
    SelectionTree = std::make_unique<TTarnwick_SelectionTreeGroup>();
    SelectionTree->SetNameLiteral("Selections");
    SelectionTree->Label = "selections";
    AttachHiddenMorphs();
    AttachHiddenSelections();

    TTarnwick_Morph* morph = NewMorph(-1);
    morph->SetNameLiteral("Default Morph");
    SetCurrentMorph(morph);
    TTarnwick_Selection* selection = NewSelection(-1);
    selection->SetNameLiteral("Default Selection");
    SetCurrentSelection(selection, TZAVOldSelection::Compress);
}

void TTarnwick_Mesh::ForgetMixedMorphs()
{
    while (Mixer.List.Count() > 0)
        Mixer.List.RemoveAt(Mixer.List.Count() - 1);
}

void TTarnwick_Mesh::AttachHiddenMorphs()
{
    MorphTree->Owner = static_cast<uint32_t>(ID);
    HiddenMorphs = new TTarnwick_MorphTreeGroup();
    HiddenMorphs->SetNameLiteral("Hidden Morphs");
    HiddenMorphs->Hidden = true;
    MorphTree->AddChild(HiddenMorphs);
    TempMorph = new TTarnwick_Morph(VertexCount);
    TempMorph->SetNameLiteral("Temp Morph");
    TempMorph->Locked = true;
    TempMorph2 = new TTarnwick_Morph(VertexCount);
    TempMorph2->SetNameLiteral("Temp Morph 2");
    TempMorph2->Locked = true;
    HiddenMorphs->List.Add(TempMorph);
    HiddenMorphs->List.Add(TempMorph2);
}

void TTarnwick_Mesh::AttachHiddenSelections()
{
    SelectionTree->Owner = static_cast<uint32_t>(ID);
    HiddenSelections = new TTarnwick_SelectionTreeGroup();
    HiddenSelections->SetNameLiteral("Hidden Selections");
    HiddenSelections->Hidden = true;
    SelectionTree->AddChild(HiddenSelections);
    TempSelection = new TTarnwick_Selection(VertexCount);
    TempSelection->SetNameLiteral("Temp Selection");
    TempSelection->Locked = true;
    HiddenSelections->List.Add(TempSelection);
}

TZAVMaterial* TTarnwick_Mesh::CreateMaterial() const
{
    auto* material = new TTarnwick_Material;
    material->AddDefaultChannels();
    return material;
}

TZAVGroup2* TTarnwick_Mesh::CreateGroup2() const
{
    return new TTarnwick_Group;
}

void TTarnwick_Mesh::Prepare()
{
    if (PolygonLayerFlags.size() != static_cast<size_t>(PolygonCount))
        PolygonLayerFlags.assign(PolygonCount, 0);
    if (MirrorTables.VertexCount() != VertexCount)
        MirrorTables.Reset(VertexCount);
    ResolveVertices();
    TZAVPolyMesh::Prepare();
}

// [SECTION] Current and new morphs and selections

void TTarnwick_Mesh::SetCurrentMorph(TTarnwick_Morph* morph)
{
    if (morph == CurrentMorph && morph != nullptr) {
        morph->BecomeCurrent();
        return;
    }
    if (CurrentMorph != nullptr) {
        uint32_t release = TTarnwick_Release_None;
        if (morph != nullptr)
            release =
                TTarnwick_Release_Compress | (MixMorphs ? TTarnwick_Release_None : TTarnwick_Release_PageOut);
        CurrentMorph->StopBeingCurrent(release);
    }
    CurrentMorph = morph;
    // The previous current morph may have been edited since the mixed base was built.
    MixedBaseValid = false;
    if (morph != nullptr)
        morph->BecomeCurrent();
}

void TTarnwick_Mesh::SetCurrentSelection(TTarnwick_Selection* selection, TZAVOldSelection old)
{
    if (selection == CurrentSelection && selection != nullptr) {
        selection->BecomeCurrent();
        return;
    }
    if (CurrentSelection != nullptr) {
        uint32_t release = TTarnwick_Release_None;
        if (selection != nullptr)
            release =
                (old == TZAVOldSelection::Compress ? TTarnwick_Release_Compress : TTarnwick_Release_None) |
                TTarnwick_Release_PageOut;
        CurrentSelection->StopBeingCurrent(release);
    }
    CurrentSelection = selection;
    if (selection != nullptr)
        selection->BecomeCurrent();
    SelectionDisplayStale = true;
}

TTarnwick_TreeGroup* TTarnwick_Mesh::GroupAtRow(TTarnwick_TreeGroup* tree, int32_t position)
{
    if (position < 0)
        return tree;
    std::vector<TTarnwick_TreeRow> rows;
    TTarnwick_TreeGroup::FlattenTree(tree, rows);
    if (position >= static_cast<int32_t>(rows.size()))
        return tree;
    return rows[position].Group;
}

TTarnwick_Morph* TTarnwick_Mesh::NewMorph(int32_t position)
{
    auto* morph = new TTarnwick_Morph(VertexCount);
    GroupAtRow(MorphTree.get(), position)->List.Add(morph);
    return morph;
}

TTarnwick_Selection* TTarnwick_Mesh::NewSelection(int32_t position)
{
    auto* selection = new TTarnwick_Selection(VertexCount);
    GroupAtRow(SelectionTree.get(), position)->List.Add(selection);
    return selection;
}

TTarnwick_Morph* TTarnwick_Mesh::BakeToNewMorph(int32_t position)
{
    TTarnwick_Morph* morph = NewMorph(position);
    morph->SetNameLiteral(BakedMorphDefaultName);
    morph->Strength = 0.0f;
    if (DisplayedVertices.size() == Vertices.size() && VertexCount > 0) {
        float* values = morph->vertices();
        for (size_t i = 0; i < Vertices.size(); i++)
            values[i] = DisplayedVertices[i] - Vertices[i];
    }
    SetCurrentMorph(morph);
    return morph;
}

bool TTarnwick_Mesh::CheckMorphWritable(uint32_t& notice_flags) const
{
    if (CurrentMorph == nullptr || !CurrentMorph->ReadOnly)
        return true;
    if (!(notice_flags & Notice_ReadOnlyMorphShown)) {
        notice_flags |= Notice_ReadOnlyMorphShown;
        ShowMessage(GlobalDialogHost, "%s", ReadOnlyMorphNotice);
    }
    return false;
}

bool TTarnwick_Mesh::CheckSelectionWritable(uint32_t& notice_flags) const
{
    if (CurrentSelection == nullptr || !CurrentSelection->ReadOnly)
        return true;
    if (!(notice_flags & Notice_ReadOnlySelectionShown)) {
        notice_flags |= Notice_ReadOnlySelectionShown;
        ShowMessage(GlobalDialogHost, "%s", ReadOnlySelectionNotice);
    }
    return false;
}

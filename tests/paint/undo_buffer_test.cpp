// The undo buffer on a scene of its own: whole actions undone and redone exactly, with and without
// the idle compression and paging, the limit trimming whole actions, paint blocks and records whose
// object is gone.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/event_queue.h"
#include "core/virtual_memory.h"
#include "files/settings.h"
#include "mesh/layer.h"
#include "mesh/scene_object.h"
#include "paint/material_map.h"
#include "paint/undo_buffer.h"
#include "paint/uv_quadtree.h"
#include "support/paged_items.h"
#include "support/scripted_dialogs.h"
#include "support/sculpt_meshes.h"

namespace {

// Every weight and displacement of the current object, and the names of its morphs.
struct TSceneState
{
    std::vector<std::vector<float>> Weights;
    std::vector<std::vector<float>> Deltas;
    std::vector<std::string> Names;
    bool operator==(const TSceneState&) const = default;
};

class UndoBuffer : public PagedItemTest
{
protected:
    void SetUp() override
    {
        PagedItemTest::SetUp();
        TarnwickSettings = &Settings;
        Buffer = std::make_unique<TTarnwick_UndoBuffer>(
            TTarnwick_UndoScene{&Tree, &Current, &Layers, &SceneChanged, {}, {}});
    }

    void TearDown() override
    {
        TarnwickEvents_ProcessEvents();
        Buffer.reset();
        Tree.reset();
        TarnwickSettings = nullptr;
        PagedItemTest::TearDown();
    }

    // A grid object with two morphs and two selections, made current.
    TTarnwick_Object* AddObject(int32_t columns, int32_t rows)
    {
        auto* object = new TTarnwick_Object;
        object->SetMesh(std::make_unique<TTarnwick_Mesh>());
        MakeGrid(*object->Mesh, columns, rows);
        object->Mesh->NewMorph(-1);
        object->Mesh->NewSelection(-1);
        Tree->List.Add(object);
        Current = object;
        return object;
    }

    // One user action that records the given kinds first.
    void Record(std::initializer_list<int32_t> types)
    {
        Buffer->ActionCounter++;
        for (int32_t type : types)
            Buffer->AddUndoNode(Buffer->CreateUndoNode(type, -1));
    }

    template <typename TItem> std::vector<TItem*> Items(TTarnwick_TreeGroup* tree)
    {
        std::vector<TItem*> items;
        for (TTarnwick_Thingy* item : tree->List)
            items.push_back(dynamic_cast<TItem*>(item));
        return items;
    }

    TSceneState State()
    {
        TSceneState state;
        TTarnwick_Mesh& mesh = *Current->Mesh;
        for (TTarnwick_Selection* selection : Items<TTarnwick_Selection>(mesh.SelectionTree.get())) {
            state.Weights.emplace_back();
            for (int32_t i = 0; i < selection->vcount; i++)
                state.Weights.back().push_back(selection->GetVSelect(i));
        }
        for (TTarnwick_Morph* morph : Items<TTarnwick_Morph>(mesh.MorphTree.get())) {
            state.Deltas.push_back(DenseDeltas(*morph));
            state.Names.push_back(morph->Name);
        }
        return state;
    }

    TTarnwick_Settings Settings;
    std::unique_ptr<TTarnwick_ObjectTreeGroup> Tree =
        std::make_unique<TTarnwick_ObjectTreeGroup>(CreateSceneObject);
    TTarnwick_Object* Current = nullptr;
    TTarnwick_LayerList Layers;
    bool SceneChanged = false;
    std::unique_ptr<TTarnwick_UndoBuffer> Buffer;
};

TEST_F(UndoBuffer, OneUndoTakesBackEveryRecordOfTheLastAction)
{
    TTarnwick_Mesh& mesh = *AddObject(4, 3)->Mesh;
    Record({UndoType_Selection});
    mesh.CurrentSelection->SetVSelect(1, 0.5f);
    const TSceneState first = State();
    Record({UndoType_Morph, UndoType_Selection});
    SetDelta(*mesh.CurrentMorph, 2, 1, 2, 3);
    mesh.CurrentSelection->SetVSelect(1, 1.0f);
    ASSERT_NE(State(), first);

    Buffer->Undo();
    EXPECT_EQ(State(), first);
    EXPECT_EQ(Buffer->UndoCount(), 1);
    Buffer->Undo();
    EXPECT_EQ(mesh.CurrentSelection->GetVSelect(1), 0.0f);
    ScriptedDialogs dialogs;
    Buffer->Undo();
    EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Message));
}

// Random selection, morph and name changes on two of each, undone and redone one action at a time;
// the second round runs the idle work after every action, which compresses and pages the records.
TEST_F(UndoBuffer, FiftyMixedActionsUndoAndRedoExactly)
{
    for (bool idle : {false, true}) {
        Buffer->Clear();
        TTarnwick_Mesh& mesh = *AddObject(6, 5)->Mesh;
        const std::vector<TTarnwick_Morph*> morphs = Items<TTarnwick_Morph>(mesh.MorphTree.get());
        const std::vector<TTarnwick_Selection*> selections =
            Items<TTarnwick_Selection>(mesh.SelectionTree.get());
        uint32_t seed = 12345;
        auto next = [&seed](uint32_t range) {
            seed = seed * 1664525u + 1013904223u;
            return (seed >> 8) % range;
        };
        std::vector<TSceneState> states{State()};
        int32_t paged_out = 0;
        for (int32_t action = 0; action < 50; action++) {
            const int32_t vertex = int32_t(next(uint32_t(mesh.GetVertexCount())));
            switch (next(3)) {
            case 0:
                mesh.SetCurrentSelection(selections[next(2)], TZAVOldSelection::Compress);
                Record({UndoType_Selection});
                mesh.CurrentSelection->SetVSelect(vertex, float(next(100)) / 100.0f);
                break;
            case 1:
                mesh.SetCurrentMorph(morphs[next(2)]);
                Record({UndoType_Morph});
                SetDelta(*mesh.CurrentMorph, vertex, float(next(7)), 0.25f, -1.5f);
                break;
            default: {
                TTarnwick_Morph* morph = morphs[next(2)];
                Buffer->ActionCounter++;
                TTarnwick_UndoNodePtr record = Buffer->CreateUndoNode(UndoType_Rename, -1);
                record->ItemID = morph->ID;
                record->SavedName = morph->Name;
                record->HasName = true;
                Buffer->AddUndoNode(std::move(record));
                morph->SetNameLiteral("Name " + std::to_string(action));
            }
            }
            while (idle && !Buffer->OptimzeUndoNodes(0.033)) {
            }
            const TTarnwick_UndoNode& newest = *Buffer->Newest();
            if (newest.Selection || newest.Morph)
                paged_out += !(newest.Selection ? newest.Selection->IsPagedIn() : newest.Morph->IsPagedIn());
            states.push_back(State());
        }
        EXPECT_EQ(paged_out > 0, idle);
        for (int32_t action = 50; action > 0; action--) {
            Buffer->Undo();
            ASSERT_EQ(State(), states[size_t(action - 1)]) << action << " idle " << idle;
        }
        for (int32_t action = 1; action <= 50; action++) {
            Buffer->Redo();
            ASSERT_EQ(State(), states[size_t(action)]) << action << " idle " << idle;
        }

        // A new action after an undo leaves nothing to redo.
        Buffer->Undo();
        Record({UndoType_Selection});
        EXPECT_EQ(Buffer->RedoCount(), 0);
        ScriptedDialogs dialogs;
        Buffer->Redo();
        EXPECT_EQ(State(), states[49]);
        EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Message, "nothing to redo"));
    }
}

// Each action saves two selections of 256 × 256 weights: two actions fill the megabyte.
TEST_F(UndoBuffer, LimitDropsTheOldestWholeActionsAndKeepsTheNewest)
{
    Settings.UndoLimit = 1;
    TTarnwick_Mesh& mesh = *AddObject(255, 255)->Mesh;
    const std::vector<TTarnwick_Selection*> selections = Items<TTarnwick_Selection>(mesh.SelectionTree.get());
    std::vector<TSceneState> states{State()};
    for (int32_t action = 1; action <= 3; action++) {
        Buffer->ActionCounter++;
        for (TTarnwick_Selection* selection : selections) {
            mesh.SetCurrentSelection(selection, TZAVOldSelection::Keep);
            Buffer->AddUndoNode(Buffer->CreateUndoNode(UndoType_Selection, -1));
            selection->SetVSelect(action, 1.0f);
        }
        states.push_back(State());
        EXPECT_LE(Buffer->MemoryUse(), 1 << 20);
    }
    EXPECT_EQ(Buffer->UndoCount(), 4);
    Buffer->Undo();
    Buffer->Undo();
    EXPECT_EQ(State(), states[1]);
    {
        ScriptedDialogs dialogs;
        Buffer->Undo();
        EXPECT_EQ(State(), states[1]);
        EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Message));
    }
    EXPECT_LE(Buffer->MemoryUse(), 1 << 20);

    // An action larger than the limit stays whole on its own.
    Record({UndoType_Selection, UndoType_Morph, UndoType_Selection});
    EXPECT_EQ(Buffer->UndoCount(), 3);
    EXPECT_EQ(Buffer->RedoCount(), 0);
}

// Blocks of overlapping nodes, the second saved after the first was painted over: undo after the
// blocks were paged out gives the pixels before the stroke, redo those after it.
TEST_F(UndoBuffer, PaintRecordRestoresPagedOutPixelsExactly)
{
    TTarnwick_Mesh& mesh = *AddObject(2, 2)->Mesh;
    auto* map = new TZAVMaterialMap;
    ASSERT_TRUE(map->AllocatePixels(32, 16));
    mesh.MaterialMaps.Add(map);
    uint32_t seed = 7;
    auto paint = [&](int32_t x0, int32_t y0, int32_t width, int32_t height) {
        for (int32_t y = y0; y < y0 + height; y++)
            for (int32_t x = x0; x < x0 + width; x++)
                for (int32_t c = 0; c < 3; c++)
                    map->PixelAt(x, y)[c] = uint8_t((seed = seed * 1103515245u + 12345u) >> 16);
    };
    paint(0, 0, 32, 16);
    const std::vector<uint8_t> before = map->Pixels;
    TTarnwick_PolyQuadTreeNode left, middle;
    left.PixelWidth = 16;
    left.PixelHeight = 16;
    middle.PixelX = 8;
    middle.PixelY = 4;
    middle.PixelWidth = 16;
    middle.PixelHeight = 8;

    Buffer->ActionCounter++;
    Buffer->AddUndoNode(Buffer->CreateUndoNode(UndoType_Paint, -1));
    TTarnwick_UndoStroke stroke;
    TTarnwick_PolyQuadTreeNode* const first[] = {&left};
    Buffer->SaveUndoBlocks(first, stroke, *map);
    paint(0, 0, 16, 16);
    TTarnwick_PolyQuadTreeNode* const second[] = {&left, &middle};
    Buffer->SaveUndoBlocks(second, stroke, *map);
    paint(4, 4, 20, 8);
    const std::vector<uint8_t> after = map->Pixels;
    EXPECT_EQ(Buffer->Newest()->Memory, (16 * 16 + 16 * 8) * 3);
    // The stroke ends.
    Buffer->CurrentPaint = nullptr;

    while (!Buffer->OptimzeUndoNodes(0.033)) {
    }
    for (const auto& block : Buffer->Newest()->Paint->Maps.at(0)->Blocks)
        EXPECT_TRUE(block->IsPagedOut());
    Buffer->Undo();
    EXPECT_EQ(map->Pixels, before);
    EXPECT_TRUE(map->UploadPending);
    Buffer->Redo();
    EXPECT_EQ(map->Pixels, after);
}

// Undo makes the record's object current again; a record whose object was deleted is dropped.
TEST_F(UndoBuffer, UndoReturnsToTheRecordsObjectAndDropsRecordsOfDeletedObjects)
{
    TTarnwick_Object* first = AddObject(2, 2);
    Record({UndoType_Selection});
    first->Mesh->CurrentSelection->SetVSelect(0, 1.0f);
    TTarnwick_Object* second = AddObject(2, 2);
    Buffer->Undo();
    EXPECT_EQ(Current, first);
    EXPECT_EQ(first->Mesh->CurrentSelection->GetVSelect(0), 0.0f);

    Record({UndoType_Selection});
    Current = second;
    Tree->List.Remove(first, TZAVRemoveCount::FirstOnly);
    delete first;
    const TSceneState state = State();
    ScriptedDialogs dialogs;
    Buffer->Undo();
    EXPECT_EQ(Current, second);
    EXPECT_EQ(State(), state);
    EXPECT_EQ(Buffer->UndoCount(), 0);
    EXPECT_EQ(Buffer->RedoCount(), 0);
    EXPECT_TRUE(dialogs.Requests().empty());
}

} // namespace

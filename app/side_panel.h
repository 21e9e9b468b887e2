// The side panels: a column on the right of the main window with one collapsible section for each
// list the artist chooses from (objects, morphs, selections, layers, maps). A section shows its
// list flattened, groups indented by depth, the current entry highlighted; its widgets post the
// commands that already do the work.
//
//   click on an item       -> the command making it current, with its number in that list
//   click on a group       -> the group folds or unfolds (its Collapsed flag)
//   double click on an item -> a name field over the row; Enter posts the rename command
//   drag a row onto a row  -> the entry moves into the group of the row (or the group row) below
//   buttons                -> new, delete and the like, with the current entry where they need it
//   morph strength gauge   -> command 127 with the strength in hundredths
//
// A list is rebuilt only when the rows it would show differ from those it shows, so the refresh
// posted after every change of a tree stays cheap with hundreds of morphs, and nothing is
// collected per frame.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "widgets/collapsible_panel.h"
#include "widgets/edit_field.h"

class TTarnwick_TreeGroup;
class TZAVglutWigits_Gauge;
class TZAVglutWigits_ListBox;
class TZAVglutWigits_TextAndGauge;

enum class TTarnwick_PanelKind : int32_t
{
    Objects = 0,
    Morphs = 1,
    Selections = 2,
    Layers = 3,
    Maps = 4,
};
constexpr int32_t PanelKindCount = 5;

// One row of a section's list.
struct TTarnwick_PanelRow
{
    std::string Text;
    int32_t Depth = 0;
    // Set on a group row: a click folds or unfolds it.
    TTarnwick_TreeGroup* Group = nullptr;
    // The group the row's entry lies in; null outside the trees.
    const TTarnwick_TreeGroup* Parent = nullptr;
    // The entry's number as the choosing, renaming and deleting commands count (Index); -1 for rows
    // that choose nothing.
    int32_t CommandIndex = -1;
    bool ReadOnly = false;
    // The item's name or the group's label, as the move commands look entries up.
    std::string Name;

    bool operator==(const TTarnwick_PanelRow&) const = default;
};

class TTarnwick_PanelSection : public TZAVglutWigits_CollapsiblePanel
{
public:
    TTarnwick_PanelSection(TZAVglutWigits_Node* parent, const char* title, TTarnwick_PanelKind kind);

    // Collects the rows from the project and rebuilds the list only when they differ from those
    // shown (always with force); the current entry is highlighted either way. True when rebuilt.
    bool Refresh(bool force = false);
    const std::vector<TTarnwick_PanelRow>& Rows() const { return ShownRows; }
    // How many times the list was built.
    int32_t BuildCount() const { return Builds; }

    // Folds or unfolds the group of a row, when the tree is still the one shown.
    void ToggleGroup(int32_t row);
    // Opens the name field over an item row of a section that can rename.
    void BeginRename(int32_t row);
    // A row dragged onto another (drag_text as the rows carry it): posts the command that moves the
    // entry into the target's group. False when nothing can move.
    bool DropRow(const char* drag_text, int32_t target_row);
    // The Index a button that acts on the current entry posts; -1 without one.
    virtual int32_t ButtonIndex() const;

    // The height of everything but the list when unfolded at the given width.
    int32_t FixedHeight(int32_t width);
    void Layout() override;

    const TTarnwick_PanelKind Kind;
    TZAVglutWigits_ListBox* List = nullptr;
    TZAVglutWigits_EditField* NameField = nullptr;
    std::vector<TZAVglutWigits_Node*> Buttons;

protected:
    // The rows, and the row of the current entry (-1 for none).
    virtual void CollectRows(std::vector<TTarnwick_PanelRow>& out_rows, int32_t& out_current) const = 0;
    // What a click on an item row posts (0: only highlights it); what Enter in the name field posts
    // (0: no renaming).
    virtual int32_t ChooseCommand() const = 0;
    virtual int32_t RenameCommand() const { return 0; }
    // The command moving a dragged item or group into another group (0: rows do not drag).
    virtual int32_t MoveCommand(bool /*group*/) const { return 0; }
    // After a refresh: widgets that show the current entry follow it.
    virtual void ShowCurrent() {}
    // The height the widgets between the list and the buttons take.
    virtual int32_t ExtraHeight() const { return 0; }
    virtual void LayoutExtra(int32_t /*left*/, int32_t /*top*/, int32_t /*width*/) {}
    // A button posting event; with_index, the current entry's ButtonIndex goes with it.
    void AddButton(const char* text, const char* help, std::unique_ptr<TZAVEvent> event, bool with_index);

private:
    void BuildList(int32_t current);
    int32_t ButtonRowsHeight(int32_t width, bool place);

    std::vector<TTarnwick_PanelRow> ShownRows;
    int32_t Builds = 0;
};

// The object, morph and selection trees of the project and its current object.
class TTarnwick_TreeSection : public TTarnwick_PanelSection
{
public:
    TTarnwick_TreeSection(TZAVglutWigits_Node* parent, const char* title, TTarnwick_PanelKind kind);

    // The current morph's strength (the morph section only).
    TZAVglutWigits_TextAndGauge* Strength = nullptr;

protected:
    void CollectRows(std::vector<TTarnwick_PanelRow>& out_rows, int32_t& out_current) const override;
    int32_t ChooseCommand() const override;
    int32_t RenameCommand() const override;
    int32_t MoveCommand(bool group) const override;
    void ShowCurrent() override;
    int32_t ExtraHeight() const override;
    void LayoutExtra(int32_t left, int32_t top, int32_t width) override;
};

// The project's 32 layers; each row tells whether its layer is hidden or locked.
class TTarnwick_LayerSection : public TTarnwick_PanelSection
{
public:
    explicit TTarnwick_LayerSection(TZAVglutWigits_Node* parent);
    int32_t ButtonIndex() const override;

protected:
    void CollectRows(std::vector<TTarnwick_PanelRow>& out_rows, int32_t& out_current) const override;
    int32_t ChooseCommand() const override;
    int32_t RenameCommand() const override;
};

// The current object's maps. No map is current in the project: the row highlighted here is the
// one the buttons act on.
class TTarnwick_MapSection : public TTarnwick_PanelSection
{
public:
    explicit TTarnwick_MapSection(TZAVglutWigits_Node* parent);

protected:
    void CollectRows(std::vector<TTarnwick_PanelRow>& out_rows, int32_t& out_current) const override;
    int32_t ChooseCommand() const override { return 0; }
};

// The column of sections. It is left out of the layout when every section is hidden. The layers
// and maps start folded: the trees need the room more often.
class TTarnwick_SidePanel : public TZAVglutWigits_Node
{
public:
    explicit TTarnwick_SidePanel(TZAVglutWigits_Node* parent);

    TTarnwick_PanelSection* Section(TTarnwick_PanelKind kind) const { return Sections[int32_t(kind)]; }
    // Every list follows the project (each rebuilt only when its rows changed).
    void RefreshLists();
    // Shown (and unfolded with unfold), or taken out of the column.
    void ShowSection(TTarnwick_PanelKind kind, bool shown, bool unfold = true);
    bool SectionShown(TTarnwick_PanelKind kind) const;
    // True when some section is shown.
    bool AnyShown() const;

    void Layout() override;

private:
    TTarnwick_PanelSection* Sections[PanelKindCount] = {};
};

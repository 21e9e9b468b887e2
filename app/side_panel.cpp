// The side panels and their sections.
//
// [SECTION] Rows and handlers
// [SECTION] Section
// [SECTION] Tree sections
// [SECTION] Layer and map sections
// [SECTION] Column
#include "app/side_panel.h"

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <unordered_map>

#include "core/event_queue.h"
#include "core/tree_group.h"
#include "files/project.h"
#include "mesh/morph.h"
#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"
#include "mesh/selection.h"
#include "paint/material_map.h"
#include "widgets/button.h"
#include "widgets/control_look.h"
#include "widgets/gauge.h"
#include "widgets/list_box.h"
#include "widgets/master.h"

// [SECTION] Rows and handlers

namespace {

enum TPanelCommand : int32_t
{
    CreateMapCommand = 73,
    DeleteMapCommand = 72,
    ResizeMapDialogCommand = 74,
    DeleteSelectedItemCommand = 85,
    NewObjectGroupCommand = 113,
    RenameObjectCommand = 114,
    SwitchObjectCommand = 115,
    DeleteObjectCommand = 116,
    NewMorphCommand = 123,
    ChooseMorphCommand = 124,
    RenameMorphCommand = 125,
    DeleteMorphCommand = 126,
    SetStrengthCommand = 127,
    NewSelectionCommand = 135,
    ChooseSelectionCommand = 136,
    RenameSelectionCommand = 137,
    ChangeLayerCommand = 176,
    AddSelectedToLayerCommand = 178,
    RemoveSelectedFromLayerCommand = 180,
    StepLayerLockCommand = 193,
    ToggleLayerHiddenCommand = 194,
    RenameLayerCommand = 196,
    ExportMapCommand = 215,
    MoveMorphItemCommand = 2,
    MoveMorphGroupCommand = 3,
    MoveSelectionCommand = 4,
    MoveObjectCommand = 5,
};

constexpr int32_t IndentStep = 12;
constexpr int32_t RowInset = 4;
constexpr int32_t Gap = 3;
// A section's list shows at least this many rows before the column shares out the rest.
constexpr int32_t MinimumListRows = 2;
constexpr int32_t EnterKey = 13;

TTarnwick_Mesh* CurrentMesh()
{
    if (TarnwickProject == nullptr || TarnwickProject->CurrentObject == nullptr)
        return nullptr;
    return TarnwickProject->CurrentObject->Mesh.get();
}

std::unique_ptr<TZAVEvent> CommandEvent(int32_t id, const char* text = nullptr)
{
    auto event = std::make_unique<TZAVEvent>(id);
    if (text != nullptr)
        event->AddStringParameter(text, 0);
    return event;
}

void ToggleGroupCB(TZAVEvent* event)
{
    static_cast<TTarnwick_PanelSection*>(event->Context)->ToggleGroup(event->GetIndex());
}

void DropRowCB(TZAVEvent* event)
{
    static_cast<TTarnwick_PanelSection*>(event->Context)
        ->DropRow(event->GetStringParameter(0), event->GetIndex());
}

void RenameRowCB(TZAVEvent* event)
{
    static_cast<TTarnwick_PanelSection*>(event->Context)->BeginRename(event->GetIndex());
}

void StrengthChangedCB(TZAVEvent* event)
{
    auto* gauge = static_cast<TZAVglutWigits_Gauge*>(event->Context);
    auto* command = new TZAVEvent(SetStrengthCommand);
    command->IntegerParameters[0] = int32_t(std::lround(gauge->GetValue() * 100.0f));
    PostEvent(command);
}

// A row of a list: its click posts the row's own event, with the entry's number already in it.
class TRowItem : public TZAVglutWigits_ListItem
{
public:
    TRowItem(TZAVglutWigits_ListBox* list, const std::string& text) : TZAVglutWigits_ListItem(list, text) {}

    bool OnClick(int32_t x, int32_t y) override
    {
        ClickDelivered = true;
        SelectThisItem();
        return PostEventCopy(ClickEvent.get(), x, y);
    }
};

// A button that takes the section's current entry along at the moment it is clicked.
class TSectionButton : public TZAVglutWigits_Button
{
public:
    TSectionButton(TTarnwick_PanelSection* section, const char* text, std::unique_ptr<TZAVEvent> event)
        : TZAVglutWigits_Button(section, text, std::move(event)), Section(section)
    {
    }

    bool OnClick(int32_t x, int32_t y) override
    {
        if (ClickEvent != nullptr)
            ClickEvent->SetIndex(Section->ButtonIndex());
        return TZAVglutWigits_Button::OnClick(x, y);
    }

private:
    TTarnwick_PanelSection* Section;
};

// The name field closes once Enter has posted the new name, or Escape has given up.
class TNameField : public TZAVglutWigits_EditField
{
public:
    explicit TNameField(TZAVglutWigits_Node* parent) : TZAVglutWigits_EditField(nullptr)
    {
        parent->AddFloatingChild(this);
        HideOnFocusLoss = true;
        Shown = false;
    }

    bool OnKey(int32_t key) override
    {
        const bool handled = TZAVglutWigits_EditField::OnKey(key);
        if (key == EnterKey || key == KeyEscape)
            Hide();
        return handled;
    }
};

} // namespace

// [SECTION] Section

TTarnwick_PanelSection::TTarnwick_PanelSection(TZAVglutWigits_Node* parent, const char* title,
                                               TTarnwick_PanelKind kind)
    : TZAVglutWigits_CollapsiblePanel(parent, title), Kind(kind)
{
    std::copy(std::begin(ControlLook::Fill), std::end(ControlLook::Fill), BackgroundColor);
    List = new TZAVglutWigits_ListBox(this);
    NameField = new TNameField(this);
}

void TTarnwick_PanelSection::AddButton(const char* text, const char* help, std::unique_ptr<TZAVEvent> event,
                                       bool with_index)
{
    TZAVglutWigits_Button* button = with_index ? new TSectionButton(this, text, std::move(event))
                                               : new TZAVglutWigits_Button(this, text, std::move(event));
    button->SetCaptionLiteral(help);
    button->Width = button->LabelWidth + 8;
    button->Height = LineHeight() + ExtraLineHeight + 2;
    Buttons.push_back(button);
}

int32_t TTarnwick_PanelSection::ButtonIndex() const
{
    const int32_t row = List->SelectedIndex();
    return row >= 0 && size_t(row) < ShownRows.size() ? ShownRows[size_t(row)].CommandIndex : -1;
}

bool TTarnwick_PanelSection::Refresh(bool force)
{
    std::vector<TTarnwick_PanelRow> rows;
    int32_t current = -1;
    CollectRows(rows, current);
    const bool rebuild = force || rows != ShownRows;
    if (rebuild) {
        ShownRows = std::move(rows);
        BuildList(current);
    } else if (current != List->SelectedIndex()) {
        List->SelectIndex(current);
        List->ScrollIntoView(List->Item(current));
    }
    ShowCurrent();
    return rebuild;
}

void TTarnwick_PanelSection::BuildList(int32_t current)
{
    NameField->Hide();
    List->Clear();
    if (MoveCommand(false) != 0 && List->DropEvent == nullptr)
        List->AcceptDrops(std::make_unique<TZAVEvent>(DropRowCB, this, -1));
    const int32_t choose = ChooseCommand();
    Builds++;
    for (size_t row = 0; row < ShownRows.size(); row++) {
        const TTarnwick_PanelRow& entry = ShownRows[row];
        auto* item = new TRowItem(List, entry.Text);
        item->HorizontalPadding = RowInset + entry.Depth * IndentStep;
        if (entry.ReadOnly)
            std::copy(std::begin(item->DisabledLabelColor), std::end(item->DisabledLabelColor),
                      item->LabelColor);
        // The section, the row and the build: a drop elsewhere, or after the list changed, moves
        // nothing.
        item->Draggable = List->DropEvent != nullptr && entry.Parent != nullptr;
        item->DragData =
            std::to_string(int32_t(Kind)) + ":" + std::to_string(row) + ":" + std::to_string(Builds);
        if (entry.Group != nullptr) {
            item->ClickEvent = std::make_unique<TZAVEvent>(ToggleGroupCB, this, -1);
            item->ClickEvent->SetIndex(int32_t(row));
            // Two quick clicks fold and unfold again.
            item->AcceptsDoubleClick = false;
        } else if (entry.CommandIndex >= 0) {
            if (choose != 0) {
                item->ClickEvent = CommandEvent(choose);
                item->ClickEvent->SetIndex(entry.CommandIndex);
            }
            if (RenameCommand() != 0)
                item->DoubleClickEvent = std::make_unique<TZAVEvent>(RenameRowCB, this, -1);
        }
    }
    List->Layout();
    List->SelectIndex(current);
    List->ScrollIntoView(List->Item(current));
}

void TTarnwick_PanelSection::ToggleGroup(int32_t row)
{
    std::vector<TTarnwick_PanelRow> rows;
    int32_t current = -1;
    CollectRows(rows, current);
    // A tree changed behind the list: its rows, not the old group, are what the user sees next.
    if (rows == ShownRows && row >= 0 && size_t(row) < ShownRows.size() &&
        ShownRows[size_t(row)].Group != nullptr)
        ShownRows[size_t(row)].Group->Collapsed = !ShownRows[size_t(row)].Group->Collapsed;
    Refresh();
}

bool TTarnwick_PanelSection::DropRow(const char* drag_text, int32_t target_row)
{
    int32_t kind = -1, row = -1, build = -1;
    if (drag_text == nullptr || std::sscanf(drag_text, "%d:%d:%d", &kind, &row, &build) != 3 ||
        kind != int32_t(Kind) || build != Builds || row < 0 || size_t(row) >= ShownRows.size() ||
        target_row < 0 || size_t(target_row) >= ShownRows.size() || row == target_row)
        return false;
    const TTarnwick_PanelRow& dragged = ShownRows[size_t(row)];
    const TTarnwick_PanelRow& target = ShownRows[size_t(target_row)];
    const TTarnwick_TreeGroup* into = target.Group != nullptr ? target.Group : target.Parent;
    const int32_t command = MoveCommand(dragged.Group != nullptr);
    if (command == 0 || into == nullptr || dragged.Parent == nullptr)
        return false;
    auto* event = new TZAVEvent(command);
    event->AddStringParameter(dragged.Name.c_str(), 0);
    event->AddStringParameter(into->Label.c_str(), 1);
    PostEvent(event);
    return true;
}

void TTarnwick_PanelSection::BeginRename(int32_t row)
{
    TZAVglutWigits_ListItem* item = List->Item(row);
    if (RenameCommand() == 0 || item == nullptr || ShownRows[size_t(row)].Group != nullptr ||
        ShownRows[size_t(row)].ReadOnly)
        return;
    NameField->ClickEvent = CommandEvent(RenameCommand());
    NameField->ClickEvent->SetIndex(ShownRows[size_t(row)].CommandIndex);
    // The row's own text, without the marks the list adds.
    std::string name = ShownRows[size_t(row)].Text;
    if (const size_t mark = name.find("  ("); mark != std::string::npos)
        name.resize(mark);
    NameField->SetText(name);
    PlaceNode(NameField, List->X + item->X, List->Y + item->Y - List->ScrollY, item->Width, item->Height);
    NameField->Show();
    if (TZAVglutWigits_Master* master = GetMaster())
        master->SetFocus(NameField);
    Invalidate();
}

int32_t TTarnwick_PanelSection::ButtonRowsHeight(int32_t width, bool place)
{
    const int32_t left = BorderWidth + HorizontalPadding;
    int32_t x = left, y = 0, row_height = 0;
    for (TZAVglutWigits_Node* button : Buttons) {
        if (x > left && x + button->Width > left + width) {
            y += row_height + Gap;
            x = left;
            row_height = 0;
        }
        if (place) {
            button->X = x;
            button->Y = y;
        }
        x += button->Width + Gap;
        row_height = std::max(row_height, button->Height);
    }
    return Buttons.empty() ? 0 : y + row_height;
}

int32_t TTarnwick_PanelSection::FixedHeight(int32_t width)
{
    const int32_t inner = std::max(0, width - 2 * (BorderWidth + HorizontalPadding));
    const int32_t extra = ExtraHeight();
    return 2 * (BorderWidth + VerticalPadding) + LineHeight() + ExtraLineHeight + Gap +
           (extra > 0 ? extra + Gap : 0) + ButtonRowsHeight(inner, false);
}

// Title line, list, the section's own widgets, then the buttons in rows along the bottom.
void TTarnwick_PanelSection::Layout()
{
    TZAVglutWigits_CollapsiblePanel::Layout();
    if (IsCollapsed()) {
        // Folded before the column gave it its width, the toggle stays at the right edge.
        ToggleButton->X = Width - ToggleButton->Width - BorderWidth - 2;
        return;
    }
    const int32_t left = BorderWidth + HorizontalPadding;
    const int32_t width = std::max(0, Width - 2 * left);
    const int32_t top = BorderWidth + VerticalPadding + LineHeight() + ExtraLineHeight;
    const int32_t list_height =
        std::max(List->ItemHeight() + 2 * List->BorderWidth, Height - FixedHeight(Width));
    PlaceNode(List, left, top, width, list_height);
    List->Layout();
    const int32_t extra = ExtraHeight();
    LayoutExtra(left, top + list_height + Gap, width);
    const int32_t buttons_top = top + list_height + Gap + (extra > 0 ? extra + Gap : 0);
    ButtonRowsHeight(width, true);
    for (TZAVglutWigits_Node* button : Buttons)
        button->Y += buttons_top;
}

// [SECTION] Tree sections

namespace {

bool IsEntryOf(TTarnwick_PanelKind kind, const TTarnwick_Thingy* item)
{
    switch (kind) {
    case TTarnwick_PanelKind::Objects:
        return dynamic_cast<const TTarnwick_Object*>(item) != nullptr;
    case TTarnwick_PanelKind::Morphs:
        return dynamic_cast<const TTarnwick_Morph*>(item) != nullptr;
    case TTarnwick_PanelKind::Selections:
        return dynamic_cast<const TTarnwick_Selection*>(item) != nullptr;
    default:
        return false;
    }
}

struct TTreeWalk
{
    TTarnwick_PanelKind Kind;
    std::unordered_map<const TTarnwick_Thingy*, int32_t> Numbers;
};

// The commands count the entries of a tree in this walk, hidden and folded groups included.
bool NumberEntries(TTarnwick_TreeGroup* group, int32_t, void* data)
{
    auto* walk = static_cast<TTreeWalk*>(data);
    for (TTarnwick_Thingy* item : group->List)
        if (IsEntryOf(walk->Kind, item))
            walk->Numbers.emplace(item, int32_t(walk->Numbers.size()));
    return true;
}

// The group's items, then its shown child groups, each followed by its contents unless folded.
void AddGroupRows(const TTarnwick_TreeGroup* group, int32_t depth, const TTreeWalk& walk,
                  const TTarnwick_Thingy* current, std::vector<TTarnwick_PanelRow>& out_rows,
                  int32_t& out_current)
{
    for (TTarnwick_Thingy* item : group->List) {
        const auto number = walk.Numbers.find(item);
        if (item == current)
            out_current = int32_t(out_rows.size());
        out_rows.push_back({std::string(item->GetName()) + (item->ReadOnly ? "  (read-only)" : ""), depth,
                            nullptr, group, number != walk.Numbers.end() ? number->second : -1,
                            bool(item->ReadOnly), item->GetName()});
    }
    for (TTarnwick_TreeGroup* child = group->FirstChildGroup(); child != nullptr;
         child = child->NextGroup()) {
        if (child->Hidden)
            continue;
        out_rows.push_back({std::string(child->Collapsed ? "+ " : "- ") + child->Label +
                                (child->ReadOnly ? "  (read-only)" : ""),
                            depth, child, group, -1, bool(child->ReadOnly), child->Label});
        if (!child->Collapsed)
            AddGroupRows(child, depth + 1, walk, current, out_rows, out_current);
    }
}

} // namespace

TTarnwick_TreeSection::TTarnwick_TreeSection(TZAVglutWigits_Node* parent, const char* title,
                                             TTarnwick_PanelKind kind)
    : TTarnwick_PanelSection(parent, title, kind)
{
    switch (kind) {
    case TTarnwick_PanelKind::Objects:
        AddButton("New group", "Adds a group to the object tree", CommandEvent(NewObjectGroupCommand), false);
        AddButton("Delete", "Deletes the current object", CommandEvent(DeleteObjectCommand), false);
        break;
    case TTarnwick_PanelKind::Morphs: {
        AddButton("New", "Adds a morph target and makes it current", CommandEvent(NewMorphCommand), false);
        AddButton("Delete", "Deletes the current morph target", CommandEvent(DeleteMorphCommand), false);
        Strength = new TZAVglutWigits_TextAndGauge(this, "Strength");
        Strength->SetCaptionLiteral("The strength of the current morph target");
        TZAVglutWigits_Gauge* gauge = Strength->Gauge;
        gauge->ClickEvent = std::make_unique<TZAVEvent>(StrengthChangedCB, gauge, -1);
        break;
    }
    default:
        AddButton("New", "Adds a selection and makes it current", CommandEvent(NewSelectionCommand), false);
        AddButton("Delete", "Deletes the current selection",
                  CommandEvent(DeleteSelectedItemCommand, "Selection"), false);
        break;
    }
}

void TTarnwick_TreeSection::CollectRows(std::vector<TTarnwick_PanelRow>& out_rows, int32_t& out_current) const
{
    TTarnwick_TreeGroup* tree = nullptr;
    const TTarnwick_Thingy* current = nullptr;
    TTarnwick_Mesh* mesh = CurrentMesh();
    if (Kind == TTarnwick_PanelKind::Objects && TarnwickProject != nullptr) {
        tree = TarnwickProject->ObjectTree.get();
        current = TarnwickProject->CurrentObject;
    } else if (Kind == TTarnwick_PanelKind::Morphs && mesh != nullptr) {
        tree = mesh->MorphTree.get();
        current = mesh->CurrentMorph;
    } else if (Kind == TTarnwick_PanelKind::Selections && mesh != nullptr) {
        tree = mesh->SelectionTree.get();
        current = mesh->CurrentSelection;
    }
    if (tree == nullptr)
        return;
    TTreeWalk walk{Kind, {}};
    TTarnwick_TreeGroup::Walk(tree, 0, NumberEntries, &walk, TZAVWalkOrder::PreOrder);
    // The tree's root is the list itself, not a row of it.
    AddGroupRows(tree, 0, walk, current, out_rows, out_current);
}

int32_t TTarnwick_TreeSection::ChooseCommand() const
{
    switch (Kind) {
    case TTarnwick_PanelKind::Objects:
        return SwitchObjectCommand;
    case TTarnwick_PanelKind::Morphs:
        return ChooseMorphCommand;
    default:
        return ChooseSelectionCommand;
    }
}

int32_t TTarnwick_TreeSection::MoveCommand(bool group) const
{
    switch (Kind) {
    case TTarnwick_PanelKind::Objects:
        return MoveObjectCommand;
    case TTarnwick_PanelKind::Morphs:
        return group ? MoveMorphGroupCommand : MoveMorphItemCommand;
    default:
        return MoveSelectionCommand;
    }
}

int32_t TTarnwick_TreeSection::RenameCommand() const
{
    switch (Kind) {
    case TTarnwick_PanelKind::Objects:
        return RenameObjectCommand;
    case TTarnwick_PanelKind::Morphs:
        return RenameMorphCommand;
    default:
        return RenameSelectionCommand;
    }
}

// The gauge is set without posting: only the user's moves post a strength.
void TTarnwick_TreeSection::ShowCurrent()
{
    if (Strength == nullptr)
        return;
    TTarnwick_Mesh* mesh = CurrentMesh();
    const TTarnwick_Morph* morph = mesh != nullptr ? mesh->CurrentMorph : nullptr;
    Strength->Enabled = morph != nullptr;
    Strength->Gauge->Value = morph != nullptr ? std::clamp(morph->Strength, 0.0f, 1.0f) : 0.0f;
    Strength->Invalidate();
}

int32_t TTarnwick_TreeSection::ExtraHeight() const
{
    return Strength != nullptr ? LineHeight() + ExtraLineHeight + 2 : 0;
}

void TTarnwick_TreeSection::LayoutExtra(int32_t left, int32_t top, int32_t width)
{
    if (Strength == nullptr)
        return;
    PlaceNode(Strength, left, top, width, ExtraHeight());
    Strength->Layout();
}

// [SECTION] Layer and map sections

TTarnwick_LayerSection::TTarnwick_LayerSection(TZAVglutWigits_Node* parent)
    : TTarnwick_PanelSection(parent, "Layers", TTarnwick_PanelKind::Layers)
{
    AddButton("Hide", "Hides or shows the current layer", CommandEvent(ToggleLayerHiddenCommand), true);
    AddButton("Lock", "Steps the current layer: locked, hidden, shown", CommandEvent(StepLayerLockCommand),
              true);
    AddButton("Add", "Adds the selected surface to the current layer",
              CommandEvent(AddSelectedToLayerCommand), true);
    AddButton("Remove", "Takes the selected surface out of the current layer",
              CommandEvent(RemoveSelectedFromLayerCommand), true);
}

int32_t TTarnwick_LayerSection::ButtonIndex() const
{
    return TarnwickProject != nullptr ? TarnwickProject->Layers.GetCurrentLayerIndex() : -1;
}

void TTarnwick_LayerSection::CollectRows(std::vector<TTarnwick_PanelRow>& out_rows,
                                         int32_t& out_current) const
{
    if (TarnwickProject == nullptr)
        return;
    TTarnwick_LayerList& layers = TarnwickProject->Layers;
    for (int32_t index = 0; index < layers.GetLayerCount(); index++) {
        const TTarnwick_Layer& layer = *layers.GetLayer(index);
        std::string text = layer.GetName();
        if (layer.Locked)
            text += "  (locked)";
        else if (layer.IsHidden())
            text += "  (hidden)";
        out_rows.push_back({text, 0, nullptr, nullptr, index, bool(layer.ReadOnly), layer.GetName()});
    }
    out_current = layers.GetCurrentLayerIndex();
}

int32_t TTarnwick_LayerSection::ChooseCommand() const
{
    return ChangeLayerCommand;
}

int32_t TTarnwick_LayerSection::RenameCommand() const
{
    return RenameLayerCommand;
}

TTarnwick_MapSection::TTarnwick_MapSection(TZAVglutWigits_Node* parent)
    : TTarnwick_PanelSection(parent, "Maps", TTarnwick_PanelKind::Maps)
{
    auto colour = CommandEvent(CreateMapCommand, "Color");
    // Asks whether the new map goes to every material.
    colour->IntegerParameters[1] = 1;
    AddButton("+ Color", "Adds a colour map", std::move(colour), false);
    auto bump = CommandEvent(CreateMapCommand, "Bump");
    bump->IntegerParameters[1] = 1;
    AddButton("+ Bump", "Adds a bump map", std::move(bump), false);
    AddButton("Delete", "Deletes the chosen map", CommandEvent(DeleteMapCommand), true);
    AddButton("Resize", "Changes the size of the chosen map", CommandEvent(ResizeMapDialogCommand), true);
    AddButton("Export", "Writes the chosen map to an image file", CommandEvent(ExportMapCommand), true);
}

// The highlighted map stays highlighted while it is listed.
void TTarnwick_MapSection::CollectRows(std::vector<TTarnwick_PanelRow>& out_rows, int32_t& out_current) const
{
    const int32_t chosen = ButtonIndex();
    TTarnwick_Mesh* mesh = CurrentMesh();
    if (mesh == nullptr)
        return;
    for (int32_t index = 0; index < mesh->MaterialMaps.Count(); index++) {
        const TZAVMaterialMap* map = MaterialMapAt(*mesh, index);
        if (map == nullptr)
            continue;
        if (index == chosen)
            out_current = int32_t(out_rows.size());
        out_rows.push_back({std::string(map->GetName()) + "  (" + std::to_string(map->Width) + "x" +
                                std::to_string(map->Height) + ")",
                            0, nullptr, nullptr, index, bool(map->ReadOnly), map->GetName()});
    }
}

// [SECTION] Column

TTarnwick_SidePanel::TTarnwick_SidePanel(TZAVglutWigits_Node* parent) : TZAVglutWigits_Node(parent)
{
    SetName("SidePanels");
    ShowLabel = false;
    BorderWidth = 0;
    Sections[int32_t(TTarnwick_PanelKind::Objects)] =
        new TTarnwick_TreeSection(this, "Objects", TTarnwick_PanelKind::Objects);
    Sections[int32_t(TTarnwick_PanelKind::Morphs)] =
        new TTarnwick_TreeSection(this, "Morphs", TTarnwick_PanelKind::Morphs);
    Sections[int32_t(TTarnwick_PanelKind::Selections)] =
        new TTarnwick_TreeSection(this, "Selections", TTarnwick_PanelKind::Selections);
    Sections[int32_t(TTarnwick_PanelKind::Layers)] = new TTarnwick_LayerSection(this);
    Sections[int32_t(TTarnwick_PanelKind::Maps)] = new TTarnwick_MapSection(this);
    Section(TTarnwick_PanelKind::Layers)->Collapse();
    Section(TTarnwick_PanelKind::Maps)->Collapse();
}

void TTarnwick_SidePanel::RefreshLists()
{
    for (TTarnwick_PanelSection* section : Sections)
        section->Refresh();
}

void TTarnwick_SidePanel::ShowSection(TTarnwick_PanelKind kind, bool shown, bool unfold)
{
    TTarnwick_PanelSection* section = Section(kind);
    if (shown) {
        section->Show();
        if (unfold)
            section->Expand();
    } else {
        section->Hide();
    }
    Layout();
    Invalidate();
}

bool TTarnwick_SidePanel::SectionShown(TTarnwick_PanelKind kind) const
{
    return Section(kind)->Shown;
}

bool TTarnwick_SidePanel::AnyShown() const
{
    return std::any_of(std::begin(Sections), std::end(Sections),
                       [](const TTarnwick_PanelSection* section) { return section->Shown; });
}

// Folded sections keep their title line; the lists of the unfolded ones share the rest of the
// height by weight, each showing at least a few rows.
void TTarnwick_SidePanel::Layout()
{
    constexpr int32_t Weights[PanelKindCount] = {1, 3, 2, 2, 1};
    int32_t free_height = Height, total_weight = 0;
    for (int32_t kind = 0; kind < PanelKindCount; kind++) {
        TTarnwick_PanelSection* section = Sections[kind];
        if (!section->Shown)
            continue;
        if (section->IsCollapsed()) {
            free_height -= section->Height;
        } else {
            free_height -= section->FixedHeight(Width);
            total_weight += Weights[kind];
        }
    }
    free_height = std::max(0, free_height);
    int32_t y = 0;
    for (int32_t kind = 0; kind < PanelKindCount; kind++) {
        TTarnwick_PanelSection* section = Sections[kind];
        if (!section->Shown)
            continue;
        section->X = 0;
        section->Y = y;
        section->Width = Width;
        if (!section->IsCollapsed()) {
            const int32_t least = MinimumListRows * section->List->ItemHeight();
            section->Height = section->FixedHeight(Width) +
                              std::max(least, free_height * Weights[kind] / std::max(1, total_weight));
        }
        section->Layout();
        y += section->Height;
    }
}

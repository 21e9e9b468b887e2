// TZAVglutWigits_Node: the rectangle every widget is. A node lives in one of its parent's two
// lists: the ordinary children (clipped to the parent and shifted by its scroll offset) or the
// floating children (title bars, toggle buttons, scroll bars, pop-ups: neither clipped nor
// scrolled). The end of a list is the top of the z-order.
//
// Positions are relative to the parent's origin; the absolute position is recomputed by the
// Master at every refresh. Input arrives through the Master, which calls the On* operations with
// positions relative to the node.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/event.h"
#include "core/thingy.h"

class TZAVglutWigits_Font;
class TZAVglutWigits_Master;
class TZAVglutWigits_Window;

// GLUT modifier bits, as glutGetModifiers() reports them.
enum TZAVglutWigits_Modifier : int32_t
{
    ModifierNone = 0,
    ModifierShift = 1,
    ModifierCtrl = 2,
    ModifierAlt = 4,
};

enum class TZAVglutWigits_Alignment : int32_t
{
    Centred = 0,
    Left = 1,
    Right = 2,
    TopLeft = 3,
};

// The four skin images a node copies from its Master: textures of the current GL context, 0 = none.
enum TZAVglutWigits_SkinSlot : int32_t
{
    SkinNormal = 0,
    SkinHovered = 1,
    SkinPressed = 2,
    SkinDisabled = 3,
    SkinCount = 4,
};

struct TZAVglutWigits_Rect
{
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 0;
    int32_t Height = 0;

    bool Empty() const { return Width <= 0 || Height <= 0; }
    bool Contains(int32_t x, int32_t y) const { return x >= X && x < X + Width && y >= Y && y < Y + Height; }
    bool Inside(const TZAVglutWigits_Rect& outer) const
    {
        return X >= outer.X && Y >= outer.Y && X + Width <= outer.X + outer.Width &&
               Y + Height <= outer.Y + outer.Height;
    }
    TZAVglutWigits_Rect Intersect(const TZAVglutWigits_Rect& other) const;
    bool operator==(const TZAVglutWigits_Rect&) const = default;
};

class TZAVglutWigits_Node : public TZAVThingy
{
public:
    // With a parent, the node is appended to its ordinary child list; AddFloatingChild moves it.
    explicit TZAVglutWigits_Node(TZAVglutWigits_Node* parent = nullptr);
    ~TZAVglutWigits_Node() override;

    // [Tree]
    void AddChild(TZAVglutWigits_Node* node);
    void AddChildFirst(TZAVglutWigits_Node* node);
    // Puts node right behind this one among this node's siblings (in the same list).
    void InsertAfter(TZAVglutWigits_Node* node);
    void AddFloatingChild(TZAVglutWigits_Node* node);
    void Unlink();
    void DeleteChildren();
    void BringToFront();

    // [Queries]
    TZAVglutWigits_Master* GetMaster() const;
    TZAVglutWigits_Window* GetWindow();
    // This node or one of its descendants, in either list. Never dereferences node.
    bool Contains(const TZAVglutWigits_Node* node) const;
    bool IsEnabledChain() const;
    bool IsShownChain() const;
    // The node has its Master's keyboard focus.
    bool HasFocus() const;
    bool IsVisibleInParent() const;
    TZAVglutWigits_Rect AbsoluteRect() const { return {AbsX, AbsY, Width, Height}; }
    const TZAVglutWigits_Font& Font() const;
    // The interface font's line height, or FontHeight before a font is loaded.
    int32_t LineHeight() const;
    int32_t TextWidth(std::string_view text) const;

    virtual TZAVglutWigits_Master* AsMaster() { return nullptr; }
    virtual TZAVglutWigits_Window* AsWindow() { return nullptr; }
    // Hooks of the menu family: the toolkit core closes menus and searches their hot keys.
    virtual bool IsMenu() const { return false; }
    // The menu a button opens, or null.
    virtual TZAVglutWigits_Node* GetAttachedMenu() const { return nullptr; }
    // The node (a menu bar entry or button) that opened this menu, or null.
    virtual TZAVglutWigits_Node* GetMenuOwner() const { return nullptr; }
    // Hooks of the scroll bar family: the owner sets the range and the step of its buttons and
    // reads the position back as its scroll offset.
    virtual void SetScrollRange(int32_t range, int32_t step);
    virtual int32_t GetScrollPosition() const { return 0; }
    // Hook of the menu family: a menu opens under owner (a bar entry or a button), closing the
    // menus owner is not in, and owner takes the focus to hand keys on to it.
    virtual void OpenMenuFor(TZAVglutWigits_Node* /*owner*/) {}

    // [Virtual operations, in slot order]
    virtual bool IsAltDown() const;
    virtual bool IsCtrlDown() const;
    virtual bool IsShiftDown() const;
    virtual void PrepareRefresh() {}
    virtual bool OnClick(int32_t x, int32_t y);
    virtual bool OnRightClick(int32_t x, int32_t y);
    virtual void OnTick() {}
    virtual bool OnDoubleClick(int32_t x, int32_t y);
    virtual void OnMouseDrag(int32_t x, int32_t y);
    virtual void OnPassiveMotion(int32_t x, int32_t y);
    virtual void OnMouseEnter(int32_t x, int32_t y);
    virtual void OnMouseLeave(int32_t x, int32_t y, TZAVglutWigits_Node* new_node);
    virtual void OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y);
    virtual void CallDrawHandler();
    virtual bool OnKey(int32_t /*key*/) { return false; }
    virtual bool OnSpecialKey(int32_t /*key*/) { return false; }
    virtual void OnLoseFocus();
    virtual void OnGetFocus() {}
    virtual void OnResize();
    virtual void AdjustColor(const float* in, float* out) const;
    void SetColor3fv(const float* colour) const;
    void SetColor3f(float red, float green, float blue) const;
    void SetColor4fv(const float* colour) const;
    void SetColor4f(float red, float green, float blue, float alpha) const;
    virtual bool OnDrop(const char* text, int32_t x, int32_t y);
    // A new copy of the drag data.
    virtual std::string GetDragText() const { return DragData; }
    virtual void OnDragMoved() {}
    virtual void Invalidate();
    virtual void Invalidate(const TZAVglutWigits_Rect& area);
    virtual bool HasDrawHandler() const { return DrawEvent != nullptr; }
    virtual bool ChildrenVisible() const { return true; }
    // Bounding box of the shown ordinary children in this node's frame; empty without any.
    virtual TZAVglutWigits_Rect GetChildrenBounds() const;
    virtual TZAVglutWigits_Rect GetChildrenBoundsRecursive() const;
    virtual void Layout();
    virtual void Update() {}
    // The text is taken literally (callers format with FormatText); relayout runs Layout.
    virtual void SetText(std::string_view text, bool relayout = true);
    virtual void Hide();
    virtual void Show();
    virtual void SetPosition(int32_t x, int32_t y);
    virtual void SetAbsolutePosition(int32_t x, int32_t y);
    virtual void Draw();
    virtual void DrawForeground();
    virtual void DrawChildrenToFront();
    virtual void DrawShadow();
    virtual void DrawLabel();
    virtual void DrawLabelInColor(const float* colour);
    virtual void DrawText(std::string_view text, const float* colour);

    // Places the optional scroll bars (floating children this node owns through its list).
    void SetScrollBars(TZAVglutWigits_Node* vertical, TZAVglutWigits_Node* horizontal);
    // Stacks the shown ordinary children from the top, inside border and padding.
    void ArrangeChildren();
    // Copies the Master's skins (when there is a Master).
    void CopySkins();

    // [Tree links]
    TZAVglutWigits_Node* Parent = nullptr;
    TZAVglutWigits_Node* FirstChild = nullptr;
    TZAVglutWigits_Node* LastChild = nullptr;
    TZAVglutWigits_Node* FirstFloatingChild = nullptr;
    TZAVglutWigits_Node* LastFloatingChild = nullptr;
    TZAVglutWigits_Node* NextSibling = nullptr;
    TZAVglutWigits_Node* PrevSibling = nullptr;
    bool Floating = false;

    // [Geometry]
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 100;
    int32_t Height = 100;
    int32_t AbsX = 0;
    int32_t AbsY = 0;
    int32_t ScrollX = 0;
    int32_t ScrollY = 0;
    // The absolute rectangle drawn last time; a change calls OnResize.
    TZAVglutWigits_Rect LastDrawn{0, 0, -1, -1};

    // [Layout]
    int32_t BorderWidth = 1;
    int32_t HorizontalPadding = 4;
    int32_t VerticalPadding = 4;
    int32_t FontHeight = 9;
    int32_t ExtraLineHeight = 4;
    int32_t LabelWidth = 0;
    TZAVglutWigits_Alignment LabelAlignment = TZAVglutWigits_Alignment::Centred;
    bool AutoSize = false;
    bool AutoArrange = false;
    TZAVglutWigits_Node* VerticalScrollBar = nullptr;
    TZAVglutWigits_Node* HorizontalScrollBar = nullptr;

    // [Appearance]
    bool ShowLabel = true;
    bool DrawFrame = true;
    float LabelColor[3] = {0.7f, 0.7f, 0.7f};
    float DisabledLabelColor[3] = {0.3f, 0.3f, 0.3f};
    float BackgroundColor[3] = {0.0f, 0.0f, 0.0f};
    uint32_t Skins[SkinCount] = {0, 0, 0, 0};
    uint32_t Picture = 0;
    int32_t PictureWidth = 0;
    int32_t PictureHeight = 0;
    bool StretchPicture = false;
    bool DropShadow = false;
    bool LabelHalo = false;
    bool LabelShadow = false;
    bool DimWhenInactive = true;
    bool HighlightOnHover = false;

    // [State]
    bool Shown = true;
    bool Enabled = true;
    bool ClipChildren = true;
    bool MouseTransparent = false;
    bool Movable = false;
    bool Draggable = false;
    bool Clickable = false;
    bool AcceptsDoubleClick = true;
    bool ClickOnAnyRelease = false;
    bool ForwardMouseToParent = false;
    bool HideOnFocusLoss = false;
    bool StayOnTop = false;
    bool DeletePending = false;
    bool HiddenFromDrawing = false;
    bool Hovered = false;
    bool Occluded = false;
    bool ClickDelivered = false;

    // [Hot key]
    int32_t HotKey = 0;
    bool HotKeyIgnoreCase = true;
    bool HotKeyIgnoreModifiers = false;
    int32_t HotKeyModifiers = ModifierNone;
    int32_t HotKeySpecial = 0;

    // [Drag data]
    std::string DragData;

    // [Event prototypes] Click, right click, double click and drop are posted as copies; the
    // others run at once through their handler.
    std::unique_ptr<TZAVEvent> ClickEvent;
    std::unique_ptr<TZAVEvent> RightClickEvent;
    std::unique_ptr<TZAVEvent> DoubleClickEvent;
    std::unique_ptr<TZAVEvent> DropEvent;
    std::unique_ptr<TZAVEvent> DrawEvent;
    std::unique_ptr<TZAVEvent> MouseButtonEvent;
    std::unique_ptr<TZAVEvent> MouseDragEvent;
    std::unique_ptr<TZAVEvent> PassiveMotionEvent;
    std::unique_ptr<TZAVEvent> ResizeEvent;
    int64_t LastClickTime = 0;

protected:
    // Posts a copy of prototype with the relative and absolute position and the sender.
    bool PostEventCopy(const TZAVEvent* prototype, int32_t x, int32_t y, const char* text = nullptr);
    // Runs prototype's handler at once with the given position and integer parameters.
    void RunHandler(TZAVEvent* prototype, int32_t x, int32_t y, int32_t first = 0, int32_t second = 0);
    // Lays out the scroll bars and takes their positions as the scroll offset.
    void LayoutScrollBars(int32_t content_width, int32_t content_height);

private:
    void LinkLast(TZAVglutWigits_Node* node, bool floating);
};

using TZAVglutWigits_NodePtr = TZAVglutWigits_Node*;

// Sets a node's position and size and hands it back, so that a widget is made and placed in one
// expression.
template <typename TNode> TNode* PlaceNode(TNode* node, int32_t x, int32_t y, int32_t width, int32_t height)
{
    node->X = x;
    node->Y = y;
    node->Width = width;
    node->Height = height;
    return node;
}

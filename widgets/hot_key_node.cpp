#include "widgets/hot_key_node.h"

#include <utility>

TZAVglutWigits_HotKeyNode::TZAVglutWigits_HotKeyNode(TZAVglutWigits_Node* parent, int32_t character,
                                                     int32_t special, std::unique_ptr<TZAVEvent> click_event,
                                                     int32_t modifiers)
    : TZAVglutWigits_Node(parent)
{
    Shown = false;
    MouseTransparent = true;
    Width = 0;
    Height = 0;
    HotKey = character;
    HotKeySpecial = special;
    HotKeyModifiers = modifiers;
    ClickEvent = std::move(click_event);
}

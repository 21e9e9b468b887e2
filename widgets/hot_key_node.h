// A hidden node that only carries a hot key and the event its click posts.
#pragma once

#include <cstdint>
#include <memory>

#include "widgets/node.h"

class TZAVglutWigits_HotKeyNode : public TZAVglutWigits_Node
{
public:
    // Appended to parent; takes the click event. character 0 or special 0 means none.
    TZAVglutWigits_HotKeyNode(TZAVglutWigits_Node* parent, int32_t character, int32_t special,
                              std::unique_ptr<TZAVEvent> click_event, int32_t modifiers);
};

// The warnings that reached the message panel's sink since the last call; other lines are dropped.
#pragma once

#include <string>
#include <vector>

#include "core/status.h"

inline std::vector<std::string> TakeWarnings()
{
    std::vector<std::string> texts;
    for (const TZAVStatusLine& line : TakeStatusLines())
        if (line.Kind == TZAVStatusKind::Warning)
            texts.push_back(line.Text);
    return texts;
}

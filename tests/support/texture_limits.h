// Sets the process-wide texture size limits for one test and restores them after it.
#pragma once

#include <cstdint>

#include "files/settings.h"

class TextureLimits
{
public:
    TextureLimits(int32_t minimum, int32_t maximum) : OldMinimum(MinTextureSize), OldMaximum(MaxTextureSize)
    {
        MinTextureSize = minimum;
        MaxTextureSize = maximum;
    }
    ~TextureLimits()
    {
        MinTextureSize = OldMinimum;
        MaxTextureSize = OldMaximum;
    }
    TextureLimits(const TextureLimits&) = delete;
    TextureLimits& operator=(const TextureLimits&) = delete;

private:
    int32_t OldMinimum;
    int32_t OldMaximum;
};

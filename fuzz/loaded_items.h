// What a target does with a morph or selection it loaded: walks its values, which must all name
// vertices it has, then compresses, pages out and expands it, as the program does.
#pragma once

#include "fuzz/fuzz_support.h"
#include "mesh/morph.h"
#include "mesh/selection.h"

inline void UseMorph(TTarnwick_Morph& morph)
{
    int32_t index = 0;
    float delta[3];
    for (bool more = morph.GetFirstDelta(index, delta); more; more = morph.GetNextDelta(index, delta))
        if (index < 0 || index >= morph.vcount)
            FuzzCheckFailed("a loaded morph holds a delta outside its vertices");
    morph.Compress();
    morph.PageOut();
    morph.Expand();
}

inline void UseSelection(TTarnwick_Selection& selection)
{
    int32_t index = 0;
    float weight = 0;
    for (bool more = selection.GetFirstValue(index, weight); more; more = selection.GetNextValue(index, weight))
        if (index < 0 || index >= selection.vcount)
            FuzzCheckFailed("a loaded selection holds a weight outside its vertices");
    selection.Compress();
    selection.PageOut();
    selection.Expand();
}

// The pictures of the interface skin: the names under which Graphics.dat's records are registered
// as textures (the stored file name without its ".tga"), and the size each is drawn at. The
// archive is generated from this list at build time (data/graphics/make_graphics.cpp).
//
// Frames (Border > 0) are drawn in nine pieces: Border pixels on each side keep their size, the
// edges and the middle stretch. Pictograms (Border 0) are drawn at their own size, light grey
// (the text colour) on a transparent ground. "Lock" is tiled, 64 pixels to a repeat.
#pragma once

#include <cstdint>

struct TZAVSkinImage
{
    const char* Name;
    int32_t Width;
    int32_t Height;
    int32_t Border;
};

constexpr TZAVSkinImage SkinPanel{"Panel", 32, 32, 6};
constexpr TZAVSkinImage SkinButtonNormal{"ButtonNormal", 32, 32, 6};
constexpr TZAVSkinImage SkinButtonHover{"ButtonHover", 32, 32, 6};
constexpr TZAVSkinImage SkinButtonPressed{"ButtonPressed", 32, 32, 6};
// The window's body below its title bar: its top corners are square, the title bar's bottom ones.
constexpr TZAVSkinImage SkinWindowBody{"WindowBody", 64, 64, 8};
constexpr TZAVSkinImage SkinTitleBar{"TitleBar", 32, 32, 8};
constexpr TZAVSkinImage SkinMenu{"Menu", 32, 32, 5};
constexpr TZAVSkinImage SkinGaugeTrack{"GaugeTrack", 32, 16, 6};
constexpr TZAVSkinImage SkinGaugeFill{"GaugeFill", 32, 16, 6};
constexpr TZAVSkinImage SkinScrollTrack{"ScrollTrack", 16, 16, 5};
constexpr TZAVSkinImage SkinScrollHandle{"ScrollHandle", 16, 16, 5};
constexpr TZAVSkinImage SkinArrowUp{"ArrowUp", 16, 16, 0};
constexpr TZAVSkinImage SkinArrowDown{"ArrowDown", 16, 16, 0};
constexpr TZAVSkinImage SkinArrowLeft{"ArrowLeft", 16, 16, 0};
constexpr TZAVSkinImage SkinArrowRight{"ArrowRight", 16, 16, 0};
constexpr TZAVSkinImage SkinCheckMark{"CheckMark", 16, 16, 0};
constexpr TZAVSkinImage SkinClose{"Close", 16, 16, 0};
// The toggle of a collapsible panel: Plus while it is closed, Minus while it is open.
constexpr TZAVSkinImage SkinPlus{"Plus", 16, 16, 0};
constexpr TZAVSkinImage SkinMinus{"Minus", 16, 16, 0};
// Tiled over the polygons of a locked layer.
constexpr TZAVSkinImage SkinLock{"Lock", 64, 64, 0};

constexpr TZAVSkinImage SkinImages[] = {
    SkinPanel,        SkinButtonNormal, SkinButtonHover, SkinButtonPressed, SkinWindowBody,
    SkinTitleBar,     SkinMenu,         SkinGaugeTrack,  SkinGaugeFill,     SkinScrollTrack,
    SkinScrollHandle, SkinArrowUp,      SkinArrowDown,   SkinArrowLeft,     SkinArrowRight,
    SkinCheckMark,    SkinClose,        SkinPlus,        SkinMinus,         SkinLock,
};

// The flat dark-grey look the controls share while they draw without skin images: fills,
// borders, the accent of pressed and selected things, and text colours.
#pragma once

#include <cstdint>

namespace ControlLook {

inline constexpr float Fill[3] = {0.24f, 0.24f, 0.26f};
inline constexpr float FillHovered[3] = {0.30f, 0.30f, 0.33f};
inline constexpr float FillPressed[3] = {0.17f, 0.17f, 0.19f};
// Sunken areas: list boxes, edit fields, gauge and scroll troughs.
inline constexpr float Well[3] = {0.11f, 0.11f, 0.12f};
inline constexpr float Border[3] = {0.40f, 0.40f, 0.43f};
inline constexpr float BorderFocused[3] = {0.55f, 0.65f, 0.85f};
// Toggle buttons that are down, selected list items, gauge bars and scroll handles.
inline constexpr float Accent[3] = {0.26f, 0.42f, 0.70f};
inline constexpr float AccentHovered[3] = {0.32f, 0.50f, 0.80f};
inline constexpr float Handle[3] = {0.38f, 0.38f, 0.42f};
inline constexpr float Text[3] = {0.88f, 0.88f, 0.88f};
inline constexpr float TextDisabled[3] = {0.45f, 0.45f, 0.45f};
inline constexpr float TextSelected[3] = {1.0f, 1.0f, 1.0f};
inline constexpr float Caret[3] = {0.95f, 0.95f, 0.95f};
inline constexpr float SelectionFill[3] = {0.22f, 0.36f, 0.60f};

} // namespace ControlLook

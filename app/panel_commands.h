// The help pages (104 to 111) and the windows and panels (242 to 271).
#pragma once

#include <cstdint>

class TZAVEvent;

constexpr int32_t FirstHelpCommand = 104;
constexpr int32_t LastHelpCommand = 111;
constexpr int32_t FirstPanelCommand = 242;
// Posted after any change of a tree: the side panels' lists follow the project.
constexpr int32_t RefreshPanelsCommand = 244;
// Posted by the tools that need a current morph or selection: its section is shown.
constexpr int32_t ChooseMorphPanelCommand = 256;
constexpr int32_t ChooseSelectionPanelCommand = 257;

// True when the command ran to its end; false for numbers without a case or a page that could not
// be opened.
bool HandleHelpCommand(TZAVEvent* event);
bool HandlePanelCommand(TZAVEvent* event);

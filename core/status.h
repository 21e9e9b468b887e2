// Lines for the main window's message panel. Until the panel is installed the lines go to a
// sink that keeps them (and echoes them to stderr), so that callers and tests can read them.
#pragma once

#include <string>
#include <vector>

enum class TZAVStatusKind : int
{
    Status,
    Warning,
};

struct TZAVStatusLine
{
    TZAVStatusKind Kind;
    std::string Text;
};

using TStatusHook = void (*)(TZAVStatusKind kind, const char* text);

void AddStatus(const char* format, ...) __attribute__((format(printf, 1, 2)));
void AddWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The main window installs its panel here; null returns to the sink.
void SetStatusHook(TStatusHook hook);

// Lines that reached the sink since the last call; the sink is emptied.
std::vector<TZAVStatusLine> TakeStatusLines();

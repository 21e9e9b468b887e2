// Start-up: the steps from the command line to the main loop, in their fixed order, and the quit
// sequence. A refused start (no language file, a screen too small, a second instance, a missing
// archive, an obsolete language file, a driver the user declined) says why and gives a non-zero
// status.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TTarnwick_StartOptions
{
    // The command line without options: a file to open, if any.
    std::vector<std::string> Files;
    // Diagnostics for tests and benchmarks: quit once this many frames were drawn after the
    // start-up work settled (0: run until the user quits) ...
    int32_t ExitAfterFrames = 0;
    // ... having written the last frame there as PNG and a few facts beside it (".txt").
    std::string CapturePath;
    // The answers of the diagnostics run's questions, in order; no once they run out.
    std::vector<bool> Answers;
};

// Runs start-up and the main loop. Returns only when start-up is refused, with the exit status;
// the process otherwise ends through QuitTarnwick or a fatal error.
int RunTarnwick(const TTarnwick_StartOptions& options);

// The text of a language entry that holds a printf format for the given integers; fallback when
// the entry's conversions are not exactly that many "%d" (a file's text is never trusted as a
// format).
std::string FormatLanguageIntegers(int32_t entry, const char* fallback, int32_t first, int32_t second);

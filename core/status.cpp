#include "core/status.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "core/dialogs.h"
#include "core/report.h"

namespace {

TStatusHook status_hook = nullptr;
std::vector<TZAVStatusLine> sink_lines;
// A quiet side thread writes into the sink while the window's thread may read it.
std::mutex sink_mutex;

// The sink is bounded so that a program without a panel cannot grow it without end.
constexpr size_t MaxSinkLines = 10000;

void Emit(TZAVStatusKind kind, std::string text)
{
    // The panel is drawn by the window's thread only.
    const bool quiet = NoteQuietInterruption();
    if (status_hook && !quiet) {
        status_hook(kind, text.c_str());
        return;
    }
    std::fprintf(stderr, "%s%s\n", kind == TZAVStatusKind::Warning ? "warning: " : "", text.c_str());
    std::lock_guard<std::mutex> hold(sink_mutex);
    if (sink_lines.size() >= MaxSinkLines)
        sink_lines.erase(sink_lines.begin());
    sink_lines.push_back({kind, std::move(text)});
}

} // namespace

void AddStatus(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::string text = FormatTextList(format, arguments);
    va_end(arguments);
    Emit(TZAVStatusKind::Status, std::move(text));
}

void AddWarning(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::string text = FormatTextList(format, arguments);
    va_end(arguments);
    Emit(TZAVStatusKind::Warning, std::move(text));
}

void SetStatusHook(TStatusHook hook)
{
    status_hook = hook;
}

std::vector<TZAVStatusLine> TakeStatusLines()
{
    std::vector<TZAVStatusLine> lines;
    std::lock_guard<std::mutex> hold(sink_mutex);
    lines.swap(sink_lines);
    return lines;
}

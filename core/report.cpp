#include "core/report.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t ReportBufferSize = 1000;

TFatalHook fatal_hook = nullptr;
TErrorHook error_hook = nullptr;
TTraceHook trace_hook = nullptr;

} // namespace

std::string FormatReportText(const char* format, va_list arguments)
{
    if (format == nullptr)
        return std::string();
    if (std::strchr(format, '%') == nullptr)
        return std::string(format);
    char buffer[ReportBufferSize];
    std::vsnprintf(buffer, sizeof(buffer), format, arguments);
    return std::string(buffer);
}

std::string FormatTextList(const char* format, va_list arguments)
{
    va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length));
        std::vsnprintf(text.data(), text.size() + 1, format, arguments);
    }
    return text;
}

std::string FormatText(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::string text = FormatTextList(format, arguments);
    va_end(arguments);
    return text;
}

void ReportError(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::string text = FormatReportText(format, arguments);
    va_end(arguments);
    if (error_hook)
        error_hook(text.c_str());
    throw TZAVError(std::move(text));
}

void ReportFatal(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::string text = FormatReportText(format, arguments);
    va_end(arguments);
    if (fatal_hook)
        fatal_hook(text.c_str(), "FATAL");
    else
        std::fprintf(stderr, "FATAL: %s\n", text.c_str());
    // A fatal end is a failure: callers and scripts must be able to tell it from a normal quit.
    std::exit(EXIT_FAILURE);
}

void SetFatalHook(TFatalHook hook)
{
    fatal_hook = hook;
}

void CallFatalHook(const char* text, const char* title)
{
    if (fatal_hook)
        fatal_hook(text, title);
}

void SetErrorHookForTesting(TErrorHook hook)
{
    error_hook = hook;
}

void SetTraceHook(TTraceHook hook)
{
    trace_hook = hook;
}

void ReportTrace(const char* format, ...)
{
    if (!trace_hook)
        return;
    va_list arguments;
    va_start(arguments, format);
    std::string text = FormatReportText(format, arguments);
    va_end(arguments);
    trace_hook(text.c_str());
}

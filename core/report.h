// Reports: internal errors that raise, fatal errors that end the process, and the hooks
// the application installs to show them. Every part of the program reports through here.
#pragma once

#include <cstdarg>
#include <exception>
#include <string>

// Raised by ReportError; carries the formatted text.
class TZAVError : public std::exception
{
public:
    explicit TZAVError(std::string text) : Text(std::move(text)) {}
    const char* what() const noexcept override { return Text.c_str(); }

private:
    std::string Text;
};

using TFatalHook = void (*)(const char* text, const char* title);
using TErrorHook = void (*)(const char* text);
using TTraceHook = void (*)(const char* text);

// Formats printf-style into at most 999 characters; a format without '%' is copied whole.
std::string FormatReportText(const char* format, va_list arguments);

// Formats printf-style without a length limit: for paths, names and messages that carry them.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same for a function that takes its own "..." (it must not use the arguments afterwards).
std::string FormatTextList(const char* format, va_list arguments);

[[noreturn]] void ReportError(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Shows the text through the fatal hook and ends the process with a failure status.
[[noreturn]] void ReportFatal(const char* format, ...) __attribute__((format(printf, 1, 2)));

void SetFatalHook(TFatalHook hook);
void CallFatalHook(const char* text, const char* title);
// The error hook has no setter in the shipped program; tests use this one to observe reports.
void SetErrorHookForTesting(TErrorHook hook);

// Checkpoint texts of the lists and other internals; dropped unless a trace hook is set.
void SetTraceHook(TTraceHook hook);
void ReportTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

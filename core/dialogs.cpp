// Message boxes, the colour chooser and the file dialogs, all routed through one presenter.
//
// [SECTION] Lock, guard and presenter
// [SECTION] Message boxes
// [SECTION] Colour chooser
// [SECTION] File dialogs and file lookup
// [SECTION] Documents and the crash marker
#include "core/dialogs.h"

#include <fcntl.h>
#include <unistd.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "core/paths.h"
#include "core/report.h"

TZAVDialogHost GlobalDialogHost;
uint8_t DialogOpenFlag = 0;

namespace {

constexpr const char* CrashMarkerName = "ZAV_WINDOWS_DIALOG_CRASHED";
constexpr const char* ForbiddenNameCharacters = "\"*/:<>?\\|";
constexpr int32_t CustomColourCount = 16;

// [SECTION] Lock, guard and presenter

std::mutex dialog_mutex;
std::atomic<std::thread::id> dialog_lock_owner;

// Without a window (start-up, tests, no display) texts go to stderr and questions get no.
class TStderrPresenter : public TZAVDialogPresenter
{
public:
    TZAVDialogAnswer Present(const TZAVDialogRequest& request) override
    {
        std::fprintf(stderr, "%s\n%s\n", request.Title.c_str(), request.Text.c_str());
        return TZAVDialogAnswer();
    }
};

TStderrPresenter default_presenter;
TZAVDialogPresenter* current_presenter = &default_presenter;

class TDialogOpenScope
{
public:
    TDialogOpenScope() { DialogOpenFlag = 1; }
    ~TDialogOpenScope() { DialogOpenFlag = 0; }
    TDialogOpenScope(const TDialogOpenScope&) = delete;
    TDialogOpenScope& operator=(const TDialogOpenScope&) = delete;
};

class TCrashMarkerScope
{
public:
    explicit TCrashMarkerScope(bool active) : Active(active)
    {
        if (Active)
            SetDialogCrashMarker();
    }
    ~TCrashMarkerScope()
    {
        if (Active)
            ClearDialogCrashMarker();
    }
    TCrashMarkerScope(const TCrashMarkerScope&) = delete;
    TCrashMarkerScope& operator=(const TCrashMarkerScope&) = delete;

private:
    bool Active;
};

enum class TCrashMarking : int32_t
{
    Off,
    On,
};

thread_local bool quiet_thread = false;
thread_local int32_t quiet_interruptions = 0;

// Every dialog opens here: one at a time, bracketed by the host callbacks and the open flag.
TZAVDialogAnswer PresentDialog(const TZAVDialogHost& host, const TZAVDialogRequest& request,
                               TCrashMarking marking)
{
    if (NoteQuietInterruption())
        return default_presenter.Present(request);
    TZAVThreadLock lock;
    if (!lock.Acquired()) {
        // The text still reaches someone even though the box cannot open.
        std::fprintf(stderr, "%s (not shown: another dialog is open)\n%s\n", request.Title.c_str(),
                     request.Text.c_str());
        return TZAVDialogAnswer();
    }
    TZAVDialogGuard guard(host);
    TCrashMarkerScope marker(marking == TCrashMarking::On);
    TDialogOpenScope open_flag;
    try {
        return current_presenter->Present(request);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: the dialog failed: %s\n", request.Title.c_str(), error.what());
    } catch (...) {
        std::fprintf(stderr, "%s: the dialog failed\n", request.Title.c_str());
    }
    return TZAVDialogAnswer();
}

// [SECTION] Message boxes

TZAVDialogAnswer PresentMessage(const TZAVDialogHost& host, TZAVDialogKind kind, const char* title,
                                const char* format, va_list arguments)
{
    TZAVDialogRequest request;
    request.Kind = kind;
    request.Title = title;
    request.Text = FormatTextList(format, arguments);
    return PresentDialog(host, request, TCrashMarking::Off);
}

// [SECTION] Colour chooser

uint8_t custom_colours[CustomColourCount * 3] = {};
uint8_t last_colour[3] = {};

// Truncates toward zero (0.5 gives 127); out-of-range and NaN values are clamped first.
uint8_t ColourByte(float value)
{
    if (!(value > 0.0f))
        return 0;
    if (value >= 1.0f)
        return 255;
    return static_cast<uint8_t>(static_cast<double>(value) * 255.0);
}

// [SECTION] File dialogs and file lookup

std::string SingleEntryFilter(const char* description, const char* extension)
{
    std::string filter = description != nullptr ? description : "";
    filter.push_back('\0');
    filter += (extension != nullptr && extension[0] != '\0') ? std::string("*.") + extension : "*.*";
    filter.push_back('\0');
    filter.push_back('\0');
    return filter;
}

// Copies a NUL-separated list up to and including the empty entry that ends it.
std::string CopyFilterList(const char* filter_list)
{
    std::string filter;
    if (filter_list != nullptr) {
        for (const char* entry = filter_list; *entry != '\0'; entry += std::strlen(entry) + 1) {
            filter += entry;
            filter.push_back('\0');
        }
    }
    filter.push_back('\0');
    return filter;
}

struct TFileDialogOptions
{
    TZAVDialogKind Kind = TZAVDialogKind::OpenFile;
    std::string Filter;
    const char* Extension = nullptr;
    const char* DefaultName = nullptr;
    bool RememberFolder = false;
    int32_t* FilterIndex = nullptr;
};

bool AskFileName(const TZAVDialogHost& host, std::string& result, std::string& start_folder,
                 const TFileDialogOptions& options)
{
    int32_t entry_count = static_cast<int32_t>(SplitDialogFilter(options.Filter).size());
    int32_t last_entry = std::max(entry_count - 1, 0);

    TZAVDialogRequest request;
    request.Kind = options.Kind;
    request.Title = options.Kind == TZAVDialogKind::OpenFile ? "Open" : "Save As";
    request.StartFolder = start_folder;
    request.DefaultName = CleanFileName(options.DefaultName);
    request.DefaultExtension = options.Extension != nullptr ? options.Extension : "";
    request.Filter = options.Filter;
    if (options.FilterIndex != nullptr)
        request.FilterIndex = std::clamp(*options.FilterIndex, 0, last_entry);
    request.MustExist = options.Kind == TZAVDialogKind::OpenFile;
    request.PromptOverwrite = options.Kind == TZAVDialogKind::SaveFile;

    TZAVDialogAnswer answer = PresentDialog(host, request, TCrashMarking::On);
    if (!answer.Accepted || answer.Path.empty()) {
        result.clear();
        return false;
    }
    result = answer.Path;
    if (options.RememberFolder)
        start_folder = FolderOf(result);
    if (options.FilterIndex != nullptr)
        *options.FilterIndex = std::clamp(answer.FilterIndex, 0, last_entry);
    return true;
}

} // namespace

TZAVThreadLock::TZAVThreadLock()
{
    // The same thread asking again would wait for itself for ever; refuse instead.
    if (dialog_lock_owner.load() == std::this_thread::get_id())
        return;
    dialog_mutex.lock();
    dialog_lock_owner.store(std::this_thread::get_id());
    Held = true;
}

TZAVThreadLock::~TZAVThreadLock()
{
    if (!Held)
        return;
    dialog_lock_owner.store(std::thread::id());
    dialog_mutex.unlock();
}

TZAVDialogGuard::TZAVDialogGuard(const TZAVDialogHost& host) : AfterDialog(host.AfterDialog)
{
    if (host.BeforeDialog != nullptr)
        host.BeforeDialog();
}

TZAVDialogGuard::~TZAVDialogGuard()
{
    if (AfterDialog != nullptr)
        AfterDialog();
}

TZAVQuietThread::TZAVQuietThread()
{
    quiet_thread = true;
    quiet_interruptions = 0;
}

TZAVQuietThread::~TZAVQuietThread()
{
    quiet_thread = false;
}

bool TZAVQuietThread::Interrupted() const
{
    return quiet_interruptions > 0;
}

bool NoteQuietInterruption()
{
    if (quiet_thread)
        quiet_interruptions++;
    return quiet_thread;
}

TZAVDialogPresenter* SetDialogPresenter(TZAVDialogPresenter* presenter)
{
    TZAVDialogPresenter* previous = current_presenter;
    current_presenter = presenter != nullptr ? presenter : &default_presenter;
    return previous == &default_presenter ? nullptr : previous;
}

void ShowError(const TZAVDialogHost& host, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    PresentMessage(host, TZAVDialogKind::Error, "Error...", format, arguments);
    va_end(arguments);
}

void ShowMessage(const TZAVDialogHost& host, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    PresentMessage(host, TZAVDialogKind::Message, "Message...", format, arguments);
    va_end(arguments);
}

bool AskYesNo(const TZAVDialogHost& host, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    TZAVDialogAnswer answer = PresentMessage(host, TZAVDialogKind::YesNo, "Confirm...", format, arguments);
    va_end(arguments);
    return answer.Accepted;
}

bool AskOkCancel(const TZAVDialogHost& host, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    TZAVDialogAnswer answer = PresentMessage(host, TZAVDialogKind::OkCancel, "Confirm...", format, arguments);
    va_end(arguments);
    return answer.Accepted;
}

void Beep()
{
    std::fputc('\a', stderr);
    std::fflush(stderr);
}

bool ChooseColour(const TZAVDialogHost& host, float* colour, const float* initial)
{
    if (colour == nullptr)
        return false;
    TZAVDialogRequest request;
    request.Kind = TZAVDialogKind::Colour;
    request.Title = "Colour";
    request.CustomColours = custom_colours;
    request.HasInitialColour = initial != nullptr;
    for (int channel = 0; channel < 3; channel++)
        request.InitialColour[channel] =
            initial != nullptr ? ColourByte(initial[channel]) : last_colour[channel];

    TZAVDialogAnswer answer = PresentDialog(host, request, TCrashMarking::Off);
    if (!answer.Accepted)
        return false;
    for (int channel = 0; channel < 3; channel++) {
        last_colour[channel] = answer.Colour[channel];
        colour[channel] = static_cast<float>(answer.Colour[channel] / 255.0);
    }
    return true;
}

std::vector<TZAVDialogFilterEntry> SplitDialogFilter(const std::string& filter)
{
    std::vector<TZAVDialogFilterEntry> entries;
    size_t position = 0;
    for (;;) {
        size_t description_end = filter.find('\0', position);
        if (description_end == std::string::npos || description_end == position)
            break;
        size_t pattern_end = filter.find('\0', description_end + 1);
        if (pattern_end == std::string::npos)
            break;
        entries.push_back({filter.substr(position, description_end - position),
                           filter.substr(description_end + 1, pattern_end - description_end - 1)});
        position = pattern_end + 1;
    }
    return entries;
}

std::string CleanFileName(const char* name)
{
    std::string clean = name != nullptr ? name : "";
    for (char& c : clean) {
        if (std::strchr(ForbiddenNameCharacters, c) != nullptr)
            c = '_';
    }
    return clean;
}

bool AskOpenFileName(const TZAVDialogHost& host, std::string& result, std::string& start_folder,
                     const char* description, const char* extension, const char* default_name,
                     bool remember_folder)
{
    TFileDialogOptions options{TZAVDialogKind::OpenFile,
                               SingleEntryFilter(description, extension),
                               extension,
                               default_name,
                               remember_folder,
                               nullptr};
    return AskFileName(host, result, start_folder, options) && FileExists(result);
}

bool AskSaveFileName(const TZAVDialogHost& host, std::string& result, std::string& start_folder,
                     const char* description, const char* extension, const char* default_name,
                     bool remember_folder)
{
    TFileDialogOptions options{TZAVDialogKind::SaveFile,
                               SingleEntryFilter(description, extension),
                               extension,
                               default_name,
                               remember_folder,
                               nullptr};
    return AskFileName(host, result, start_folder, options);
}

bool AskOpenFileNameFromList(const TZAVDialogHost& host, std::string& result, std::string& start_folder,
                             const char* filter_list, const char* default_name, bool remember_folder,
                             int32_t* filter_index)
{
    TFileDialogOptions options{TZAVDialogKind::OpenFile,
                               CopyFilterList(filter_list),
                               nullptr,
                               default_name,
                               remember_folder,
                               filter_index};
    return AskFileName(host, result, start_folder, options);
}

bool AskSaveFileNameFromList(const TZAVDialogHost& host, std::string& result, std::string& start_folder,
                             const char* filter_list, const char* default_name, bool remember_folder,
                             int32_t* filter_index)
{
    TFileDialogOptions options{TZAVDialogKind::SaveFile,
                               CopyFilterList(filter_list),
                               nullptr,
                               default_name,
                               remember_folder,
                               filter_index};
    return AskFileName(host, result, start_folder, options);
}

bool LocateFile(const TZAVDialogHost& host, std::string& path, const char* hint_folder)
{
    if (FileExists(path))
        return true;
    std::string folder, name;
    SplitPath(path, folder, name);
    std::string hint = hint_folder != nullptr ? hint_folder : "";
    if (!hint.empty()) {
        std::string beside = WithTrailingSeparator(hint) + name;
        if (FileExists(beside)) {
            path = beside;
            return true;
        }
        // Names from Windows files may differ from the disk in case only.
        std::string found;
        if (FindFileInFolder(name, hint, found, TZAVSearchDepth::FolderOnly)) {
            path = found;
            return true;
        }
    }
    if (!AskYesNo(host, "The file '%s' cannot be found. Do you want to find it now?", name.c_str()))
        return false;
    std::string chosen;
    if (!AskOpenFileName(host, chosen, hint, "", "", name.c_str(), false))
        return false;
    path = chosen;
    return true;
}

// [SECTION] Documents and the crash marker

bool OpenDocument(const TZAVDialogHost& host, const char* path)
{
    if (path == nullptr || path[0] == '\0') {
        ShowError(host, "Error opening the document\n%s", "");
        return false;
    }
    // The launcher runs in a grandchild so that it never becomes a zombie of ours; the pipe closes
    // on a successful exec and carries errno when the exec fails.
    int status_pipe[2];
    if (pipe2(status_pipe, O_CLOEXEC) != 0) {
        ShowError(host, "Error opening the document\n%s", path);
        return false;
    }
    pid_t child = fork();
    if (child == 0) {
        close(status_pipe[0]);
        pid_t launcher_process = fork();
        if (launcher_process > 0)
            _exit(0);
        if (launcher_process == 0) {
            char launcher[] = "xdg-open";
            char* arguments[] = {launcher, const_cast<char*>(path), nullptr};
            execvp(launcher, arguments);
        }
        // Reached only when the fork or the exec failed.
        int error = errno;
        ssize_t written = write(status_pipe[1], &error, sizeof(error));
        (void)written;
        _exit(0);
    }
    close(status_pipe[1]);
    bool launched = child > 0;
    if (launched) {
        int child_status = 0;
        while (waitpid(child, &child_status, 0) < 0 && errno == EINTR) {
        }
        int exec_error = 0;
        ssize_t length;
        while ((length = read(status_pipe[0], &exec_error, sizeof(exec_error))) < 0 && errno == EINTR) {
        }
        launched = length == 0;
    }
    close(status_pipe[0]);
    if (!launched)
        ShowError(host, "Error opening the document\n%s", path);
    return launched;
}

bool DialogCrashMarkerPresent()
{
    std::string folder;
    return StateFolder(folder) && FileExists(folder + CrashMarkerName);
}

void SetDialogCrashMarker()
{
    std::string folder;
    if (!StateFolder(folder))
        return;
    int descriptor = open((folder + CrashMarkerName).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (descriptor >= 0)
        close(descriptor);
}

void ClearDialogCrashMarker()
{
    std::string folder;
    if (StateFolder(folder))
        unlink((folder + CrashMarkerName).c_str());
}

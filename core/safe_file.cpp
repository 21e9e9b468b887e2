// Writes through a temporary file beside the target so that the target is only ever replaced
// by a complete file: mkstemp, write, fchmod, fsync, then rename.
//
// A save that is killed leaves its temporary behind. Temporaries are named
// ".<target name>.save-XXXXXX", and a live one is held under an exclusive flock, so that the
// next save of the same target can tell the leftovers of dead saves from a save still running
// (in this process or another one) and removes only those.
#include "core/safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/dialogs.h"
#include "core/paths.h"

namespace {

constexpr mode_t NewFileMode = 0666;
constexpr const char* TemporaryMarker = ".save-";
constexpr size_t TemporaryRandomLength = 6; // mkstemp's XXXXXX
constexpr int CreateAttempts = 4;

mode_t CurrentUmask()
{
    mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// Replacing a link would cut it; write to what it points to instead.
std::string ResolveLink(const std::string& path)
{
    struct stat status;
    if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
        return path;
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        return path;
    std::string result(resolved);
    std::free(resolved);
    return result;
}

// No write permission for anyone, or none for this user: someone protected the file.
bool IsReadOnly(const std::string& path)
{
    struct stat status;
    if (stat(path.c_str(), &status) != 0)
        return false;
    return (status.st_mode & 0222) == 0 || (access(path.c_str(), W_OK) != 0 && errno == EACCES);
}

// Makes the rename itself durable; a folder that cannot be synced is not an error.
void SyncFolder(const std::string& folder)
{
    int descriptor = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    fsync(descriptor);
    close(descriptor);
}

bool SameFile(const struct stat& first, const struct stat& second)
{
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// prefix followed by exactly what mkstemp puts in place of XXXXXX.
bool IsTemporaryName(const char* name, const std::string& prefix)
{
    if (std::strncmp(name, prefix.c_str(), prefix.size()) != 0)
        return false;
    const char* random = name + prefix.size();
    size_t length = std::strlen(random);
    if (length != TemporaryRandomLength)
        return false;
    for (size_t i = 0; i < length; i++) {
        char c = random[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

// A leftover is a regular file of this user that no live writer holds locked. Where locks are
// not supported nothing is removed.
void RemoveIfLeftover(int folder, const char* name)
{
    int descriptor = openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return;
    struct stat opened, named;
    if (fstat(descriptor, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == geteuid() &&
        flock(descriptor, LOCK_EX | LOCK_NB) == 0 &&
        fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(opened, named))
        unlinkat(folder, name, 0);
    close(descriptor);
}

void RemoveLeftovers(const std::string& folder, const std::string& prefix)
{
    DIR* listing = opendir(folder.empty() ? "." : folder.c_str());
    if (listing == nullptr)
        return;
    while (const dirent* entry = readdir(listing))
        if (IsTemporaryName(entry->d_name, prefix))
            RemoveIfLeftover(dirfd(listing), entry->d_name);
    closedir(listing);
}

// Creates the temporary and takes its lock. Another save's cleanup may have removed the name
// between mkstemp and flock; the name is then made anew.
int CreateTemporary(const std::string& prefix, std::string& out_path)
{
    std::string pattern = prefix + std::string(TemporaryRandomLength, 'X');
    for (int attempt = 0; attempt < CreateAttempts; attempt++) {
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        int descriptor = mkostemp(name.data(), O_CLOEXEC);
        if (descriptor < 0)
            return -1;
        bool locked = flock(descriptor, LOCK_EX | LOCK_NB) == 0;
        bool lock_taken_by_cleanup = !locked && errno == EWOULDBLOCK;
        struct stat opened, named;
        if (!lock_taken_by_cleanup && fstat(descriptor, &opened) == 0 && stat(name.data(), &named) == 0 &&
            SameFile(opened, named)) {
            out_path = name.data();
            return descriptor;
        }
        close(descriptor);
    }
    errno = EAGAIN;
    return -1;
}

} // namespace

TZAVSafeFileWriter::TZAVSafeFileWriter(std::string target_path) : TargetPath(std::move(target_path)) {}

TZAVSafeFileWriter::~TZAVSafeFileWriter()
{
    if (Stream != nullptr)
        std::fclose(Stream);
    if (Descriptor >= 0)
        close(Descriptor);
    if (!Committed && !TemporaryPath.empty())
        unlink(TemporaryPath.c_str());
}

// Writes all of data or records why not; stdio only learns that the write failed.
ssize_t TZAVSafeFileWriter::WriteToFile(void* cookie, const char* data, size_t size)
{
    auto* writer = static_cast<TZAVSafeFileWriter*>(cookie);
    for (size_t done = 0; writer->WriteError == 0 && done < size;) {
        ssize_t length = write(writer->Descriptor, data + done, size - done);
        if (length < 0 && errno == EINTR)
            continue;
        if (length < 0)
            writer->WriteError = errno;
        else
            done += static_cast<size_t>(length);
    }
    if (writer->WriteError == 0)
        return static_cast<ssize_t>(size);
    errno = writer->WriteError;
    return 0;
}

int TZAVSafeFileWriter::SeekInFile(void* cookie, off64_t* offset, int whence)
{
    off_t position = lseek(static_cast<TZAVSafeFileWriter*>(cookie)->Descriptor, *offset, whence);
    if (position < 0)
        return -1;
    *offset = position;
    return 0;
}

FILE* TZAVSafeFileWriter::Open()
{
    if (Stream != nullptr)
        return Stream;
    if (Committed || TargetPath.empty()) {
        ErrorText = "No file to write to: '" + TargetPath + "'";
        return nullptr;
    }
    TargetPath = ResolveLink(TargetPath);
    if (IsReadOnly(TargetPath) &&
        !AskYesNo(GlobalDialogHost, "The file '%s' is read-only. Do you want to replace it anyway?",
                  TargetPath.c_str())) {
        ErrorText = "The file '" + TargetPath + "' is read-only; it was not replaced";
        return nullptr;
    }
    std::string folder, name;
    SplitPath(TargetPath, folder, name);
    std::string prefix = folder + "." + name + TemporaryMarker;
    RemoveLeftovers(folder, "." + name + TemporaryMarker);
    Descriptor = CreateTemporary(prefix, TemporaryPath);
    if (Descriptor < 0) {
        ErrorText = "Cannot create a temporary file beside '" + TargetPath + "': " + std::strerror(errno);
        return nullptr;
    }
    WriteError = 0;
    Stream = fopencookie(
        this, "wb", {nullptr, &TZAVSafeFileWriter::WriteToFile, &TZAVSafeFileWriter::SeekInFile, nullptr});
    if (Stream == nullptr) {
        ErrorText = "Cannot write '" + TemporaryPath + "': " + std::strerror(errno);
        close(Descriptor);
        Descriptor = -1;
        unlink(TemporaryPath.c_str());
        TemporaryPath.clear();
    }
    return Stream;
}

bool TZAVSafeFileWriter::Commit()
{
    if (Stream == nullptr) {
        if (ErrorText.empty())
            ErrorText = "Cannot write '" + TargetPath + "': the file was not opened";
        return false;
    }
    // A failed stdio call that never reached the file (a bad format) has no errno of its own.
    int error = 0;
    if (std::fflush(Stream) != 0 || std::ferror(Stream))
        error = WriteError != 0 ? WriteError : EIO;
    std::fclose(Stream);
    Stream = nullptr;
    // mkstemp made the file 0600; it takes the target's permissions, or a new file's.
    struct stat status;
    mode_t mode =
        stat(TargetPath.c_str(), &status) == 0 ? (status.st_mode & 0777) : (NewFileMode & ~CurrentUmask());
    if (error == 0 && fchmod(Descriptor, mode) != 0)
        error = errno;
    if (error == 0 && fsync(Descriptor) != 0)
        error = errno;
    // Some file systems report a failed write only when the file is closed.
    if (close(Descriptor) != 0 && error == 0)
        error = errno;
    Descriptor = -1;
    if (error == 0 && rename(TemporaryPath.c_str(), TargetPath.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ErrorText = "Error writing '" + TargetPath + "': " + std::strerror(error);
        unlink(TemporaryPath.c_str());
        TemporaryPath.clear();
        return false;
    }
    Committed = true;
    SyncFolder(FolderOf(TargetPath));
    return true;
}

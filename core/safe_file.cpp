// Writes through a temporary file beside the target so that the target is only ever replaced
// by a complete file: mkstemp, fsync, then rename.
#include "core/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/paths.h"

namespace {

constexpr mode_t NewFileMode = 0644;

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

// Makes the rename itself durable; a folder that cannot be synced is not an error.
void SyncFolder(const std::string& folder)
{
    int descriptor = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    fsync(descriptor);
    close(descriptor);
}

} // namespace

TZAVSafeFileWriter::TZAVSafeFileWriter(std::string target_path) : TargetPath(std::move(target_path)) {}

TZAVSafeFileWriter::~TZAVSafeFileWriter()
{
    if (Stream != nullptr)
        std::fclose(Stream);
    if (!Committed && !TemporaryPath.empty())
        unlink(TemporaryPath.c_str());
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
    std::string folder, name;
    SplitPath(TargetPath, folder, name);
    std::string pattern = folder + "." + name + ".XXXXXX";
    std::vector<char> temporary(pattern.begin(), pattern.end());
    temporary.push_back('\0');
    int descriptor = mkostemp(temporary.data(), O_CLOEXEC);
    if (descriptor < 0) {
        ErrorText = "Cannot create a temporary file beside '" + TargetPath + "': " + std::strerror(errno);
        return nullptr;
    }
    TemporaryPath = temporary.data();
    struct stat status;
    mode_t mode = stat(TargetPath.c_str(), &status) == 0 ? (status.st_mode & 07777)
                                                         : (NewFileMode & ~CurrentUmask());
    fchmod(descriptor, mode);
    Stream = fdopen(descriptor, "wb");
    if (Stream == nullptr) {
        ErrorText = "Cannot write '" + TemporaryPath + "': " + std::strerror(errno);
        close(descriptor);
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
    FILE* stream = Stream;
    Stream = nullptr;
    int error = 0;
    errno = 0;
    if (std::fflush(stream) != 0 || std::ferror(stream))
        error = errno != 0 ? errno : EIO;
    if (error == 0 && fsync(fileno(stream)) != 0)
        error = errno;
    if (std::fclose(stream) != 0 && error == 0)
        error = errno;
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

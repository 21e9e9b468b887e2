// Writes a file the user owns through a temporary file in the same folder, renamed over the
// target only when complete: a failed write leaves the old file intact.
#pragma once

#include <cstdio>
#include <string>

class TZAVSafeFileWriter
{
public:
    explicit TZAVSafeFileWriter(std::string target_path);
    // Removes the temporary file unless Commit succeeded.
    ~TZAVSafeFileWriter();
    TZAVSafeFileWriter(const TZAVSafeFileWriter&) = delete;
    TZAVSafeFileWriter& operator=(const TZAVSafeFileWriter&) = delete;

    // Creates the temporary file (mkstemp); null on failure, with Error() saying why.
    FILE* Open();
    FILE* File() const { return Stream; }
    // Flushes, closes, checks every write and renames over the target.
    [[nodiscard]] bool Commit();
    const std::string& Error() const { return ErrorText; }

private:
    std::string TargetPath;
    std::string TemporaryPath;
    std::string ErrorText;
    FILE* Stream = nullptr;
    bool Committed = false;
};

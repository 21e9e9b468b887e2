// Writes a file the user owns through a temporary file in the same folder, renamed over the
// target only when complete: a failed write leaves the old file intact, and a killed one leaves a
// temporary that the next save of the same file removes.
#pragma once

#include <sys/types.h>

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

    // Asks before replacing a read-only target, removes what killed saves of it left, and
    // creates the temporary file (mkstemp); null on failure or refusal, with Error() saying why.
    FILE* Open();
    FILE* File() const { return Stream; }
    // Flushes, checks every write, gives the file the target's permissions, syncs it and renames
    // it over the target. Error() names the cause of the first failed write.
    [[nodiscard]] bool Commit();
    const std::string& Error() const { return ErrorText; }

private:
    static ssize_t WriteToFile(void* cookie, const char* data, size_t size);
    static int SeekInFile(void* cookie, off64_t* offset, int whence);

    std::string TargetPath;
    std::string TemporaryPath;
    std::string ErrorText;
    FILE* Stream = nullptr;
    int Descriptor = -1;
    // errno of the first write that failed; later writes are skipped.
    int WriteError = 0;
    bool Committed = false;
};

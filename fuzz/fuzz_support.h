// What every fuzz target shares: a private home, dialogs that answer negatively, a silent message
// panel, the paging file, and the input as a file, either by path or as an open stream. It defines
// LLVMFuzzerInitialize, so a target includes it in one file only.
//
//     std::string path = WriteInputFile("figure.cr2", data, size);  // a path reader's input
//     FILE* stream = InputStream(data, size);                        // a stream reader's input
#pragma once

#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "core/dialogs.h"
#include "core/status.h"
#include "core/virtual_memory.h"

// Every question gets its negative answer; nothing blocks and nothing aborts.
class NegativeDialogs : public TZAVDialogPresenter
{
public:
    TZAVDialogAnswer Present(const TZAVDialogRequest&) override { return TZAVDialogAnswer(); }
};

// The folder of this process: HOME, XDG_* and TMPDIR point inside it. Ends with '/'.
inline std::string& FuzzFolder()
{
    static std::string folder;
    return folder;
}

inline int RemoveFuzzEntry(const char* path, const struct stat*, int, struct FTW*)
{
    remove(path);
    return 0;
}

inline void RemoveFuzzFolder()
{
    if (!FuzzFolder().empty())
        nftw(FuzzFolder().c_str(), RemoveFuzzEntry, 16, FTW_DEPTH | FTW_PHYS);
}

inline void IgnoreStatusLine(TZAVStatusKind, const char*) {}

// Call once from LLVMFuzzerInitialize, before anything asks for a user folder.
inline void SetUpFuzzProcess()
{
    // Memory-backed when possible: the safe file writer's fsync on a disk would slow every input.
    const char* base = getenv("TMPDIR");
    std::string pattern = access("/dev/shm", W_OK) == 0        ? "/dev/shm"
                          : base != nullptr && base[0] != '\0' ? base
                                                               : "/tmp";
    pattern += "/tarnwick-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("tarnwick fuzz: cannot make the temporary folder");
        std::abort();
    }
    FuzzFolder() = pattern + "/";
    for (const char* name : {"home", "config", "state", "data", "cache", "tmp", "input"})
        mkdir((FuzzFolder() + name).c_str(), 0700);
    setenv("HOME", (FuzzFolder() + "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (FuzzFolder() + "config").c_str(), 1);
    setenv("XDG_STATE_HOME", (FuzzFolder() + "state").c_str(), 1);
    setenv("XDG_DATA_HOME", (FuzzFolder() + "data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (FuzzFolder() + "cache").c_str(), 1);
    setenv("TMPDIR", (FuzzFolder() + "tmp").c_str(), 1);
    static NegativeDialogs dialogs;
    SetDialogPresenter(&dialogs);
    SetStatusHook(IgnoreStatusLine);
    std::atexit(RemoveFuzzFolder);
}

// Where path readers find their inputs: "<fuzz folder>input/".
inline std::string InputFolder()
{
    return FuzzFolder() + "input/";
}

// Writes the bytes to name in the input folder and returns its path; aborts when it cannot,
// since a missing input would only test the "cannot open" path.
inline std::string WriteInputFile(const std::string& name, const uint8_t* data, size_t size)
{
    std::string path = InputFolder() + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || (size > 0 && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
    return path;
}

inline void WriteInputText(const std::string& name, std::string_view text)
{
    WriteInputFile(name, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// The bytes in a regular file (readers ask its size through fstat), positioned at the start. The
// stream is reused by the next call, so it must not be closed.
inline FILE* InputStream(const uint8_t* data, size_t size)
{
    static FILE* stream = nullptr;
    if (stream == nullptr)
        stream = std::fopen((InputFolder() + "stream.bin").c_str(), "w+b");
    if (stream == nullptr || ftruncate(fileno(stream), 0) != 0) {
        std::perror("tarnwick fuzz: input stream");
        std::abort();
    }
    std::rewind(stream);
    std::clearerr(stream);
    if (size > 0 && std::fwrite(data, 1, size, stream) != size) {
        std::perror("tarnwick fuzz: input stream");
        std::abort();
    }
    std::fflush(stream);
    std::rewind(stream);
    return stream;
}

// Every target may decode images, since maps carry PNGs. DevIL's loaders leak their row tables
// when the decoder under them gives up by a long jump (a PNG with a bad checksum); those blocks
// come from DevIL's own allocator, whose frames lack the frame pointers that would name the loader.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libIL.so\n";
}

// Every target starts the same way: its private folders, then the paging file that morphs,
// selections and meshes page into.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SetUpFuzzProcess();
    return InitVirtualMemory() ? 0 : 1;
}

// Stops the run with a message: libFuzzer keeps the input as a crash.
[[noreturn]] inline void FuzzCheckFailed(const char* what)
{
    std::fprintf(stderr, "tarnwick fuzz: check failed: %s\n", what);
    std::abort();
}

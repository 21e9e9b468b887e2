// Tarnwick's entry point: the command line, then start-up and the main loop.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include "app/batch.h"
#include "app/startup.h"
#include "core/report.h"
#include "core/virtual_memory.h"

namespace {

constexpr const char* Usage = "usage: tarnwick [--help] [--version] [FILE]\n"
                              "       tarnwick import|export-cr2|export-obj ... (below)\n"
                              "\n"
                              "  FILE         a project (.Tarnwick) to open, or an OBJ or CR2 figure to import\n"
                              "  -h, --help   print this help and exit\n"
                              "  --version    print the version and exit\n"
                              "\n"
                              "Diagnostics:\n"
                              "  --exit-after-frames N   quit after N frames once start-up has settled,\n"
                              "                          answering every question with no\n"
                              "  --capture FILE.png      with --exit-after-frames, save the last frame and\n"
                              "                          a few facts (FILE.png.txt) first\n"
                              "  --answer yes|no         with --exit-after-frames, the answer to the next\n"
                              "                          question (may be repeated)\n";

// Asked-for output that cannot be written (a full disk, a closed pipe) is a failure.
int FinishOutput()
{
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

int UsageError(const char* format, const char* argument)
{
    std::fprintf(stderr, format, argument);
    std::fputs(Usage, stderr);
    return 2;
}

// A file named on the command line is kept as the file system spells its absolute path.
std::string FileArgument(const char* argument)
{
    char resolved[PATH_MAX];
    return realpath(argument, resolved) != nullptr ? std::string(resolved) : std::string(argument);
}

} // namespace

int main(int argc, char** argv)
{
    KeepLargeBlocksInProcess();
    // A batch command needs no window: it runs before anything of the display is touched.
    if (argc > 1 && IsBatchCommand(argv[1]))
        return RunBatch(argc, argv);
    TTarnwick_StartOptions options;
    for (int i = 1; i < argc; i++) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            std::fputs(Usage, stdout);
            std::fputs("\n", stdout);
            std::fputs(BatchUsage, stdout);
            return FinishOutput();
        }
        if (std::strcmp(argument, "--version") == 0) {
            std::printf("Tarnwick %s\n", TARNWICK_VERSION);
            return FinishOutput();
        }
        if (std::strcmp(argument, "--exit-after-frames") == 0 || std::strcmp(argument, "--capture") == 0 ||
            std::strcmp(argument, "--answer") == 0) {
            if (i + 1 == argc)
                return UsageError("tarnwick: option '%s' needs a value\n", argument);
            const char* value = argv[++i];
            if (argument[2] == 'c') {
                options.CapturePath = value;
                continue;
            }
            if (argument[2] == 'a') {
                if (std::strcmp(value, "yes") != 0 && std::strcmp(value, "no") != 0)
                    return UsageError("tarnwick: '%s' is not an answer (yes or no)\n", value);
                options.Answers.push_back(value[0] == 'y');
                continue;
            }
            char* end = nullptr;
            const long frames = std::strtol(value, &end, 10);
            if (*end != '\0' || frames <= 0 || frames > INT_MAX)
                return UsageError("tarnwick: '%s' is not a number of frames\n", value);
            options.ExitAfterFrames = static_cast<int32_t>(frames);
            continue;
        }
        if (argument[0] == '-')
            return UsageError("tarnwick: unknown option '%s'\n", argument);
        options.Files.push_back(FileArgument(argument));
    }
    try {
        return RunTarnwick(options);
    } catch (const std::bad_alloc&) {
        CallFatalHook("Bad memory allocation", "main()");
    } catch (const std::exception& error) {
        CallFatalHook(error.what(), "main()");
    } catch (...) {
        CallFatalHook("Unknown exception, probably and access violation", "main()");
    }
    return EXIT_FAILURE;
}

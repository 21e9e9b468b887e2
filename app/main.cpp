// Tarnwick's entry point. For now the program reports its version; the window comes later.
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* Usage = "usage: tarnwick [--help] [--version] [project.Tarnwick]\n"
                              "\n"
                              "  -h, --help   print this help and exit\n"
                              "  --version    print the version and exit\n";

// Asked-for output that cannot be written (a full disk, a closed pipe) is a failure.
int FinishOutput()
{
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage, stdout);
            return FinishOutput();
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Tarnwick %s\n", TARNWICK_VERSION);
            return FinishOutput();
        }
        if (argv[i][0] == '-') {
            std::fprintf(stderr, "tarnwick: unknown option '%s'\n%s", argv[i], Usage);
            return 2;
        }
    }
    std::fprintf(stderr, "Tarnwick %s: the main window is not built yet.\n", TARNWICK_VERSION);
    return 1;
}

// Tarnwick's entry point. For now the program reports its version; the window comes later.
#include <cstdio>
#include <cstring>

namespace {

void PrintUsage()
{
    std::fprintf(stderr, "usage: tarnwick [--version] [project.Tarnwick]\n");
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Tarnwick %s\n", TARNWICK_VERSION);
            return 0;
        }
        if (argv[i][0] == '-') {
            PrintUsage();
            return 2;
        }
    }
    std::fprintf(stderr, "Tarnwick %s: the main window is not built yet.\n", TARNWICK_VERSION);
    return 1;
}

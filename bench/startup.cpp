// Start-up: from starting the program to the first drawn frame that shows the default project's
// figure, against reading the same project file without a window. Needs a display (run under
// xvfb-run -a).
//
//     ratio startup <median first frame / median project read>    goal: at most 1.5
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "bench/bench_window.h"
#include "core/timer.h"
#include "core/virtual_memory.h"
#include "files/project.h"

namespace {

const std::string DataFolder = TARNWICK_BUILD_DATA;

// Starts the program in a fresh home, as a new user, and gives the seconds from the start to its
// first frame showing the figure; negative when the run failed.
double FirstFrameSeconds(const std::string& scratch, int run)
{
    const std::string home = scratch + "/home" + std::to_string(run);
    const std::string capture = home + "/capture.png";
    std::string command = "mkdir -p '" + home + "'";
    if (std::system(command.c_str()) != 0)
        return -1;
    const double start = Seconds();
    const pid_t child = fork();
    if (child == 0) {
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        setenv("XDG_STATE_HOME", (home + "/state").c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
        execl(TARNWICK_PROGRAM, TARNWICK_PROGRAM, "--exit-after-frames", "3", "--capture", capture.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    std::ifstream facts(capture + ".txt");
    std::string key;
    double clock = -1;
    while (facts >> key)
        if (key == "first_figure_clock")
            facts >> clock;
    return clock > 0 ? clock - start : -1;
}

} // namespace

int main(int argc, char** argv)
{
    const bool smoke = ReadBenchOptions(argc, argv).Smoke;
    const int runs = smoke ? 1 : 7;
    if (!BenchHasDisplay("bench_startup"))
        return 1;
    char scratch_pattern[] = "/tmp/tarnwick-bench-startup-XXXXXX";
    const char* scratch = mkdtemp(scratch_pattern);
    if (scratch == nullptr)
        return 1;
    InitVirtualMemory();

    const std::string project_path = DataFolder + "Default.Tarnwick";
    std::vector<double> reads;
    for (int run = 0; run < runs; run++) {
        TTarnwick_Project project;
        const auto start = BenchClock::now();
        if (!project.OpenProjectFile(project_path)) {
            std::fprintf(stderr, "%s\n", project.Error().c_str());
            return 1;
        }
        reads.push_back(SecondsSince(start));
    }
    std::vector<double> starts;
    for (int run = 0; run < runs; run++) {
        const double seconds = FirstFrameSeconds(scratch, run);
        if (seconds < 0) {
            std::fprintf(stderr, "the program did not start and quit as asked (run %d)\n", run);
            return 1;
        }
        starts.push_back(seconds);
    }
    const std::string cleanup = std::string("rm -rf '") + scratch + "'";
    if (std::system(cleanup.c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", scratch);

    const double read = Median(reads);
    const double start = Median(starts);
    std::printf("project file %s\n", project_path.c_str());
    std::printf("read without a window: %.1f ms (median of %d)\n", read * 1e3, runs);
    std::printf("start to first frame: %.1f ms (median of %d)\n", start * 1e3, runs);
    std::printf("ratio startup %.2f\n", start / read);
    return 0;
}

// Two halves of a loop side by side, for the per-vertex loops of a stroke step whose iterations
// write only their own results.
#pragma once

#include <cstddef>
#include <thread>

// work(first, end) over [0, count): on a second thread for the upper half once count reaches
// minimum (below it the thread costs more than it saves), else all at once on this thread.
template <typename TWork> void RunInTwoHalves(size_t count, size_t minimum, TWork work)
{
    if (count < minimum) {
        work(size_t(0), count);
        return;
    }
    std::thread side([&work, count] { work(count / 2, count); });
    work(size_t(0), count / 2);
    side.join();
}

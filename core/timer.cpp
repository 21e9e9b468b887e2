#include "core/timer.h"

#include <time.h>

double Seconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void TZAVStopwatch::Restart()
{
    Start = Seconds();
}

double TZAVStopwatch::Elapsed() const
{
    return Seconds() - Start;
}

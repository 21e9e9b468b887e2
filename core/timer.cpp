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
    IsRunning = true;
}

void TZAVStopwatch::Stop()
{
    if (IsRunning)
        StopTime = Seconds();
    IsRunning = false;
}

void TZAVStopwatch::Resume()
{
    if (IsRunning)
        return;
    Start = Seconds() - (StopTime - Start);
    IsRunning = true;
}

double TZAVStopwatch::Elapsed() const
{
    return (IsRunning ? Seconds() : StopTime) - Start;
}

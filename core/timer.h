// Time for measuring: a monotonic clock in seconds, and a stopwatch over it.
#pragma once

// Seconds since an arbitrary fixed point; never goes backwards.
double Seconds();

class TZAVStopwatch
{
public:
    TZAVStopwatch() { Restart(); }
    void Restart();
    // Seconds since construction or the last Restart.
    double Elapsed() const;

private:
    double Start = 0.0;
};

// Time for measuring: a monotonic clock in seconds, and a stopwatch over it.
#pragma once

// Seconds since an arbitrary fixed point; never goes backwards.
double Seconds();

// Runs from construction. A stopped watch holds its time until resumed, so pauses (a modal
// dialog, a drag) do not count.
class TZAVStopwatch
{
public:
    TZAVStopwatch() { Restart(); }
    void Restart();
    void Stop();
    // Goes on from the time held at Stop; nothing when running.
    void Resume();
    bool Running() const { return IsRunning; }
    // Seconds counted since construction or the last Restart.
    double Elapsed() const;

private:
    double Start = 0.0;
    double StopTime = 0.0;
    bool IsRunning = true;
};

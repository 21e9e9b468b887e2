// One Tarnwick per user at a time: a lock file in the state folder, held with flock() for the life
// of the process, so that a crashed run never leaves a stale lock behind.
#pragma once

#include <string>

enum class TTarnwick_InstanceLock
{
    Acquired,
    // Another process holds the lock.
    AlreadyRunning,
    // The lock file cannot be made (no state folder, a read-only home): start-up goes on.
    Unavailable,
};

// Takes the lock on folder + "tarnwick.lock". The descriptor stays open until the process ends.
TTarnwick_InstanceLock AcquireInstanceLock(const std::string& folder);

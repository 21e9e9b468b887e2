#include "app/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

TTarnwick_InstanceLock AcquireInstanceLock(const std::string& folder)
{
    const std::string path = folder + "tarnwick.lock";
    const int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor < 0)
        return TTarnwick_InstanceLock::Unavailable;
    if (flock(descriptor, LOCK_EX | LOCK_NB) == 0)
        return TTarnwick_InstanceLock::Acquired; // kept open: the lock lives with the process
    const int cause = errno;
    close(descriptor);
    return cause == EWOULDBLOCK ? TTarnwick_InstanceLock::AlreadyRunning : TTarnwick_InstanceLock::Unavailable;
}

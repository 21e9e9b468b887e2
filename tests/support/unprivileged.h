// Checks that need a user who cannot write everywhere, as root too: root then runs the check in a
// child that has become "nobody", from inside the folder, since the folders above it are closed
// to others.
#pragma once

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

// check gets the prefix to put before file names of folder (the folder itself, or "" in the
// child, which works inside it); true when the check passed.
inline bool PassesAsUnprivilegedUserIn(const std::string& folder,
                                       const std::function<bool(const std::string& prefix)>& check)
{
    if (geteuid() != 0)
        return check(folder);
    const pid_t child = fork();
    if (child == 0) {
        constexpr uid_t Nobody = 65534;
        _exit(chdir(folder.c_str()) == 0 && setgid(Nobody) == 0 && setuid(Nobody) == 0 && check("") ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

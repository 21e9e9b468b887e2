// The application record and the program's data folder.
#include "app/application.h"

#include <sys/stat.h>

#include <cstdlib>

#include "core/paths.h"

TTarnwick_Application TarnwickApp;

namespace {

bool IsFolder(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

std::string FindProgramFolder(const std::string& executable_path)
{
    const size_t slash = executable_path.rfind('/');
    const std::string own = slash == std::string::npos ? std::string("./") : executable_path.substr(0, slash + 1);
    if (IsFolder(own + "Data"))
        return own;
    const std::string installed = own + "../share/tarnwick/";
    if (IsFolder(installed + "Data"))
        return installed;
    return own;
}

std::string DataFilePath(const char* name)
{
    return TarnwickApp.ProgramFolder + "Data/" + name;
}

void QuitTarnwick()
{
    std::exit(0);
}

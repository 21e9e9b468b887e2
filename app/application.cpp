// The application record and the program's data folder.
#include "app/application.h"

#include <sys/stat.h>


TTarnwick_Application TarnwickApp;

namespace {

bool IsFolder(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

std::string FindProgramFolder(const std::string& own_folder)
{
    if (IsFolder(own_folder + "Data"))
        return own_folder;
    const std::string installed = own_folder + "../share/tarnwick/";
    if (IsFolder(installed + "Data"))
        return installed;
    return own_folder;
}

std::string DataFilePath(const char* name)
{
    return TarnwickApp.ProgramFolder + "Data/" + name;
}

// CR2 figure import.
#include "files/project.h"

bool TTarnwick_Project::ImportCR2File(const std::string& path, TTarnwick_Object&)
{
    ErrorText = "CR2 figures cannot be imported yet: " + path + " was not read";
    return false;
}

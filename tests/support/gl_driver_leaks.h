// The GL driver keeps a few allocations to the end of the process, and unloads itself before the
// leak checker runs, which then cannot name the module they came from. Drawing tests call
// KeepGlDriverLoaded() once a context exists: the driver's libraries stay mapped, so their leaks
// carry their module names and tests/support/lsan_gl.supp can suppress exactly those, while
// leaks of our own code still fail the test.
#pragma once

#include <dlfcn.h>
#include <link.h>

#include <string_view>

namespace TestSupportDetail {

inline bool IsGlDriverLibrary(std::string_view path)
{
    for (std::string_view part : {"_dri.so", "libgallium", "libGLX_mesa", "libglapi", "libLLVM"})
        if (path.find(part) != std::string_view::npos)
            return true;
    return false;
}

inline int PinGlDriverLibrary(dl_phdr_info* info, size_t, void*)
{
    // RTLD_NOLOAD only marks a library that is already loaded; RTLD_NODELETE keeps it mapped.
    if (info->dlpi_name != nullptr && IsGlDriverLibrary(info->dlpi_name))
        dlopen(info->dlpi_name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
    return 0;
}

} // namespace TestSupportDetail

inline void KeepGlDriverLoaded()
{
    dl_iterate_phdr(TestSupportDetail::PinGlDriverLibrary, nullptr);
}

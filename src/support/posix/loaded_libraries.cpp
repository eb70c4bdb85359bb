#include "support/posix/loaded_libraries.h"

#include <dlfcn.h>
#include <link.h>

namespace {

int PinLibrary(dl_phdr_info* info, size_t, void*)
{
    if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0') {
        dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    }
    return 0;
}

}  // namespace

void KeepLoadedLibraries()
{
    dl_iterate_phdr(PinLibrary, nullptr);
}

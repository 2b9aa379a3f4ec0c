// LoadLibraryA / GetProcAddress / FreeLibrary over the dynamic loader.
#include <dlfcn.h>

#include <map>
#include <mutex>

#include "internal.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

std::mutex loads_mutex;
std::map<void*, int>& loads() {  // LoadLibraryA's loads not yet undone, per module
    static std::map<void*, int> counts;
    return counts;
}

bool ends_with_dll(std::string_view name) {
    if (name.size() < 4) return false;
    std::string tail(name.substr(name.size() - 4));
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return tail == ".dll";
}

// "zubmp3enc2.dll" -> "libzubmp3enc2.so"
std::string shared_object_name(std::string_view dll_name) {
    return "lib" + std::string(dll_name.substr(0, dll_name.size() - 4)) + ".so";
}

void* open_module(const char* file_name) {
    const std::string name = file_name;
    const size_t separator = name.find_last_of("\\/");
    const bool has_folder = separator != std::string::npos || (name.size() >= 2 && name[1] == ':');

    if (has_folder) {
        auto host = platform::detail::host_path(file_name);
        if (!host) return nullptr;
        if (ends_with_dll(name)) {
            const std::string base = name.substr(separator == std::string::npos ? 2 : separator + 1);
            const size_t slash = host->rfind('/');
            const std::string folder = slash == std::string::npos ? "." : host->substr(0, slash);
            *host = folder + "/" + shared_object_name(platform::latin1_to_utf8(base));
        }
        return dlopen(host->c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!ends_with_dll(name)) return dlopen(platform::latin1_to_utf8(name).c_str(), RTLD_NOW | RTLD_LOCAL);

    // A bare "x.dll": the module of that name already in the process, else the
    // one beside the library that asks (this layer is linked into it), else the
    // loader's search order.
    const std::string so = shared_object_name(platform::latin1_to_utf8(name));
    if (void* resident = dlopen(so.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD)) return resident;
    const std::string folder = platform::module_folder(reinterpret_cast<const void*>(&LoadLibraryA));
    if (!folder.empty()) {
        if (void* beside = dlopen((folder + "/" + so).c_str(), RTLD_NOW | RTLD_LOCAL)) return beside;
    }
    return dlopen(so.c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

HMODULE LoadLibraryA(const char* file_name) {
    if (file_name == nullptr || *file_name == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void* module = open_module(file_name);
    if (module == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    std::lock_guard lock(loads_mutex);
    ++loads()[module];
    return module;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
    if (module == nullptr || name == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    void* symbol = dlsym(module, name);
    if (symbol == nullptr) SetLastError(ERROR_PROC_NOT_FOUND);
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module) {
    std::lock_guard lock(loads_mutex);
    const auto found = loads().find(module);
    if (found == loads().end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (--found->second == 0) loads().erase(found);
    dlclose(module);
    return TRUE;
}

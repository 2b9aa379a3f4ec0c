// LoadLibraryA / GetProcAddress / FreeLibrary over the dynamic loader, and
// what the loader knows about the modules in the process.
#include <dlfcn.h>
#include <link.h>

#include <map>
#include <mutex>

#include "internal.h"
#include "platform/library.h"
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

// The DT_SONAME in a module's dynamic section as mapped.
std::string_view soname_in(const dl_phdr_info& info, const ElfW(Dyn)* dynamic) {
    ElfW(Addr) strtab = 0;
    std::optional<ElfW(Xword)> soname;
    for (const ElfW(Dyn)* entry = dynamic; entry->d_tag != DT_NULL; ++entry) {
        if (entry->d_tag == DT_STRTAB) strtab = entry->d_un.d_ptr;
        if (entry->d_tag == DT_SONAME) soname = entry->d_un.d_val;
    }
    if (strtab == 0 || !soname) return {};
    // The loader relocates DT_STRTAB in place on most targets (not in the vDSO).
    if (strtab < info.dlpi_addr) strtab += info.dlpi_addr;
    return reinterpret_cast<const char*>(strtab + *soname);
}

// The DT_SONAME of a module, read from its first dynamic section.
std::string_view soname_of(const dl_phdr_info& info) {
    for (int i = 0; i < info.dlpi_phnum; ++i)
        if (info.dlpi_phdr[i].p_type == PT_DYNAMIC)
            return soname_in(info, reinterpret_cast<const ElfW(Dyn)*>(info.dlpi_addr + info.dlpi_phdr[i].p_vaddr));
    return {};
}

// "libx.so" itself, or "libx.so." followed by version digits and dots.
bool names_version_of(std::string_view soname, std::string_view so_name) {
    if (soname.substr(0, so_name.size()) != so_name) return false;
    const std::string_view version = soname.substr(so_name.size());
    if (version.empty()) return true;
    if (version.size() < 2 || version[0] != '.') return false;
    return version.find_first_not_of("0123456789.", 1) == std::string_view::npos;
}

struct ResidentModule {
    std::string soname;
    std::string path;
};

std::optional<ResidentModule> find_resident(std::string_view so_name) {
    struct Search {
        std::string_view so_name;
        std::optional<ResidentModule> found;
    } search{so_name, std::nullopt};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto& search = *static_cast<Search*>(data);
            const std::string_view soname = soname_of(*info);
            if (soname.empty() || !names_version_of(soname, search.so_name)) return 0;
            search.found = ResidentModule{std::string(soname), info->dlpi_name ? info->dlpi_name : ""};
            return 1;
        },
        &search);
    return search.found;
}

// The module already in the process under that SONAME (or a versioned one),
// else one loaded earlier under that very name. The process's own list is
// looked at first: a bare name the loader does not hold sends even a
// no-load dlopen through every folder of the search path.
void* resident_module(const std::string& so_name) {
    if (const auto module = find_resident(so_name))
        if (void* loaded = dlopen(module->soname.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD)) return loaded;
    return dlopen(so_name.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
}

// A name with a folder: that file, a "x.dll" as the "libx.so" in its folder.
void* open_module_in_folder(const std::string& name, size_t separator) {
    auto host = platform::detail::host_path(name.c_str());
    if (!host) return nullptr;
    if (ends_with_dll(name)) {
        const std::string base = name.substr(separator == std::string::npos ? 2 : separator + 1);
        const size_t slash = host->rfind('/');
        const std::string folder = slash == std::string::npos ? "." : host->substr(0, slash);
        *host = folder + "/" + shared_object_name(platform::latin1_to_utf8(base));
    }
    return dlopen(host->c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* open_module(const char* file_name) {
    const std::string name = file_name;
    const size_t separator = name.find_last_of("\\/");
    const bool has_folder = separator != std::string::npos || (name.size() >= 2 && name[1] == ':');
    if (has_folder) return open_module_in_folder(name, separator);
    if (!ends_with_dll(name)) return dlopen(platform::latin1_to_utf8(name).c_str(), RTLD_NOW | RTLD_LOCAL);

    // A bare "x.dll": the module of that name already in the process, else the
    // one beside the library that asks (this layer is linked into it), else the
    // loader's search order.
    const std::string so = shared_object_name(platform::latin1_to_utf8(name));
    if (void* resident = resident_module(so)) return resident;
    const std::string folder = platform::module_folder(reinterpret_cast<const void*>(&LoadLibraryA));
    if (!folder.empty()) {
        if (void* beside = dlopen((folder + "/" + so).c_str(), RTLD_NOW | RTLD_LOCAL)) return beside;
    }
    return dlopen(so.c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

namespace platform {

std::optional<std::string> resident_library(std::string_view so_name) {
    const auto module = find_resident(so_name);
    if (!module || module->path.empty()) return std::nullopt;
    const size_t slash = module->path.rfind('/');
    return detail::resolved_folder_of(module->path) + "/" + module->path.substr(slash + 1);
}

std::optional<std::string> library_problem(const std::string& host_path, const char* entry_point) {
    void* module = dlopen(host_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* error = dlerror();
        std::string reason = error ? error : "unknown reason";
        // The loader's message often starts with the path itself.
        if (reason.rfind(host_path + ": ", 0) == 0) reason.erase(0, host_path.size() + 2);
        return "cannot be loaded: " + reason;
    }
    std::optional<std::string> problem;
    if (entry_point != nullptr && dlsym(module, entry_point) == nullptr)
        problem = "has no " + std::string(entry_point) + " entry point";
    dlclose(module);
    return problem;
}

}  // namespace platform

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

// What the dynamic loader knows about shared libraries, in host terms, for
// callers that explain a failed load to a user.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Host path of the module in the process whose SONAME is `so_name` or a
// versioned form of it ("libx.so" also matches "libx.so.1" and "libx.so.1.2.0",
// never "libx2.so"); nullopt when no such module is resident.
std::optional<std::string> resident_library(std::string_view so_name);

// What stands in the way of using the library file at `host_path`:
// "cannot be loaded: <the loader's reason>", or "has no <entry_point> entry
// point" when it loads without that symbol (entry_point may be null); nullopt
// when it loads and has it. The library is released again before returning.
std::optional<std::string> library_problem(const std::string& host_path, const char* entry_point);

}  // namespace platform

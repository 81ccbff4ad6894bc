#include "entry_names.h"

#include "included_names.h"

namespace zendra::setup {

CheckedName checkEntryName(const PathConventions& conventions, std::string_view name) {
    CheckedName checked;
    if (name.empty()) return checked;
    // The same refusals as for the launcher's included files (a device name in any part too).
    if (const char* reason = unsafeIncludedName(name)) {
        checked.refusal = reason;
        return checked;
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = name.size();
        const std::string_view part = name.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") continue;
        if (!checked.path.empty()) checked.path += conventions.separator;
        checked.path += part;
    }
    return checked;
}

}  // namespace zendra::setup

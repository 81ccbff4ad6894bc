#include "win_libraries.h"

#include "handles.h"

namespace zendra::win {

LibraryRef WinLibraries::load(const std::string& path, std::uint32_t& error) {
    // Deliberately not owned by a UniqueModule (see the class comment).
    const HMODULE module = ::LoadLibraryA(path.c_str());
    error = module != nullptr ? 0 : ::GetLastError();
    return module;
}

void* WinLibraries::symbol(LibraryRef library, const char* name) {
    if (name == nullptr) return nullptr;
    return findProcedure<void*>(static_cast<HMODULE>(library), name);
}

}  // namespace zendra::win

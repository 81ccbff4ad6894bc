// Owning wrappers for Win32 handles: one move-only type per kind of handle.
#pragma once

#include <utility>

#include "unique_resource.h"
#include "win32.h"

namespace zendra::win {

// The owning wrapper, one move-only type per kind of handle below.
using zendra::UniqueResource;

// Kernel object handles (files, processes, threads, pipes, semaphores, events).
// Both null and INVALID_HANDLE_VALUE count as "no handle".
struct KernelHandleTraits {
    using Value = HANDLE;
    static Value invalid() noexcept { return nullptr; }
    static bool isInvalid(Value value) noexcept { return value == nullptr || value == INVALID_HANDLE_VALUE; }
    static void close(Value value) noexcept { ::CloseHandle(value); }
};

// Directory search handles from FindFirstFile.
struct FindHandleTraits {
    using Value = HANDLE;
    static Value invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool isInvalid(Value value) noexcept { return value == INVALID_HANDLE_VALUE || value == nullptr; }
    static void close(Value value) noexcept { ::FindClose(value); }
};

// Modules loaded with LoadLibrary.
struct ModuleHandleTraits {
    using Value = HMODULE;
    static Value invalid() noexcept { return nullptr; }
    static bool isInvalid(Value value) noexcept { return value == nullptr; }
    static void close(Value value) noexcept { ::FreeLibrary(value); }
};

// Registry keys opened or created with RegOpenKeyEx / RegCreateKeyEx (never a predefined
// root such as HKEY_CURRENT_USER, which is not closed).
struct RegistryKeyTraits {
    using Value = HKEY;
    static Value invalid() noexcept { return nullptr; }
    static bool isInvalid(Value value) noexcept { return value == nullptr; }
    static void close(Value value) noexcept { ::RegCloseKey(value); }
};

// An owned kernel object handle.
using UniqueHandle = UniqueResource<KernelHandleTraits>;
// An owned directory search.
using UniqueFindHandle = UniqueResource<FindHandleTraits>;
// An owned loaded module.
using UniqueModule = UniqueResource<ModuleHandleTraits>;
// An owned open registry key.
using UniqueRegKey = UniqueResource<RegistryKeyTraits>;

// Looks up an exported function by name and casts it to the function pointer type Fn;
// nullptr when module is null or the export is missing.
template <typename Fn>
Fn findProcedure(HMODULE module, const char* name) noexcept {
    if (module == nullptr) return nullptr;
    FARPROC address = ::GetProcAddress(module, name);
    // The detour through void(*)() keeps -Wcast-function-type quiet for this intended cast.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(address));
}

}  // namespace zendra::win

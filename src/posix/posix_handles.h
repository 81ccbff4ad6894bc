// Owning wrappers for POSIX descriptors: one move-only type per kind of handle.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "unique_resource.h"

namespace zendra::posix {

// The owning wrapper, one move-only type per kind of handle below.
using zendra::UniqueResource;

// File descriptors (files, directories, pipes, lock files).
struct FdTraits {
    using Value = int;
    static constexpr Value invalid() noexcept { return -1; }
    static constexpr bool isInvalid(Value fd) noexcept { return fd < 0; }
    static void close(Value fd) noexcept { ::close(fd); }
};

// Directory streams from opendir/fdopendir.
struct DirTraits {
    using Value = DIR*;
    static constexpr Value invalid() noexcept { return nullptr; }
    static constexpr bool isInvalid(Value dir) noexcept { return dir == nullptr; }
    static void close(Value dir) noexcept { ::closedir(dir); }
};

// An owned file descriptor.
using UniqueFd = UniqueResource<FdTraits>;
// An owned directory stream.
using UniqueDir = UniqueResource<DirTraits>;

// Calls f until it stops failing with EINTR; returns its last result.
template <typename Call>
auto retryOnInterrupt(Call call) {
    auto result = call();
    while (result == -1 && errno == EINTR) result = call();
    return result;
}

}  // namespace zendra::posix

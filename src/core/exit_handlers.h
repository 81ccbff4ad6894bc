// Handlers that run when the process ends normally (through exit or a return from main).
#pragma once

#include <functional>

namespace zendra {

// Registers handler with the C library's exit list; handlers run last-registered first,
// interleaved correctly with the library's other entries. A throwing handler is ignored
// and the others still run.
void registerNormalExitHandler(std::function<void()> handler);

}  // namespace zendra

# Cross toolchain for i686-w64-mingw32 (win32 thread model, fully static runtime).
# The win32 thread model keeps the POSIX thread layer out of every launcher: the C++
# library then has no std::thread, std::mutex, std::condition_variable nor std::call_once,
# so the code built for Windows uses concurrency.h instead.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TRIPLET}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TRIPLET}-g++-win32)
set(CMAKE_RC_COMPILER ${TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

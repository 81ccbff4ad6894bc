// Where diagnostic lines go: the diagnostic log, or a recorder in tests.
#pragma once

#include <string>

namespace zendra {

// Formats are C99's on every platform (on Windows they are spelt for the system runtime at run time).
#if defined(__MINGW32__)
#define ZENDRA_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#elif defined(__GNUC__)
#define ZENDRA_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define ZENDRA_PRINTF(fmt, args)
#endif

// A definition that code outside the launcher's one compiled unit calls (its start-up code and
// the C++ library's error reports): it keeps its external name under -fwhole-program.
#if defined(__MINGW32__)
#define ZENDRA_EXTERNAL __attribute__((externally_visible))
#else
#define ZENDRA_EXTERNAL
#endif

// Receives formatted diagnostic lines.
class Logger {
public:
    virtual ~Logger() = default;
    // Appends one line; error lines get the "ERROR: " prefix.
    virtual void write(bool error, const std::string& text) = 0;
    // printf-style normal line.
    void message(const char* format, ...) ZENDRA_PRINTF(2, 3);
    // printf-style error line.
    void error(const char* format, ...) ZENDRA_PRINTF(2, 3);
};

// A logger that drops everything.
class NullLogger final : public Logger {
public:
    // Ignores the line.
    void write(bool, const std::string&) override {}
};

// printf-style formatting into a std::string.
ZENDRA_EXTERNAL std::string formatText(const char* format, ...) ZENDRA_PRINTF(1, 2);

}  // namespace zendra

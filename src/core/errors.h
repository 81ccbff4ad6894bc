// Reporting failures: message boxes or standard error, and the fatal ends of a run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "launcher.h"

namespace zendra {

// Shows an 8-bit error text (with the log path appended when a log exists).
void showError(Launcher& l, const std::string& text);

// Shows a UTF-16 error text (installer texts).
void showErrorW(Launcher& l, const std::u16string& text);

// Shows string property id with its first "{0}" replaced by the argument.
void showPropertyError(Launcher& l, std::int32_t id, const std::optional<std::string>& argument = std::nullopt);

// Removes the per-run directory and ends the process with the code; exit handlers do not run.
[[noreturn]] void fatalExit(Launcher& l, int code);

// showError, then fatalExit with 1.
[[noreturn]] void fatalMessage(Launcher& l, const std::string& text);

// showErrorW of message property id, then fatalExit with 1.
[[noreturn]] void fatalMessageProperty(Launcher& l, std::int32_t id);

// showPropertyError, then fatalExit with 1.
[[noreturn]] void fatalPropertyWithArgument(Launcher& l, std::int32_t id,
                                            const std::optional<std::string>& argument = std::nullopt);

// Replaces the first "{0}" of text by argument.
std::string replacePlaceholder(std::string text, const std::string& argument);

}  // namespace zendra

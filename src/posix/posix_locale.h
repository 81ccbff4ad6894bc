// The user's language on Linux, as the Windows language identifier the core selects by.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zendra::posix {

// The identifier the locale name stands for ("de_AT.UTF-8@euro" → 0x0C07): the table row of
// "ll_CC" first, else the row of "ll"; "", "C", "POSIX" and unknown languages give 0x0409.
// Linux's "he", "id" and "nb"/"nn" are the table's "iw", "in" and "no".
std::uint16_t languageIdForLocale(std::string_view locale);

// The locale that decides the language of messages: LC_ALL, else LC_MESSAGES, else LANG
// (empty values count as unset); "" when none is set.
std::string messagesLocale(const std::function<std::optional<std::string>(const char*)>& getVariable);

}  // namespace zendra::posix

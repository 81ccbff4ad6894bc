// Choosing the language of a run from the user's Windows settings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.h"
#include "logger.h"

namespace zendra {

// One row of the table from Windows language identifiers to Java-style codes.
struct LanguageRow {
    std::uint16_t id;
    std::string_view code;
};

// The fixed table, in lookup order.
std::vector<LanguageRow> languageTable();

// The id of the first row whose code is exactly code.
std::optional<std::uint16_t> languageIdFor(std::string_view code);

// The outcome of the selection: "de", "de_AT" or "no_NO_NY", and its pieces.
struct LanguageSelection {
    std::string code = "en";
    std::string language = "en";
    std::optional<std::string> country;
};

// What the system says about the user's language.
struct LocaleFacts {
    std::uint32_t userLcid = 0;                   // the user's default locale
    std::optional<std::uint16_t> uiLanguage;      // the UI language, when the call exists
};

// Maps a language identifier to its code: exact row first, then the primary language, else "en".
std::string languageCodeFor(std::uint16_t languageId);

// Splits a code into its language and country pieces.
LanguageSelection makeSelection(std::string code);

// Selects the language of the run; args may be null (no command line to examine).
LanguageSelection selectLanguage(const ArgumentList* args, const LocaleFacts& facts, Logger& log);

// The VM options implied by the command line's "-Dsun.locale.formatasdefault=" tokens (ANSI text).
std::vector<std::string> localeVmOptions(const std::vector<std::string>& narrowArgs, const LanguageSelection& sel);

}  // namespace zendra

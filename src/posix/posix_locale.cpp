#include "posix_locale.h"

#include <cctype>

#include "language.h"

namespace zendra::posix {

namespace {

constexpr std::uint16_t kEnglishUs = 0x0409;

// The table's spelling of a Linux language code.
std::string tableLanguage(std::string language) {
    if (language == "he") return "iw";
    if (language == "id") return "in";
    if (language == "nb" || language == "nn") return "no";
    return language;
}

// s with every ASCII letter converted by convert.
std::string mapCase(std::string_view s, int (*convert)(int)) {
    std::string out;
    for (char c : s) out.push_back(static_cast<char>(convert(static_cast<unsigned char>(c))));
    return out;
}

}  // namespace

std::uint16_t languageIdForLocale(std::string_view locale) {
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale.empty() || locale == "C" || locale == "POSIX") return kEnglishUs;
    const std::size_t underscore = locale.find('_');
    const std::string rawLanguage = mapCase(locale.substr(0, underscore), std::tolower);
    const std::string language = tableLanguage(rawLanguage);
    if (underscore != std::string_view::npos) {
        const std::string country = mapCase(locale.substr(underscore + 1), std::toupper);
        if (rawLanguage == "nn" && country == "NO") return languageIdFor("no_NO_NY").value_or(kEnglishUs);
        if (auto id = languageIdFor(language + "_" + country)) return *id;
    }
    return languageIdFor(language).value_or(kEnglishUs);
}

std::string messagesLocale(const std::function<std::optional<std::string>(const char*)>& getVariable) {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const std::optional<std::string> value = getVariable(name);
        if (value && !value->empty()) return *value;
    }
    return {};
}

}  // namespace zendra::posix
